#include "platform/Utf8_Paths.h"

#include <cstdio>
#include <string>

namespace plotvane {

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

} // namespace plotvane
