#include "output/native_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vendrik {

#ifdef _WIN32

std::filesystem::path nativePath(const std::string& name) {
    std::wstring wide(name.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length));
    return std::filesystem::path(wide);
}

std::string heldName(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    const int size = static_cast<int>(wide.size());
    std::string name(static_cast<std::size_t>(size) * 3, '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, name.data(),
                                           static_cast<int>(name.size()), nullptr, nullptr);
    name.resize(static_cast<std::size_t>(length));
    return name;
}

std::vector<std::string> wideArguments() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> held;
    for (int index = 0; arguments != nullptr && index < count; ++index) {
        held.push_back(heldName(std::filesystem::path(arguments[index])));
    }
    LocalFree(arguments);
    return held;
}

#else

std::filesystem::path nativePath(const std::string& name) {
    return std::filesystem::path(name);
}

std::string heldName(const std::filesystem::path& path) {
    return path.string();
}

std::vector<std::string> wideArguments() {
    return {};
}

#endif

} // namespace vendrik
