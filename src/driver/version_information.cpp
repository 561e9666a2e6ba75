#include "driver/version_information.h"

#include "driver/version_record.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vendrik {

VersionRecord builtInVersionRecord() {
    VersionRecord record;
    record.hasFixedInfo = true;
    record.fixedInfo.fileVersionMS = (versionMajor << 16) | versionMinor;
    record.fixedInfo.fileVersionLS = (versionPatch << 16) | versionTweak;
    record.fixedInfo.productVersionMS = record.fixedInfo.fileVersionMS;
    record.fixedInfo.productVersionLS = record.fixedInfo.fileVersionLS;
    record.strings = {{"OriginalFilename", std::string(programFileName)},
                      {"LegalCopyright", std::string(legalNotice)}};
    return record;
}

// Block layout: a one-byte flag for the fixed part, the fixed part, then pairs of
// zero-terminated sub-block paths and values, closed by an empty path.
std::vector<unsigned char> encodeVersionInformation(const VersionRecord& record) {
    std::vector<unsigned char> block(1 + sizeof(FixedFileInfo));
    block[0] = record.hasFixedInfo ? 1 : 0;
    std::memcpy(block.data() + 1, &record.fixedInfo, sizeof(FixedFileInfo));
    auto append = [&](const std::string& text) {
        block.insert(block.end(), text.begin(), text.end());
        block.push_back(0);
    };
    for (const auto& [name, value] : record.strings) {
        append("\\StringFileInfo\\" + record.translation + "\\" + name);
        append(value);
    }
    block.push_back(0);
    return block;
}

#ifdef _WIN32

unsigned long getFileVersionInfoSize(const char* path) {
    DWORD handle = 0;
    return GetFileVersionInfoSizeA(path, &handle);
}

bool getFileVersionInfo(const char* path, unsigned long size, void* block) {
    return GetFileVersionInfoA(path, 0, size, block) != 0;
}

bool verQueryValue(const void* block, const char* subBlock, const void** value, unsigned* length) {
    void* found = nullptr;
    UINT size = 0;
    if (VerQueryValueA(block, subBlock, &found, &size) == 0) {
        return false;
    }
    *value = found;
    *length = size;
    return true;
}

#else

unsigned long getFileVersionInfoSize(const char* /*path*/) {
    return static_cast<unsigned long>(encodeVersionInformation(builtInVersionRecord()).size());
}

bool getFileVersionInfo(const char* /*path*/, unsigned long size, void* block) {
    const std::vector<unsigned char> encoded = encodeVersionInformation(builtInVersionRecord());
    if (size < encoded.size()) {
        return false;
    }
    std::memcpy(block, encoded.data(), encoded.size());
    return true;
}

bool verQueryValue(const void* block, const char* subBlock, const void** value, unsigned* length) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    if (std::strcmp(subBlock, "\\") == 0) {
        if (bytes[0] == 0) {
            return false;
        }
        *value = bytes + 1;
        *length = sizeof(FixedFileInfo);
        return true;
    }
    const char* entry = reinterpret_cast<const char*>(bytes + 1 + sizeof(FixedFileInfo));
    while (*entry != 0) {
        const char* text = entry + std::strlen(entry) + 1;
        if (std::strcmp(entry, subBlock) == 0) {
            *value = text;
            *length = static_cast<unsigned>(std::strlen(text) + 1);
            return true;
        }
        entry = text + std::strlen(text) + 1;
    }
    return false;
}

#endif

} // namespace vendrik
