#include "platform/Process.h"

#include "platform/Process_Internal.h"
#include "platform/Utf8_Paths.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

namespace plotvane {

namespace {

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

} // namespace

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

void Use_Binary_Standard_Streams()
{
    for (std::FILE* stream : {stdin, stdout, stderr}) {
        _setmode(_fileno(stream), _O_BINARY);
    }
    if (Is_Console(STD_OUTPUT_HANDLE) || Is_Console(STD_ERROR_HANDLE)) {
        Console_Code_Page_Before = GetConsoleOutputCP();
        if (SetConsoleOutputCP(CP_UTF8)) {
            std::atexit(Restore_Console_Code_Page);
        }
    }
}

std::string Program_Folder()
{
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
}

// glibc's alone: nothing to do on Windows.
void Give_Large_Blocks_Back_When_Freed()
{
}

} // namespace plotvane
