#include "platform/Process.h"

#include "platform/Process_Internal.h"

#include <filesystem>
#include <system_error>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace plotvane {

std::vector<std::string> Utf8_Arguments(int argc, const char* const* argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

// Nothing to do elsewhere than Windows.
void Use_Binary_Standard_Streams()
{
}

std::string Program_Folder()
{
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
