#include "driver/version_banner.h"

#include "driver/build_date.h"
#include "version_record.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>
#endif

namespace vendrik {

namespace {
constexpr std::string_view stringTable = "\\StringFileInfo\\040904b0\\";
} // namespace

#ifdef _WIN32

VersionQuery programVersionQuery(const std::string& programPath) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(programPath.c_str(), &ignored);
    auto block = std::make_shared<std::vector<char>>(size);
    if (size == 0 || GetFileVersionInfoA(programPath.c_str(), 0, size, block->data()) == 0) {
        block->clear();
    }
    const auto value = [block](const std::string& subBlock) -> std::optional<std::string_view> {
        void* found = nullptr;
        UINT length = 0;
        if (block->empty() ||
            VerQueryValueA(block->data(), subBlock.c_str(), &found, &length) == 0 ||
            found == nullptr) {
            return std::nullopt;
        }
        return std::string_view(static_cast<const char*>(found), length);
    };
    return {[value]() -> std::optional<std::uint32_t> {
                const auto fixed = value("\\");
                if (!fixed || fixed->size() < sizeof(VS_FIXEDFILEINFO)) {
                    return std::nullopt;
                }
                VS_FIXEDFILEINFO info;
                std::memcpy(&info, fixed->data(), sizeof info);
                return info.dwFileVersionMS;
            },
            [value](const std::string& subBlock) -> std::optional<std::string> {
                const auto text = value(subBlock);
                if (!text) {
                    return std::nullopt;
                }
                return std::string(text->data(), strnlen(text->data(), text->size()));
            }};
}

#else

VersionQuery programVersionQuery(const std::string& /*programPath*/) {
    return {[]() -> std::optional<std::uint32_t> { return versionMajor << 16 | versionMinor; },
            [](const std::string& subBlock) -> std::optional<std::string> {
                if (subBlock == std::string(stringTable) + "OriginalFilename") {
                    return std::string(programFileName);
                }
                if (subBlock == std::string(stringTable) + "LegalCopyright") {
                    return std::string(legalNotice);
                }
                return std::nullopt;
            }};
}

#endif

void printVersionBanner(const VersionQuery& query, std::ostream& console) {
    const std::optional<std::uint32_t> version = query.fileVersion();
    if (!version) {
        return;
    }
    const auto text = [&](std::string_view name) {
        return query.text(std::string(stringTable).append(name)).value_or("");
    };
    const std::string legal = text("LegalCopyright");
    const std::string fileName = text("OriginalFilename");
    console << fileName << " version " << std::to_string(*version >> 16) << '.'
            << std::to_string(*version & 0xFFFF) << " from " << buildDate() << '\n'
            << std::flush;
    console << legal << '\n' << std::flush;
}

void printVersionBanner(std::string_view programPath, std::ostream& console) {
    printVersionBanner(programVersionQuery(std::string(programPath)), console);
}

} // namespace vendrik
