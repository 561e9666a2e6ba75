#include "driver/version_banner.h"

#include "driver/build_date.h"
#include "driver/version_information.h"

#include <cstring>
#include <string>
#include <vector>

namespace vendrik {

namespace {

/// The value of a string sub-block, or empty text when the block has none.
std::string queryText(const VersionInformationSource& source, const void* block,
                      const char* subBlock) {
    const void* value = nullptr;
    unsigned length = 0;
    if (!source.query(block, subBlock, &value, &length) || value == nullptr || length == 0) {
        return {};
    }
    const auto* text = static_cast<const char*>(value);
    return std::string(text, strnlen(text, length));
}

} // namespace

VersionInformationSource platformVersionInformation() {
    return {getFileVersionInfoSize, getFileVersionInfo, verQueryValue};
}

void printVersionBanner(std::string_view programPath, std::ostream& console,
                        const VersionInformationSource& source) {
    const std::string path(programPath);
    std::string fileName;
    std::string version;
    std::string legal;
    bool found = false;

    const unsigned long size = source.size(path.c_str());
    std::vector<unsigned char> block(size);
    if (size > 0 && source.fill(path.c_str(), size, block.data())) {
        const void* fixed = nullptr;
        unsigned length = 0;
        if (source.query(block.data(), "\\", &fixed, &length) && fixed != nullptr &&
            length >= sizeof(FixedFileInfo)) {
            found = true;
            FixedFileInfo info;
            std::memcpy(&info, fixed, sizeof info);
            version = std::to_string(info.fileVersionMS >> 16) + "." +
                      std::to_string(info.fileVersionMS & 0xFFFF);
            legal = queryText(source, block.data(), "\\StringFileInfo\\040904b0\\LegalCopyright");
            fileName =
                queryText(source, block.data(), "\\StringFileInfo\\040904b0\\OriginalFilename");
        }
    }
    if (found) {
        console << fileName << " version " << version << " from " << buildDate() << '\n'
                << std::flush;
        console << legal << '\n' << std::flush;
    }
}

} // namespace vendrik
