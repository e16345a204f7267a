#include "platform/Utf8_Paths.h"

#include "platform/Utf8_Paths_Internal.h"

#include <cstddef>
#include <string>

namespace plotvane {

namespace {

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

} // namespace plotvane
