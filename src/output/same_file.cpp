#include "output/same_file.h"

#include "output/native_path.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vendrik {

bool sameFile(const std::string& first, const std::string& second) {
    std::error_code error;
    return std::filesystem::equivalent(nativePath(first), nativePath(second), error) && !error;
}

bool namesOneFile(const std::string& first, const std::string& second) {
    if (sameFile(first, second)) {
        return true;
    }
    const auto resolved = [](const std::string& path) {
        std::error_code error;
        auto found = std::filesystem::weakly_canonical(
            std::filesystem::absolute(nativePath(path), error), error);
        return error ? std::filesystem::path() : found;
    };
    const std::filesystem::path resolvedFirst = first.empty() ? "" : resolved(first);
    return !resolvedFirst.empty() && !second.empty() && resolvedFirst == resolved(second);
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(nativePath(path), error);
}

#ifdef _WIN32

bool isStandardOutput(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION console{};
    BY_HANDLE_FILE_INFORMATION named{};
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE file = CreateFileW(nativePath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = output != nullptr && output != INVALID_HANDLE_VALUE &&
                       file != INVALID_HANDLE_VALUE &&
                       GetFileInformationByHandle(output, &console) != 0 &&
                       GetFileInformationByHandle(file, &named) != 0;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return known && console.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           console.nFileIndexHigh == named.nFileIndexHigh &&
           console.nFileIndexLow == named.nFileIndexLow;
}

#else

bool isStandardOutput(const std::string& path) {
    struct stat console {};
    struct stat named {};
    return fstat(STDOUT_FILENO, &console) == 0 && stat(path.c_str(), &named) == 0 &&
           console.st_dev == named.st_dev && console.st_ino == named.st_ino;
}

#endif

} // namespace vendrik
