#include "challenge/Block_Find.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "tests/support/Challenge_Builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plotvane {
namespace {

using TBlocks = std::vector<std::uint32_t>;

// Fixture blocks: 0 StadiumRoadMain in place, 1 refers to it, 2 StadiumCircuitBase in place,
// 3 refers to it, 4 StadiumRoadMain in place, 5 refers to it, 6 StadiumPlatform in place, 7
// Stadium by reference. X is 10 + the block number, Z 2 and Y 3 everywhere.
TEST(Find_Blocks, Terms_Of_One_Field_Add_Blocks_And_Fields_Narrow_Each_Other)
{
    const std::vector<std::pair<std::string, TBlocks>> cases = {
        {"", {0, 1, 2, 3, 4, 5, 6, 7}},
        {"roadmain", {0, 1, 4, 5}},
        {"ROAD  kind=@", {1, 5}},
        {"stadium x=12-15", {2, 3, 4, 5}},
        {"X=16", {6}},
        {"z=2 y=3 circuit base", {2, 3}},
        {"platform kind=p", {6}},
        {"y=4", {}},
        {"roadmain circuit", {}},
        {"a=1", {}}, // not a field: a part of the name
        {"x=14 x=17", {4, 7}},
        {"x=17 x=10-11 x=16", {0, 1, 6, 7}},
        {"kind=P kind=@", {0, 1, 2, 3, 4, 5, 6, 7}},
        {"x=11-12 kind=@ x=16 kind=@", {1}},
        {"y=9 road y=3 z=2 z=7", {0, 1, 4, 5}},
    };
    const TMemory_Mask mask = 0x2C;
    const TFlexible_Byte_Array image = test::Build_Challenge(test::Fixture_Challenge(), mask).Image;
    const auto list = Challenge_Read_Block_List(image, mask);
    for (const auto& [text, expected] : cases) {
        std::string error;
        const std::optional<TBlock_Find> find = Parse_Block_Find(text, error);
        ASSERT_TRUE(find) << text << ": " << error;
        EXPECT_EQ(Find_Blocks(image, list, *find, mask), expected) << text;
    }
}

TEST(Parse_Block_Find, A_Field_Without_A_Value_It_Takes_Says_How_To_Write_It)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"x=256", "\"x=256\": write x=N or x=N-M, with numbers from 0 to 255"},
        {"road z=5-2", "\"z=5-2\": write z=N or z=N-M, with numbers from 0 to 255"},
        {"y=", "\"y=\": write y=N or y=N-M, with numbers from 0 to 255"},
        {"x=1-2-3", "\"x=1-2-3\": write x=N or x=N-M, with numbers from 0 to 255"},
        {"kind=Q", "\"kind=Q\": write kind=P (name in place) or kind=@ (by reference)"},
    };
    for (const auto& [text, message] : cases) {
        std::string error;
        EXPECT_FALSE(Parse_Block_Find(text, error)) << text;
        EXPECT_EQ(error, message);
    }
}

} // namespace
} // namespace plotvane
