#include "platform/Utf8_Paths.h"

#include "platform/Utf8_Paths_Internal.h"

#include <cstddef>
#include <cstring>
#include <string>

#include <windows.h>

namespace plotvane {

namespace {

// A path that Windows reads without the current directory or drive: "C:\..." or "\\...".
bool Is_Full_Path(const std::wstring& path)
{
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return (path.size() >= 3 && path[1] == L':' && separator(path[2])) ||
           (path.size() >= 2 && separator(path[0]) && separator(path[1]));
}

// GetFullPathNameW makes a path absolute and normalises it; the wide call takes long paths.
std::wstring Full_Path(const std::wstring& path)
{
    std::wstring full(path.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return path; // the call that uses it reports what is wrong with it
        }
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

} // namespace

std::wstring Wide_From_Utf8(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8_From_Wide(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring Win32_Path(const std::string& path)
{
    const std::wstring wide = Wide_From_Utf8(path);
    if (wide.size() < Classic_Path_Limit && Is_Full_Path(wide)) {
        return wide;
    }
    return Wide_From_Utf8(Extended_Length_Path(Utf8_From_Wide(Full_Path(wide))));
}

std::filesystem::path Path_From_Utf8(const std::string& text)
{
    return std::filesystem::path(Wide_From_Utf8(text));
}

std::string Utf8_From_Path(const std::filesystem::path& path)
{
    return Utf8_From_Wide(path.native());
}

// msvcrt's _wfopen hands the name to CreateFileW as it is, so the extended form works there.
std::FILE* Open_File_Stream(const std::string& path, const char* mode)
{
    return _wfopen(Win32_Path(path).c_str(), std::wstring(mode, mode + std::strlen(mode)).c_str());
}

} // namespace plotvane
