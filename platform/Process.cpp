#include "platform/Process.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace plotvane {

std::vector<std::string> Command_Line_Arguments(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

std::string Program_Folder()
{
#ifdef _WIN32
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        return {};
    }
    const std::filesystem::path executable(std::string(path, length));
#else
    std::error_code error;
    const std::filesystem::path executable =
        std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return {};
    }
#endif
    std::string folder = executable.parent_path().string();
    if (folder.empty() || folder.back() != std::filesystem::path::preferred_separator) {
        folder += static_cast<char>(std::filesystem::path::preferred_separator);
    }
    return folder;
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
