#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vendrik {

// Access to the version information a program file carries. On Windows these are the
// system's GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA. Linux attaches
// no version information to program files, so there the same three calls answer from the
// version record the build gives the program (builtInVersionRecord), for any path.

/// The fixed part of version information, laid out as the system's VS_FIXEDFILEINFO.
struct FixedFileInfo {
    std::uint32_t signature = 0xFEEF04BD;
    std::uint32_t structureVersion = 0x00010000;
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlagsMask = 0x3F;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0x40004;
    std::uint32_t fileType = 1;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateMS = 0;
    std::uint32_t fileDateLS = 0;
};

/// Version information as the build states it.
struct VersionRecord {
    bool hasFixedInfo = false;
    FixedFileInfo fixedInfo;
    std::string translation = "040904b0"; ///< language and code page of the string table
    std::vector<std::pair<std::string, std::string>> strings; ///< name, value
};

/// The record this build gives the program (Linux): version from the project, original
/// file name and legal notice.
VersionRecord builtInVersionRecord();

/// The version information block of `record` in the form the three calls below read.
std::vector<unsigned char> encodeVersionInformation(const VersionRecord& record);

/// Size of the version information of the file at `path`; 0 when it has none.
unsigned long getFileVersionInfoSize(const char* path);

/// Fills `block` (of `size` bytes) with the version information; false on failure.
bool getFileVersionInfo(const char* path, unsigned long size, void* block);

/// Looks up `subBlock` ("\" for the fixed part, "\StringFileInfo\<translation>\<name>" for
/// a string) in a filled block; on success points `value` into the block.
bool verQueryValue(const void* block, const char* subBlock, const void** value, unsigned* length);

} // namespace vendrik
