#include "output/output_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace vendrik {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr int writeFlags = O_WRONLY | O_TEXT | O_NOINHERIT;
constexpr int writable = 2;
#else
constexpr int writeFlags = O_WRONLY | O_CLOEXEC;
constexpr int writable = W_OK;
#endif

int openFile(const std::string& path, int flags) {
    return open(path.c_str(), flags, 0666);
}

/// The file a whole replacement of `path` writes, with its permission bits when it exists;
/// nothing when it must be written in place: not a regular file, more than one name, not
/// writable by this process, or a link that leads nowhere.
std::optional<std::pair<fs::path, std::optional<fs::perms>>> replaceable(const std::string& path) {
    std::error_code error;
    fs::path target = path;
    fs::file_status status = fs::symlink_status(target, error);
    if (status.type() == fs::file_type::not_found) {
        return std::pair(target, std::optional<fs::perms>());
    }
    if (fs::is_symlink(status)) {
        target = fs::canonical(target, error);
        status = fs::status(target, error);
    }
    if (error || !fs::is_regular_file(status) || fs::hard_link_count(target, error) != 1 ||
        access(target.string().c_str(), writable) != 0) {
        return std::nullopt;
    }
    return std::pair(target, std::optional(status.permissions()));
}

bool openTemporary(OutputFile& file, const std::string& path) {
    const auto found = path.empty() ? std::nullopt : replaceable(path);
    if (!found) {
        return false;
    }
    const auto& [target, permissions] = *found;
    // Unique among concurrent runs by the process number; a name left by a killed run is
    // passed over.
    const std::string stem = target.string() + ".vendrik-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem + std::to_string(attempt);
        const int descriptor = openFile(name, writeFlags | O_CREAT | O_EXCL);
        if (descriptor < 0 && errno == EEXIST) {
            continue;
        }
        if (descriptor < 0) {
            return false;
        }
        std::error_code error;
        if (permissions) {
            fs::permissions(name, *permissions, error);
        }
        if (error) {
            close(descriptor);
            unlink(name.c_str());
            return false;
        }
        file.target = target.string();
        file.temporary = std::move(name);
        file.descriptor = descriptor;
        return true;
    }
    return false;
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

} // namespace

OutputFile::~OutputFile() {
    if (descriptor >= 0) {
        close(descriptor);
    }
    if (!temporary.empty()) {
        unlink(temporary.c_str());
    }
}

bool openOutputFile(OutputFile& file, const std::string& path, Replacement how) {
    if (how == Replacement::whole && openTemporary(file, path)) {
        return true;
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
    std::error_code error;
    if (file.complete && !file.temporary.empty()) {
        fs::rename(file.temporary, file.target, error); // on Windows, MoveFileEx that replaces
    }
    if (!file.complete || error) {
        return false; // the temporary goes with the object
    }
    file.temporary.clear();
    return true;
}

} // namespace vendrik
