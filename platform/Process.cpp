#include "platform/Process.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include "platform/Utf8_Paths.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace plotvane {

namespace {

#ifdef _WIN32
std::vector<std::string> Utf8_Arguments(int argc, const char* const* argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc); // short of memory: better than none
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8_From_Wide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool Is_Console(DWORD standard_handle)
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(standard_handle), &mode) != 0;
}

// The console's code page belongs to the console, not to the program: it is given back.
UINT Console_Code_Page_Before = 0;

void Restore_Console_Code_Page()
{
    SetConsoleOutputCP(Console_Code_Page_Before);
}
#else
std::vector<std::string> Utf8_Arguments(int argc, const char* const* argv)
{
    return std::vector<std::string>(argv, argv + argc);
}
#endif

} // namespace

TProgram_Arguments::TProgram_Arguments(int argc, const char* const* argv)
    : texts_(Utf8_Arguments(argc, argv))
{
    for (const std::string& text : texts_) {
        values_.push_back(text.c_str());
    }
}

std::vector<std::string> Command_Line_Arguments(int argc, const char* const* argv)
{
    const TProgram_Arguments arguments(argc, argv);
    if (arguments.Texts().empty()) {
        return {};
    }
    return std::vector<std::string>(arguments.Texts().begin() + 1, arguments.Texts().end());
}

void Use_Binary_Standard_Streams()
{
#ifdef _WIN32
    for (std::FILE* stream : {stdin, stdout, stderr}) {
        _setmode(_fileno(stream), _O_BINARY);
    }
    if (Is_Console(STD_OUTPUT_HANDLE) || Is_Console(STD_ERROR_HANDLE)) {
        Console_Code_Page_Before = GetConsoleOutputCP();
        if (SetConsoleOutputCP(CP_UTF8)) {
            std::atexit(Restore_Console_Code_Page);
        }
    }
#endif
}

std::string Program_Folder()
{
#ifdef _WIN32
    // The name may be longer than MAX_PATH: the buffer grows until it holds it whole.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string executable = Utf8_From_Wide(path);
    return executable.substr(0, executable.find_last_of("\\/") + 1);
#else
    std::error_code error;
    const std::filesystem::path executable =
        std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return {};
    }
    std::string folder = executable.parent_path().string();
    if (folder.empty() || folder.back() != std::filesystem::path::preferred_separator) {
        folder += static_cast<char>(std::filesystem::path::preferred_separator);
    }
    return folder;
#endif
}

std::uint64_t Clock_Value()
{
    return static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

void Give_Large_Blocks_Back_When_Freed()
{
#ifdef __GLIBC__
    // Setting the bound also stops glibc from raising it.
    constexpr int Large_Block = 128 * 1024;
    mallopt(M_MMAP_THRESHOLD, Large_Block);
#endif
}

} // namespace plotvane
