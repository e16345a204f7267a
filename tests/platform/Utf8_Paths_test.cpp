#include "platform/Utf8_Paths.h"

#include <gtest/gtest.h>

#include <string>

namespace plotvane {
namespace {

TEST(Extended_Length_Path, Takes_The_Extended_Form_Where_The_Classic_Limit_Begins)
{
    // 247 UTF-16 units fit the classic limit, 248 do not; a character past U+FFFF takes two
    // units and "é" one, whatever their UTF-8 bytes.
    const std::string short_path = "C:\\" + std::string(244, 'a');
    const std::string long_path = short_path + "b";
    const std::string long_in_pairs =
        "C:\\" + std::string(241, 'a') + "\xF0\x9F\x8F\x81\xF0\x9F\x8F\x81";
    const std::string short_accented = "C:\\" + std::string(243, 'a') + "\xC3\xA9";
    const std::string long_share = "\\\\server\\share\\" + std::string(240, 's');
    const std::pair<std::string, std::string> cases[] = {
        {short_path, short_path},
        {short_accented, short_accented},
        {long_path, "\\\\?\\" + long_path},
        {long_in_pairs, "\\\\?\\" + long_in_pairs},
        {long_share, "\\\\?\\UNC\\server\\share\\" + std::string(240, 's')},
        {"\\\\?\\" + long_path, "\\\\?\\" + long_path},
        {"\\\\.\\" + long_path, "\\\\.\\" + long_path},
        {std::string(300, 'r'), std::string(300, 'r')}, // relative: never made full here
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(Extended_Length_Path(path), expected) << path;
    }
}

} // namespace
} // namespace plotvane
