#include "output/output_file.h"

#include "output/native_path.h"

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

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace vendrik {

namespace {

namespace fs = std::filesystem;

/// What choosing between a temporary and a write in place needs to know of a path.
struct PathFacts {
    enum Kind {
        missing,  ///< nothing there: a new file
        regular,  ///< a regular file with one name
        elsewise, ///< a device, a FIFO, a file with more names, a link that leads nowhere
    } kind = elsewise;
    std::string file; ///< regular: the file itself, every link resolved
};

#ifdef _WIN32

constexpr int writeFlags = O_WRONLY | O_TEXT | O_NOINHERIT;
constexpr int copyFlags = O_WRONLY | O_BINARY | O_NOINHERIT;
constexpr int readFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
constexpr std::string_view separators = "/\\";
constexpr std::size_t maxPath = 32768;

int openFile(const std::string& path, int flags) {
    return _wopen(nativePath(path).c_str(), flags, _S_IREAD | _S_IWRITE);
}

/// A new file that can be removed while it is open (as an interrupt does), or -1 with errno.
int createNew(const std::string& path) {
    const HANDLE handle = CreateFileW(nativePath(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
                : error == ERROR_ACCESS_DENIED                              ? EACCES
                                                                            : EIO;
        return -1;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), writeFlags);
    if (descriptor < 0) {
        CloseHandle(handle);
    }
    return descriptor;
}

int removeFile(const fs::path::value_type* name) {
    return _wunlink(name);
}

PathFacts factsOf(const std::string& path) {
    const std::wstring name = nativePath(path).native();
    const HANDLE handle =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    PathFacts facts;
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND &&
            GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
            facts.kind = PathFacts::missing;
        }
        return facts;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    std::wstring final(maxPath, L'\0');
    if (GetFileType(handle) == FILE_TYPE_DISK &&
        GetFileInformationByHandle(handle, &information) != 0 &&
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        information.nNumberOfLinks == 1) {
        final.resize(
            GetFinalPathNameByHandleW(handle, final.data(), maxPath, FILE_NAME_NORMALIZED));
        facts.kind =
            final.empty() || final.size() >= maxPath ? PathFacts::elsewise : PathFacts::regular;
        facts.file = heldName(fs::path(final));
    }
    CloseHandle(handle);
    return facts;
}

/// Windows keeps owner and permissions in the folder's inherited access lists.
bool takeOver(int, const std::string&) {
    return true;
}

#else

constexpr int writeFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY;
constexpr int copyFlags = writeFlags;
constexpr int readFlags = O_RDONLY | O_CLOEXEC;
constexpr std::string_view separators = "/";
constexpr std::size_t maxPath = PATH_MAX;

int openFile(const std::string& path, int flags) {
    return open(path.c_str(), flags, 0666);
}

int createNew(const std::string& path) {
    return openFile(path, writeFlags | O_CREAT | O_EXCL);
}

int removeFile(const char* name) {
    return unlink(name);
}

PathFacts factsOf(const std::string& path) {
    struct stat status {};
    PathFacts facts;
    if (stat(path.c_str(), &status) != 0) {
        struct stat link {};
        if (errno == ENOENT && lstat(path.c_str(), &link) != 0) {
            facts.kind = PathFacts::missing;
        }
        return facts;
    }
    std::error_code error;
    if (S_ISREG(status.st_mode) && status.st_nlink == 1) {
        facts.file = fs::canonical(path, error).string();
        facts.kind = error ? PathFacts::elsewise : PathFacts::regular;
    }
    return facts;
}

/// Gives the temporary the owner, group and permission bits of `existing`: owner and group
/// where the process may set them, the group alone where only that is allowed.
bool takeOver(int temporary, const std::string& existing) {
    struct stat status {};
    if (stat(existing.c_str(), &status) != 0) {
        return false;
    }
    if (fchown(temporary, status.st_uid, status.st_gid) != 0 &&
        fchown(temporary, static_cast<uid_t>(-1), status.st_gid) != 0) {
        // neither may be kept: the file is the process's own, as a new one would be
    }
    return fchmod(temporary, status.st_mode & 07777) == 0;
}

#endif

/// The temporaries that exist now, in plain arrays that a signal handler may read.
constexpr std::size_t maxTemporaries = 4;
std::array<std::array<fs::path::value_type, maxPath + 64>, maxTemporaries> temporaryNames;
std::array<volatile std::sig_atomic_t, maxTemporaries> temporaryInUse;

void rememberTemporary(const std::string& name) {
    const fs::path::string_type native = nativePath(name).native();
    for (std::size_t slot = 0; slot < maxTemporaries; ++slot) {
        if (!temporaryInUse[slot] && native.size() < temporaryNames[slot].size()) {
            std::copy(native.c_str(), native.c_str() + native.size() + 1,
                      temporaryNames[slot].data());
            temporaryInUse[slot] = 1;
            return;
        }
    }
}

void forgetTemporary(const std::string& name) {
    const fs::path::string_type native = nativePath(name).native();
    for (std::size_t slot = 0; slot < maxTemporaries; ++slot) {
        if (temporaryInUse[slot] && native == temporaryNames[slot].data()) {
            temporaryInUse[slot] = 0;
        }
    }
}

extern "C" void removeTemporariesAndEnd(int signal) {
    for (std::size_t slot = 0; slot < maxTemporaries; ++slot) {
        if (temporaryInUse[slot]) {
            removeFile(temporaryNames[slot].data());
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
        const int descriptor = createNew(name);
        if (descriptor >= 0) {
            rememberTemporary(name);
        }
        if (descriptor >= 0 || errno != EEXIST) {
            return descriptor;
        }
    }
    return -1;
}

enum class Opened { temporary, inPlace, refused };

Opened openTemporary(OutputFile& file, const std::string& path) {
    const PathFacts facts = factsOf(path);
    if (facts.kind == PathFacts::elsewise) {
        return Opened::inPlace;
    }
    if (facts.kind == PathFacts::regular) {
        // The system's own open decides whether the file may be written, and whether a link
        // to it may be followed; nothing is emptied.
        const int probe = openFile(path, writeFlags);
        if (probe < 0) {
            return Opened::refused;
        }
        close(probe);
    }
    const std::string target = facts.kind == PathFacts::regular ? facts.file : path;
    std::string name;
    const int descriptor = createTemporary(target, name);
    if (descriptor < 0) {
        // A folder that takes no new files, else a file system that cannot make one (full,
        // no free inode): only the first leaves writing in place.
        return errno == EACCES || errno == EPERM ? Opened::inPlace : Opened::refused;
    }
    file.target = target;
    file.temporary = std::move(name);
    file.descriptor = descriptor;
    return facts.kind == PathFacts::missing || takeOver(descriptor, target) ? Opened::temporary
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
        removeFile(nativePath(temporary).c_str());
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
    file.emptyFirst = fs::is_regular_file(nativePath(path), error);
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
    // On Windows, MoveFileExW that replaces.
    fs::rename(nativePath(file.temporary), nativePath(file.target), error);
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

bool writeWholeOutputFile(const std::string& path, std::string_view text) {
    OutputFile file;
    return openOutputFile(file, path, Replacement::whole) && writeOutputFile(file, text) &&
           closeOutputFile(file) && commitOutputFile(file);
}

void removeTemporariesOnInterrupt() {
    for (const int signal : {SIGINT, SIGTERM}) {
        if (std::signal(signal, removeTemporariesAndEnd) == SIG_IGN) {
            std::signal(signal, SIG_IGN); // ignored by whoever started the run (nohup, a & job)
        }
    }
}

} // namespace vendrik
