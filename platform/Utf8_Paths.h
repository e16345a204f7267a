#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace plotvane {

// Paths are UTF-8 text everywhere inside the program and are turned into the system's own form
// only where they meet it. Elsewhere than Windows that form is the same bytes. On Windows a
// std::filesystem::path made from a std::string reads it in the ANSI code page, and .string()
// writes it back so, which loses every name outside that code page: these go through UTF-16.
std::filesystem::path Path_From_Utf8(const std::string& text);
std::string Utf8_From_Path(const std::filesystem::path& path);

// Opens a file as std::fopen does, the name read as UTF-8.
std::FILE* Open_File_Stream(const std::string& path, const char* mode);

// A full path (absolute, with backslashes and without "." or ".." parts, as GetFullPathNameW
// gives it) in the form that Windows' wide calls take whatever its length: "\\?\C:\..." or
// "\\?\UNC\server\share\..." once it reaches the 248 UTF-16 units where the classic limit
// (260, less room for a file name of 8.3 characters in a folder) begins; a shorter path, a
// device path and one already in that form are given back as they are.
std::string Extended_Length_Path(const std::string& full_path);

#ifdef _WIN32
std::wstring Wide_From_Utf8(const std::string& text);
std::string Utf8_From_Wide(const std::wstring& text);

// The path as a wide Win32 call takes it: relative paths made full, long ones in extended
// form, so that names longer than the classic limit work in a process that is not long-path
// aware too.
std::wstring Win32_Path(const std::string& path);
#endif

} // namespace plotvane
