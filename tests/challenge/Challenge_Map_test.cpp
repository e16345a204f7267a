#include "challenge/Challenge_Map.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "tests/support/Challenge_Builder.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace plotvane {
namespace {

TEST(Challenge_Map, Block_Marks_Come_From_The_Names_Of_Race_Blocks)
{
    const std::vector<std::pair<std::string, std::uint8_t>> cases = {
        {"StadiumRoadMainStartLine", Mark_Start},
        {"StadiumRoadMainFinishLine", Mark_Finish},
        {"StadiumRoadMainStartFinishLine", Mark_Start | Mark_Finish},
        {"StadiumRoadMainCheckpoint", Mark_Checkpoint},
        {"StadiumCheckPointRingV", Mark_Checkpoint},
        {"StadiumRoadMainCheckpointUp", Mark_Checkpoint},
        // Under a race block, or a slope named after where it starts: no mark.
        {"StadiumRoadMainStartLinePillar", 0},
        {"StadiumCheckpointSupport", 0},
        {"StadiumRoadMainBiSlopeStart", 0},
        {"StadiumCircuitLoopStart", 0},
        {"StadiumRoadMain", 0},
        {"", 0},
    };
    for (const auto& [name, marks] : cases) {
        EXPECT_EQ(Block_Marks_Of(name), marks) << name;
    }
}

struct TPlaced_Block {
    const char* Name;
    std::uint8_t X, Z, Y;
};

TChallenge_Map Map_Of(const std::array<std::uint32_t, 3>& size,
                      const std::vector<TPlaced_Block>& blocks, TMemory_Mask mask)
{
    test::TChallenge_Description description;
    description.Size = size;
    for (const TPlaced_Block& placed : blocks) {
        test::TFixture_Block block;
        block.Name = test::In_Place(placed.Name);
        block.Bytes = {0, placed.X, placed.Z, placed.Y, 0, 0, 0, 0};
        description.Blocks.push_back(block);
    }
    const TFlexible_Byte_Array image = test::Build_Challenge(description, mask).Image;
    return TChallenge_Map(image, Challenge_Read_Block_List(image, mask), mask);
}

TEST(Challenge_Map, The_Grid_Spans_The_Size_Widened_To_Every_Block_And_Marks_Add_Up_By_Column)
{
    using TColumn_Marks = std::map<std::pair<unsigned, unsigned>, int>;
    struct TCase {
        std::array<std::uint32_t, 3> Size; // X, Z, Y
        std::vector<TPlaced_Block> Blocks;
        std::array<unsigned, 3> Extent; // width, height, depth
        TColumn_Marks Marks;            // every other column has none
    };
    const std::vector<TCase> cases = {
        // A start under a checkpoint, on a pillar; a multilap start outside the size's X, a
        // slope above its Z.
        {{32, 32, 32},
         {{"StadiumRoadMainStartLine", 1, 2, 1},
          {"StadiumRoadMainCheckpoint", 1, 5, 1},
          {"StadiumRoadMainStartLinePillar", 1, 1, 1},
          {"StadiumRoadMainFinishLine", 2, 3, 4},
          {"StadiumRoadMainStartFinishLine", 40, 1, 2},
          {"StadiumRoadMainBiSlopeStart", 3, 40, 5}},
         {41, 41, 32},
         {{{1, 1}, Mark_Start | Mark_Checkpoint},
          {{2, 4}, Mark_Finish},
          {{40, 2}, Mark_Start | Mark_Finish}}},
        {{2, 2, 2},
         {{"StadiumRoadMainCheckpoint", 5, 0, 7}},
         {6, 2, 8},
         {{{5, 7}, Mark_Checkpoint}}},
        {{0, 0, 0}, {}, {1, 1, 1}, {}},
        {{300, 300, 300}, {}, {256, 256, 256}, {}},
    };
    for (const TCase& map_case : cases) {
        SCOPED_TRACE(testing::Message() << map_case.Blocks.size() << " blocks in a size of "
                                        << map_case.Size[0]);
        const TChallenge_Map map = Map_Of(map_case.Size, map_case.Blocks, 0x5A);
        EXPECT_EQ(map.Size(), map_case.Size);
        EXPECT_EQ((std::array<unsigned, 3>{map.Width(), map.Height(), map.Depth()}),
                  map_case.Extent);
        TColumn_Marks marks;
        for (unsigned x = 0; x < map.Width(); ++x) {
            for (unsigned y = 0; y < map.Depth(); ++y) {
                if (const int column = map.Marks_At(std::uint8_t(x), std::uint8_t(y))) {
                    marks[{x, y}] = column;
                }
            }
        }
        EXPECT_EQ(marks, map_case.Marks);
    }
}

} // namespace
} // namespace plotvane
