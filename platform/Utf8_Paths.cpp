#include "platform/Utf8_Paths.h"

#include <cstddef>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace plotvane {

namespace {

// Where the classic limit on path length starts to bite: CreateDirectoryW takes 260 less room
// for an 8.3 file name, so every call is safe below it.
constexpr std::size_t Classic_Path_Limit = 248;

bool Starts_With(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The length of UTF-8 text in UTF-16 units: one per character, two for one past U+FFFF (a
// four-byte sequence).
std::size_t Utf16_Length(const std::string& text)
{
    std::size_t length = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            length += byte >= 0xF0 ? 2 : 1;
        }
    }
    return length;
}

#ifdef _WIN32
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
#endif

} // namespace

std::string Extended_Length_Path(const std::string& full_path)
{
    if (Utf16_Length(full_path) < Classic_Path_Limit || Starts_With(full_path, "\\\\?\\") ||
        Starts_With(full_path, "\\\\.\\")) {
        return full_path;
    }
    if (Starts_With(full_path, "\\\\")) {
        return "\\\\?\\UNC\\" + full_path.substr(2);
    }
    if (full_path.size() >= 3 && full_path[1] == ':' && full_path[2] == '\\') {
        return "\\\\?\\" + full_path;
    }
    return full_path;
}

#ifdef _WIN32

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

#else

std::filesystem::path Path_From_Utf8(const std::string& text)
{
    return std::filesystem::path(text);
}

std::string Utf8_From_Path(const std::filesystem::path& path)
{
    return path.string();
}

std::FILE* Open_File_Stream(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

#endif

} // namespace plotvane
