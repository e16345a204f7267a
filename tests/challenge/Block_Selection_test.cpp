#include "challenge/Block_Selection.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "tests/support/Challenge_Builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plotvane {
namespace {

constexpr TMemory_Mask Mask = 0x5C;

TEST(Block_Selection, Parses_A_Number_Or_An_Inclusive_Range_And_Nothing_Else)
{
    const auto range = [](const char* text) { return Parse_Block_Number_Range(text); };
    ASSERT_TRUE(range("7"));
    EXPECT_EQ(range("7")->First, 7U);
    EXPECT_EQ(range("7")->Last, 7U);
    ASSERT_TRUE(range("0-4294967295"));
    EXPECT_EQ(range("0-4294967295")->Last, 4294967295U);
    EXPECT_EQ(range("3-3")->First, 3U);
    for (const char* bad : {"", "-", "5-3", "1-", "-1", "+1", " 1", "1 ", "a", "1.5", "1-2-3",
                            "4294967296", "0-4294967296"}) {
        EXPECT_FALSE(range(bad)) << bad;
    }
}

// The builder's fixture: blocks 0 to 7 at x 10 to 17 (z 2, y 3), named StadiumRoadMain
// (0, 1, 4, 5: two entries in place and the references to each), StadiumCircuitBase (2, 3),
// StadiumPlatform (6) and, by reference to an entry before the blocks, Stadium (7).
TEST(Block_Selection, Kinds_Narrow_Each_Other_And_Repeats_Add_Blocks)
{
    const TFlexible_Byte_Array image = test::Build_Challenge(test::Fixture_Challenge(), Mask).Image;
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
    const auto box = [](std::uint8_t x1, std::uint8_t x2) {
        return Grid_Box_Between({x1, 0, 0}, {x2, 255, 255});
    };
    struct TCase {
        const char* What;
        TBlock_Criteria Criteria;
        TBlock_Selection Expected;
    };
    const std::vector<TCase> cases = {
        {"none", {}, {0, 1, 2, 3, 4, 5, 6, 7}},
        {"ranges joined, sorted and cut at the last block", {{{6, 100}, {0, 0}, {5, 6}}, {}, {}},
         {0, 5, 6, 7}},
        {"a later range inside an earlier one", {{{0, 6}, {2, 3}}, {}, {}},
         {0, 1, 2, 3, 4, 5, 6}},
        {"past the last block", {{{8, 9}}, {}, {}}, {}},
        {"a name, in place and by reference", {{}, {"StadiumRoadMain"}, {}}, {0, 1, 4, 5}},
        {"two names", {{}, {"StadiumPlatform", "Stadium"}, {}}, {6, 7}},
        {"exact bytes only", {{}, {"StadiumRoad", "stadiumroadmain"}, {}}, {}},
        {"a box, corners in any order", {{}, {}, {box(14, 12)}}, {2, 3, 4}},
        {"two boxes", {{}, {}, {box(10, 10), box(17, 17)}}, {0, 7}},
        {"a box of one height", {{}, {}, {Grid_Box_Between({0, 3, 0}, {255, 255, 255})}}, {}},
        {"all three kinds", {{{0, 4}}, {"StadiumRoadMain"}, {box(11, 20)}}, {1, 4}},
    };
    for (const TCase& test_case : cases) {
        EXPECT_EQ(Select_Blocks(image, list, test_case.Criteria, Mask), test_case.Expected)
            << test_case.What;
    }
}

} // namespace
} // namespace plotvane
