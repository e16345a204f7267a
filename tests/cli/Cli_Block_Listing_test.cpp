#include "cli/Cli_Block_Listing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>

namespace plotvane {
namespace {

using nlohmann::ordered_json;

std::string Block_Text(std::size_t index, std::int64_t offset, const TChallenge_Block_View& block)
{
    std::ostringstream out;
    Write_Listed_Block_Text(out, index, offset, block);
    return out.str();
}

std::string Block_Json(std::size_t index, std::int64_t offset, const TChallenge_Block_View& block)
{
    std::ostringstream out;
    Write_Listed_Block_Json(out, index, offset, block);
    return out.str();
}

// The block's JSON object as the JSON library writes it whole.
std::string Library_Json(std::size_t index, std::int64_t offset, const TChallenge_Block_View& block)
{
    const ordered_json object = {{"index", index},
                                 {"offset", offset},
                                 {"name", std::string(block.Name)},
                                 {"name_in_place", block.Name_In_Place},
                                 {"name_index", block.Name_Index},
                                 {"rotation", block.Rotation},
                                 {"x", block.X},
                                 {"z", block.Z},
                                 {"y", block.Y},
                                 {"variations", block.Variations}};
    return object.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

// How the text report shows one byte of a name.
std::string Shown_In_Text(unsigned char byte)
{
    if (byte == '\\') {
        return "\\\\";
    }
    if (byte == '\n') {
        return "\\n";
    }
    if (byte < 0x20 || byte == 0x7F) {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        return escape;
    }
    return std::string(1, static_cast<char>(byte));
}

constexpr auto Size_Max = std::numeric_limits<std::size_t>::max();
constexpr auto Offset_Max = std::numeric_limits<std::int64_t>::max();
constexpr auto Offset_Min = std::numeric_limits<std::int64_t>::min();
constexpr auto Index_Max = std::numeric_limits<std::uint32_t>::max();

TEST(Cli_Block_Listing, Writes_Every_Number_At_The_Edges_Of_Its_Digit_Count)
{
    struct TCase {
        std::size_t Index;
        std::int64_t Offset;
        TChallenge_Block_View Block;
        const char* Text;
    };
    const TCase cases[] = {
        {0, 0, {"A", true, 0, 0, 9, 10, 99, {100, 255, 1, 0}},
         "Block 0 (00000000) in place #0: A  rotation 0  x 9  z 10  y 99  variations 100 255 1 0\n"},
        {9, 0xF, {"", false, 9, 255, 100, 99, 10, {9, 0, 255, 19}},
         "Block 9 (0000000F) reference #9:   rotation 255  x 100  z 99  y 10  variations 9 0 255 19\n"},
        {10, 0x10, {"B", false, 10, 1, 2, 3, 4, {5, 6, 7, 8}},
         "Block 10 (00000010) reference #10: B  rotation 1  x 2  z 3  y 4  variations 5 6 7 8\n"},
        {99, 0xFFFFFFFF, {"C", true, 99, 0, 0, 0, 0, {0, 0, 0, 0}},
         "Block 99 (FFFFFFFF) in place #99: C  rotation 0  x 0  z 0  y 0  variations 0 0 0 0\n"},
        {100, 0x100000000, {"D", true, 100, 0, 0, 0, 0, {0, 0, 0, 0}},
         "Block 100 (100000000) in place #100: D  rotation 0  x 0  z 0  y 0  variations 0 0 0 0\n"},
        {999999, 0x123456789ABCDEF, {"E", false, 65535, 0, 0, 0, 0, {0, 0, 0, 0}},
         "Block 999999 (123456789ABCDEF) reference #65535: E  rotation 0  x 0  z 0  y 0  "
         "variations 0 0 0 0\n"},
        {4294967295, Offset_Max, {"F", true, Index_Max, 0, 0, 0, 0, {0, 0, 0, 0}},
         "Block 4294967295 (7FFFFFFFFFFFFFFF) in place #4294967295: F  rotation 0  x 0  z 0  y 0  "
         "variations 0 0 0 0\n"},
        {4294967296, -1, {"G", true, 1000000000, 0, 0, 0, 0, {0, 0, 0, 0}},
         "Block 4294967296 (FFFFFFFFFFFFFFFF) in place #1000000000: G  rotation 0  x 0  z 0  y 0  "
         "variations 0 0 0 0\n"},
        {Size_Max, Offset_Min, {"H", false, 999999999, 0, 0, 0, 0, {0, 0, 0, 0}},
         "Block 18446744073709551615 (8000000000000000) reference #999999999: H  rotation 0  x 0  "
         "z 0  y 0  variations 0 0 0 0\n"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Block_Text(c.Index, c.Offset, c.Block), c.Text);
        EXPECT_EQ(Block_Json(c.Index, c.Offset, c.Block), Library_Json(c.Index, c.Offset, c.Block))
            << c.Text;
    }
}

// Names are tested for escapes eight bytes at a time: every byte that needs one, and its
// neighbours that do not, at every place of names across two words and a partial one, and in
// names longer than what is written with the rest of their block.
TEST(Cli_Block_Listing, Escapes_Each_Byte_Wherever_It_Lies_In_The_Name)
{
    const std::string bytes_to_place = {'\0', '\x01', '\n', '\x1F', ' ', '"', '\\', '~',
                                        '\x7F', '\x80', '\xC3', '\xFF'};
    const auto check = [](const std::string& name) {
        std::string shown;
        for (const char character : name) {
            shown += Shown_In_Text(static_cast<unsigned char>(character));
        }
        const TChallenge_Block_View block{name, true, 1, 0, 0, 0, 0, {0, 0, 0, 0}};
        EXPECT_EQ(Block_Text(0, 0, block), "Block 0 (00000000) in place #1: " + shown +
                                               "  rotation 0  x 0  z 0  y 0  variations 0 0 0 0\n");
        EXPECT_EQ(Block_Json(0, 0, block), Library_Json(0, 0, block));
    };
    for (std::size_t length = 1; length <= 24; ++length) {
        for (std::size_t place = 0; place < length; ++place) {
            for (const char byte : bytes_to_place) {
                std::string name(length, 'a');
                name[place] = byte;
                check(name);
            }
        }
    }
    std::string every_byte;
    for (int byte = 0; byte < 256; ++byte) {
        every_byte += static_cast<char>(byte);
    }
    check(every_byte);
    check(std::string(5000, 'n'));
    check(std::string(5000, 'n') + "\x7F");
    check("\xE2\x82\xAC" + std::string(3000, '"'));
}

} // namespace
} // namespace plotvane
