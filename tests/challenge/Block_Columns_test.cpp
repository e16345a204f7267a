#include "challenge/Block_Columns.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_IO.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace plotvane {
namespace {

using TBlocks = std::vector<std::uint32_t>;

// The columns as a plain search over every block finds them: topmost first, then list order.
void Expect_Columns_Of_A_Search(const TFlexible_Byte_Array& image, TMemory_Mask mask)
{
    const auto list = Challenge_Read_Block_List(image, mask);
    ASSERT_TRUE(list.Complete);
    std::map<std::pair<int, int>, std::vector<std::pair<int, std::uint32_t>>> columns;
    for (std::uint32_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block(image, list, i, mask);
        columns[{block->X, block->Y}].emplace_back(-block->Z, i);
    }
    const TBlock_Columns index(image, list, mask);
    for (auto& [place, blocks] : columns) {
        std::stable_sort(blocks.begin(), blocks.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        TBlocks expected;
        for (const auto& [depth, block] : blocks) {
            expected.push_back(block);
        }
        const auto x = static_cast<std::uint8_t>(place.first);
        const auto y = static_cast<std::uint8_t>(place.second);
        EXPECT_EQ(index.Blocks_At(x, y), expected) << place.first << "," << place.second;
        EXPECT_EQ(index.Count_At(x, y), expected.size());
        EXPECT_EQ(index.Top_At(x, y), -blocks.front().first);
        EXPECT_EQ(index.Top_Block_At(x, y), expected.front());
    }
}

TEST(Block_Columns, Lists_Each_Column_Topmost_First_Then_In_List_Order)
{
    const std::vector<std::array<std::uint8_t, 3>> places = {
        {1, 2, 3}, {1, 5, 3}, {1, 5, 3}, {2, 0, 3}, {1, 0, 3}, {255, 255, 255}};
    test::TChallenge_Description description;
    for (const auto& [x, z, y] : places) {
        test::TFixture_Block block;
        block.Name = test::Reference(3);
        block.Bytes = {0, x, z, y, 0, 0, 0, 0};
        description.Blocks.push_back(block);
    }
    const TFlexible_Byte_Array image = test::Build_Challenge(description, 0x11).Image;
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, 0x11);
    const TBlock_Columns index(image, list, 0x11);
    EXPECT_EQ(index.Blocks_At(1, 3), (TBlocks{1, 2, 0, 4}));
    EXPECT_EQ(index.Blocks_At(2, 3), (TBlocks{3}));
    EXPECT_EQ(index.Blocks_At(255, 255), (TBlocks{5}));
    EXPECT_EQ(index.Top_At(1, 3), 5);
    EXPECT_TRUE(index.Blocks_At(0, 0).empty());
    EXPECT_FALSE(index.Top_Block_At(0, 0));
    EXPECT_EQ(index.Top_Block_At(1, 3), 1U);
    EXPECT_EQ(index.Count_At(3, 1), 0U);
    Expect_Columns_Of_A_Search(image, 0x11);
}

TEST(Block_Columns, E02_Endurance_Agrees_With_A_Search_Column_By_Column)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, 0x47), 0U);
    Expect_Columns_Of_A_Search(image, 0x47);
}

} // namespace
} // namespace plotvane
