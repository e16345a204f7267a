#include "challenge/Challenge_Map.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_IO.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
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

test::TChallenge_Description Description_Of(const std::array<std::uint32_t, 3>& size,
                                            const std::vector<TPlaced_Block>& blocks)
{
    test::TChallenge_Description description;
    description.Size = size;
    for (const TPlaced_Block& placed : blocks) {
        test::TFixture_Block block;
        block.Name = test::In_Place(placed.Name);
        block.Bytes = {0, placed.X, placed.Z, placed.Y, 0, 0, 0, 0};
        description.Blocks.push_back(block);
    }
    return description;
}

// A map with the image and the walk it reads, which live as long as it does.
struct TMade_Map {
    TMade_Map(const std::array<std::uint32_t, 3>& size, const std::vector<TPlaced_Block>& blocks,
              TMemory_Mask mask)
        : Image(test::Build_Challenge(Description_Of(size, blocks), mask).Image),
          List(Challenge_Read_Block_List(Image, mask)), Map(Image, List, mask)
    {
    }
    TMade_Map(const TMade_Map&) = delete;
    TMade_Map& operator=(const TMade_Map&) = delete;

    const TFlexible_Byte_Array Image;
    const TTMF_Challenge_Block_Address_List List;
    const TChallenge_Map Map;
};

TEST(Challenge_Map, The_Grid_Spans_The_Size_Widened_To_Every_Block_And_Marks_Add_Up_By_Column)
{
    // The tops span the lowest and highest of the columns' topmost blocks.
    using TColumn_Marks = std::map<std::pair<unsigned, unsigned>, int>;
    struct TCase {
        std::array<std::uint32_t, 3> Size; // X, Z, Y
        std::vector<TPlaced_Block> Blocks;
        std::array<unsigned, 3> Extent; // width, height, depth
        TColumn_Marks Marks;            // every other column has none
        std::array<unsigned, 2> Tops;   // lowest, highest
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
          {{40, 2}, Mark_Start | Mark_Finish}},
         {1, 40}},
        {{2, 2, 2},
         {{"StadiumRoadMainCheckpoint", 5, 0, 7}},
         {6, 2, 8},
         {{{5, 7}, Mark_Checkpoint}},
         {0, 0}},
        // A pillar under a road: the lowest top is the road's.
        {{32, 32, 32},
         {{"StadiumRoadMain", 4, 3, 4}, {"StadiumPillar", 4, 1, 4}, {"StadiumRoadMain", 9, 6, 9}},
         {32, 32, 32},
         {},
         {3, 6}},
        {{0, 0, 0}, {}, {1, 1, 1}, {}, {0, 0}},
        {{300, 300, 300}, {}, {256, 256, 256}, {}, {0, 0}},
    };
    for (const TCase& map_case : cases) {
        SCOPED_TRACE(testing::Message() << map_case.Blocks.size() << " blocks in a size of "
                                        << map_case.Size[0]);
        const TMade_Map made(map_case.Size, map_case.Blocks, 0x5A);
        const TChallenge_Map& map = made.Map;
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
        EXPECT_EQ((std::array<unsigned, 2>{map.Lowest_Top(), map.Highest_Top()}), map_case.Tops);
    }
}

constexpr TMemory_Mask Mask = 0x5D;

// The map as a plain read of every block finds it, up to the first block that cannot be read:
// the marks of each column or-ed together, and the extent, the header's size widened to every
// block read.
void Expect_Map_Of_A_Block_By_Block_Read(const TFlexible_Byte_Array& image,
                                         const TTMF_Challenge_Block_Address_List& list)
{
    std::vector<std::uint8_t> marks(256 * 256);
    std::array<unsigned, 3> highest{0, 0, 0};
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block_View(image, list, i, Mask);
        if (!block) {
            break;
        }
        marks[block->X * 256U + block->Y] |= Block_Marks_Of(block->Name);
        highest = {std::max(highest[0], block->X + 1U), std::max(highest[1], block->Z + 1U),
                   std::max(highest[2], block->Y + 1U)};
    }
    const TChallenge_Map map(image, list, Mask);
    int differing_columns = 0;
    for (unsigned column = 0; column < marks.size(); ++column) {
        const auto x = static_cast<std::uint8_t>(column / 256);
        const auto y = static_cast<std::uint8_t>(column % 256);
        if (map.Marks_At(x, y) != marks[column] && differing_columns++ == 0) {
            ADD_FAILURE() << "first column with other marks: X " << int(x) << ", Y " << int(y);
        }
    }
    EXPECT_EQ(differing_columns, 0);
    std::array<unsigned, 3> extent{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const unsigned sized =
            list.Challenge_Size ? std::min<std::uint32_t>((*list.Challenge_Size)[axis], 256) : 0;
        extent[axis] = std::max({1U, sized, highest[axis]});
    }
    EXPECT_EQ((std::array<unsigned, 3>{map.Width(), map.Height(), map.Depth()}), extent);
}

// The game's own challenges of every collection, and E02-Endurance: each has its start and
// finish, its names written in place and by reference.
TEST(Challenge_Map, Real_Challenges_Agree_With_A_Block_By_Block_Read)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(probe, "campaign/Alpine-SnowA5.Challenge.Gbx");
    for (const std::string name :
         {"campaign/Alpine-SnowA5", "campaign/Bay-BayA5", "campaign/Coast-CoastA5",
          "campaign/Island-IslandA2", "campaign/Rally-RallyA3", "campaign/Speed-DesertA5",
          "campaign/Stadium-A01-Race", "campaign/Stadium-B13-Obstacle",
          "campaign/Stadium-C08-Obstacle", "campaign/Stadium-D07-Race", "E02-Endurance"}) {
        SCOPED_TRACE(name);
        TFlexible_Byte_Array image;
        ASSERT_EQ(Gbx_Load_File(test::Corpus_File(name + ".Challenge.Gbx"), image, Mask), 0U);
        const auto list = Challenge_Read_Block_List(image, Mask);
        ASSERT_TRUE(list.Complete);
        Expect_Map_Of_A_Block_By_Block_Read(image, list);
        const TChallenge_Map map(image, list, Mask);
        std::uint8_t every_mark = 0;
        for (unsigned x = 0; x < map.Width(); ++x) {
            for (unsigned y = 0; y < map.Depth(); ++y) {
                every_mark |=
                    map.Marks_At(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y));
            }
        }
        EXPECT_NE(every_mark & Mark_Start, 0);
        EXPECT_NE(every_mark & Mark_Finish, 0);
    }
}

// When the image changed since the walk, so that a block's name written in place no longer has
// the length of the walk's text, the map ends before that block, as reading it would: neither
// its marks nor the later blocks' count, and the extent is that of the blocks before it.
TEST(Challenge_Map, Ends_Before_A_Block_That_No_Longer_Matches_The_Walk)
{
    test::TChallenge_Description description;
    description.Size = {1, 1, 1};
    const std::vector<std::pair<std::string, std::array<std::uint8_t, 3>>> blocks = {
        {"StadiumRoadMainStartLine", {2, 1, 3}},
        {"StadiumRoadMainCheckpoint", {40, 9, 50}},
        {"StadiumRoadMainFinishLine", {7, 2, 8}}};
    for (const auto& [name, place] : blocks) {
        test::TFixture_Block block;
        block.Name = test::In_Place(name);
        block.Bytes = {0, place[0], place[1], place[2], 0, 0, 0, 0};
        description.Blocks.push_back(block);
    }
    const TFlexible_Byte_Array image = test::Build_Challenge(description, Mask).Image;
    TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
    ASSERT_EQ(list.Block_Offsets.size(), 3U);

    const TChallenge_Map whole(image, list, Mask);
    EXPECT_EQ(whole.Marks_At(2, 3), Mark_Start);
    EXPECT_EQ(whole.Marks_At(40, 50), Mark_Checkpoint);
    EXPECT_EQ(whole.Marks_At(7, 8), Mark_Finish);
    EXPECT_EQ((std::array<unsigned, 3>{whole.Width(), whole.Height(), whole.Depth()}),
              (std::array<unsigned, 3>{41, 10, 51}));

    list.String_Table[list.Last_String_Indexes[1]] += "Plotvane";
    Expect_Map_Of_A_Block_By_Block_Read(image, list);
    const TChallenge_Map cut(image, list, Mask);
    EXPECT_EQ(cut.Marks_At(2, 3), Mark_Start);
    EXPECT_EQ(cut.Marks_At(40, 50), 0);
    EXPECT_EQ(cut.Marks_At(7, 8), 0);
    EXPECT_EQ((std::array<unsigned, 3>{cut.Width(), cut.Height(), cut.Depth()}),
              (std::array<unsigned, 3>{3, 2, 4}));
}

} // namespace
} // namespace plotvane
