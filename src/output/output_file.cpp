#include "output/output_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vendrik {

namespace {

/// The file that a whole replacement writes.
struct Replaceable {
    std::string target;
    bool existing = false; ///< false: there is no such file yet
    unsigned mode = 0;     ///< its permission bits, where the system has them
};

#ifdef _WIN32

constexpr int writeFlags = O_WRONLY | O_TEXT | O_NOINHERIT;

int openFile(const std::string& path, int flags) {
    return _open(path.c_str(), flags, _S_IREAD | _S_IWRITE);
}

/// Fills `found` for `path` and returns true when replacing it whole can serve: a regular
/// file that this process may write, or no file yet. Links are written in place here.
bool findReplaceable(const std::string& path, Replaceable& found) {
    found.target = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    found.existing = attributes != INVALID_FILE_ATTRIBUTES;
    if (!found.existing) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    struct _stat64 status {};
    return (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
           _stat64(path.c_str(), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG &&
           _access(path.c_str(), 2) == 0;
}

// Windows files have no permission bits but read-only, and read-only files are refused.
bool keepPermissions(int, const Replaceable&) {
    return true;
}

bool emptyIfRegular(int descriptor) {
    struct _stat64 status {};
    return _fstat64(descriptor, &status) == 0 &&
           ((status.st_mode & _S_IFMT) != _S_IFREG || _chsize_s(descriptor, 0) == 0);
}

bool renameOver(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

constexpr int writeFlags = O_WRONLY | O_CLOEXEC;

int openFile(const std::string& path, int flags) {
    return open(path.c_str(), flags, 0666);
}

/// Fills `found` for `path` and returns true when replacing it whole can serve: a regular
/// file with one name that this process may write, or no file yet. A symbolic link leads to
/// the file that is replaced.
bool findReplaceable(const std::string& path, Replaceable& found) {
    found.target = path;
    struct stat status {};
    found.existing = lstat(path.c_str(), &status) == 0;
    if (!found.existing) {
        return errno == ENOENT;
    }
    if (S_ISLNK(status.st_mode)) {
        char* const resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            return false; // leads nowhere: opening it in place creates what it names
        }
        found.target = resolved;
        std::free(resolved);
        if (stat(found.target.c_str(), &status) != 0) {
            return false;
        }
    }
    found.mode = status.st_mode & 07777;
    // A file with several names keeps them all only when written in place.
    return S_ISREG(status.st_mode) && status.st_nlink == 1 &&
           access(found.target.c_str(), W_OK) == 0;
}

bool keepPermissions(int descriptor, const Replaceable& found) {
    return fchmod(descriptor, found.mode) == 0;
}

bool emptyIfRegular(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 &&
           (!S_ISREG(status.st_mode) || ftruncate(descriptor, 0) == 0);
}

bool renameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

#endif

bool openTemporary(OutputFile& file, const std::string& path) {
    Replaceable found;
    if (path.empty() || !findReplaceable(path, found)) {
        return false;
    }
    // Unique among concurrent runs by the process number; a name left by a killed run is
    // passed over.
    const std::string stem = found.target + ".vendrik-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem + std::to_string(attempt);
        const int descriptor = openFile(name, writeFlags | O_CREAT | O_EXCL);
        if (descriptor < 0 && errno == EEXIST) {
            continue;
        }
        if (descriptor < 0) {
            return false;
        }
        if (found.existing && !keepPermissions(descriptor, found)) {
            close(descriptor);
            unlink(name.c_str());
            return false;
        }
        file.target = std::move(found.target);
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
        descriptor = -1;
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
    file.target = path;
    file.descriptor = openFile(path, writeFlags | O_CREAT);
    return file.descriptor >= 0;
}

bool replaceOutputFile(OutputFile& file, std::string_view text) {
    if (file.descriptor < 0) {
        return false;
    }
    bool written = (!file.temporary.empty() || emptyIfRegular(file.descriptor)) &&
                   writeAll(file.descriptor, text);
    written = close(file.descriptor) == 0 && written;
    file.descriptor = -1;
    if (!written || (!file.temporary.empty() && !renameOver(file.temporary, file.target))) {
        return false; // the temporary goes with the object
    }
    file.temporary.clear();
    return true;
}

} // namespace vendrik
