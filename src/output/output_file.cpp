#include "output/output_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vendrik {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr int writeFlags = O_WRONLY | O_TEXT | O_NOINHERIT;
constexpr int copyFlags = O_WRONLY | O_BINARY | O_NOINHERIT;
constexpr int readFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
constexpr std::string_view separators = "/\\";
#else
constexpr int writeFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY;
constexpr int copyFlags = writeFlags;
constexpr int readFlags = O_RDONLY | O_CLOEXEC;
constexpr std::string_view separators = "/";
#endif

int openFile(const std::string& path, int flags) {
    return open(path.c_str(), flags, 0666);
}

/// The temporaries that exist now, in plain arrays that a signal handler may read.
constexpr std::size_t maxTemporaries = 4;
std::array<std::array<char, PATH_MAX + 64>, maxTemporaries> temporaryNames;
std::array<volatile std::sig_atomic_t, maxTemporaries> temporaryInUse;

void rememberTemporary(const std::string& name) {
    for (std::size_t slot = 0; slot < maxTemporaries; ++slot) {
        if (!temporaryInUse[slot] && name.size() < temporaryNames[slot].size()) {
            std::memcpy(temporaryNames[slot].data(), name.c_str(), name.size() + 1);
            temporaryInUse[slot] = 1;
            return;
        }
    }
}

void forgetTemporary(const std::string& name) {
    for (std::size_t slot = 0; slot < maxTemporaries; ++slot) {
        if (temporaryInUse[slot] && name == temporaryNames[slot].data()) {
            temporaryInUse[slot] = 0;
        }
    }
}

extern "C" void removeTemporariesAndEnd(int signal) {
    for (std::size_t slot = 0; slot < maxTemporaries; ++slot) {
        if (temporaryInUse[slot]) {
            unlink(temporaryNames[slot].data());
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

/// Creates a new temporary in the folder of `target`: its descriptor, or -1 with errno set
/// when the system refuses. A name left by a killed run is passed over.
int createTemporary(const std::string& target, std::string& name) {
    const std::size_t slash = target.find_last_of(separators);
    const std::string stem = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) +
                             ".vendrik-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + std::to_string(attempt);
        const int descriptor = openFile(name, writeFlags | O_CREAT | O_EXCL);
        if (descriptor >= 0) {
            rememberTemporary(name);
        }
        if (descriptor >= 0 || errno != EEXIST) {
            return descriptor;
        }
    }
    return -1;
}

bool permissionRefused(int error) {
    return error == EACCES || error == EPERM;
}

/// Gives the temporary the existing file's owner, group and permission bits: owner and group
/// where the process may set them, the group alone where only that is allowed.
bool takeOver([[maybe_unused]] const std::string& name, int temporary,
              const struct stat& existing) {
#ifdef _WIN32
    std::error_code error;
    fs::permissions(name, static_cast<fs::perms>(existing.st_mode & 0777), error);
    return temporary >= 0 && !error;
#else
    if (fchown(temporary, existing.st_uid, existing.st_gid) != 0 &&
        fchown(temporary, static_cast<uid_t>(-1), existing.st_gid) != 0) {
        // neither may be kept: the file is the process's own, as a new one would be
    }
    return fchmod(temporary, existing.st_mode & 07777) == 0;
#endif
}

enum class Opened { temporary, inPlace, refused };

Opened openTemporary(OutputFile& file, const std::string& path) {
    struct stat existing {};
    std::string target = path;
    const bool exists = stat(path.c_str(), &existing) == 0;
    if (!exists) {
        // Not there: a new file. Anything else (a link that leads nowhere, a folder that
        // cannot be searched) is left to the open in place to decide.
        struct stat link {};
        if (errno != ENOENT || lstat(path.c_str(), &link) == 0) {
            return Opened::inPlace;
        }
    } else {
        if (!S_ISREG(existing.st_mode) || existing.st_nlink != 1) {
            return Opened::inPlace;
        }
        // The system's own open decides whether the file may be written, and whether a link
        // to it may be followed; nothing is emptied.
        const int probe = openFile(path, writeFlags);
        if (probe < 0) {
            return Opened::refused;
        }
        close(probe);
        std::error_code error;
        target = fs::canonical(path, error).string();
        if (error) {
            return Opened::refused;
        }
    }
    std::string name;
    const int descriptor = createTemporary(target, name);
    if (descriptor < 0) {
        return permissionRefused(errno) ? Opened::inPlace : Opened::refused;
    }
    file.target = std::move(target);
    file.temporary = std::move(name);
    file.descriptor = descriptor;
    return !exists || takeOver(file.temporary, descriptor, existing) ? Opened::temporary
                                                                     : Opened::refused;
}

bool writeAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(text.size(), INT_MAX / 2));
        const auto written = write(descriptor, text.data(), chunk);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

/// Copies the complete temporary into the existing target, which is emptied first.
bool copyInPlace(const OutputFile& file) {
    const int source = openFile(file.temporary, readFlags);
    const int target = source < 0 ? -1 : openFile(file.target, copyFlags);
    bool copied = target >= 0 && ftruncate(target, 0) == 0;
    std::string buffer(std::size_t{1} << 20, '\0');
    while (copied) {
        const auto got = read(source, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        copied = got >= 0 &&
                 writeAll(target, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        if (got <= 0) {
            break;
        }
    }
    if (source >= 0) {
        close(source);
    }
    return target >= 0 && close(target) == 0 && copied;
}

} // namespace

OutputFile::~OutputFile() {
    if (descriptor >= 0) {
        close(descriptor);
    }
    if (!temporary.empty()) {
        unlink(temporary.c_str());
        forgetTemporary(temporary);
    }
}

bool openOutputFile(OutputFile& file, const std::string& path, Replacement how) {
    if (how == Replacement::whole && !path.empty()) {
        const Opened opened = openTemporary(file, path);
        if (opened != Opened::inPlace) {
            return opened == Opened::temporary;
        }
    }
    // In place, and emptied only when the new content is written.
    std::error_code error;
    file.target = path;
    file.emptyFirst = fs::is_regular_file(path, error);
    file.descriptor = openFile(path, writeFlags | O_CREAT);
    return file.descriptor >= 0;
}

bool writeOutputFile(OutputFile& file, std::string_view text) {
    if (file.descriptor >= 0 && file.emptyFirst) {
        file.emptyFirst = false;
        file.failed = ftruncate(file.descriptor, 0) != 0;
    }
    file.failed = file.failed || file.descriptor < 0 || !writeAll(file.descriptor, text);
    return !file.failed;
}

bool closeOutputFile(OutputFile& file) {
    if (file.descriptor < 0 || !writeOutputFile(file, {})) {
        return false;
    }
    file.complete = close(file.descriptor) == 0;
    file.descriptor = -1;
    return file.complete;
}

bool commitOutputFile(OutputFile& file) {
    if (!file.complete || file.temporary.empty()) {
        return file.complete;
    }
    std::error_code error;
    fs::rename(file.temporary, file.target, error); // on Windows, MoveFileEx that replaces
    if (error && error != std::errc::permission_denied &&
        error != std::errc::operation_not_permitted &&
        error != std::errc::device_or_resource_busy) {
        return false; // the temporary goes with the object
    }
    if (error && !copyInPlace(file)) {
        return false;
    }
    if (!error) {
        forgetTemporary(file.temporary);
        file.temporary.clear();
    }
    return true;
}

void removeTemporariesOnInterrupt() {
    for (const int signal : {SIGINT, SIGTERM}) {
        if (std::signal(signal, removeTemporariesAndEnd) == SIG_IGN) {
            std::signal(signal, SIG_IGN); // ignored by whoever started the run (nohup, a & job)
        }
    }
}

} // namespace vendrik
