#include "challenge/Gbx_Challenge_Write.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_IO.h"
#include "memory/Memory_Tools.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace plotvane {
namespace {

using TStatus = TBlock_Write_Status;

constexpr TMemory_Mask Mask = 0x6B;

TFlexible_Byte_Array Fixture_Image()
{
    return test::Build_Challenge(test::Fixture_Challenge(), Mask).Image;
}

TBlock_Field_Bytes Field_Bytes(const TChallenge_Block& block)
{
    return {block.Rotation,      block.X,
            block.Z,             block.Y,
            block.Variations[0], block.Variations[1],
            block.Variations[2], block.Variations[3]};
}

// `bytes` with the block's own author record bit (variation 2 bit 7) and waypoint bit
// (variation 3 bit 4), so that writing them keeps the list read as it was.
TBlock_Field_Bytes Keeping_Record_Flags(TBlock_Field_Bytes bytes, const TChallenge_Block& block)
{
    bytes[5] = static_cast<std::uint8_t>((bytes[5] & 0x7F) | (block.Variations[1] & 0x80));
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0xEF) | (block.Variations[2] & 0x10));
    return bytes;
}

std::uint32_t DWord_At(const TFlexible_Byte_Array& image, std::uint32_t offset, TMemory_Mask mask)
{
    return Read_DWord(image, offset, false, mask);
}

TStatus Write(TFlexible_Byte_Array& image, std::size_t block, const std::string& name,
              const TBlock_Field_Bytes& bytes, TMemory_Mask mask = Mask)
{
    return Challenge_Write_Block(image, Challenge_Read_Block_List(image, mask), block, name,
                                 bytes, mask);
}

TEST(Challenge_Write_Block, Referenced_Name_Takes_The_Lowest_Index_Defined_Before_The_Block)
{
    struct TCase {
        std::size_t Block;
        std::string Name;
        std::optional<std::uint32_t> Index; // nothing: refused
    };
    const std::vector<TCase> cases = {
        {3, "StadiumRoadMain", 6},
        {5, "StadiumRoadMain", 9}, // already its name: kept, though 6 holds the same text
        {5, "StadiumCircuitBase", 7},
        {7, "Vehicle", 1},         // a text from before the first block
        {7, "StadiumPlatform", 10},
        {1, "StadiumCircuitBase", std::nullopt}, // defined only after block 1
        {3, "stadiumroadmain", std::nullopt},    // names compare byte by byte
        {7, "null", std::nullopt},               // entry 0 is never referenced
        {1, "Nowhere", std::nullopt},
    };
    const TFlexible_Byte_Array original = Fixture_Image();
    const std::vector<test::TFile_Block> before = test::Image_Blocks(original, Mask);
    const TBlock_Field_Bytes bytes = {2, 200, 0, 255, 9, 8, 7, 6};
    for (const TCase& test_case : cases) {
        TFlexible_Byte_Array image = original;
        const TStatus status = Write(image, test_case.Block, test_case.Name, bytes);
        if (!test_case.Index) {
            EXPECT_EQ(status, TStatus::Name_Not_Defined) << test_case.Name;
            EXPECT_EQ(image, original) << test_case.Name;
            continue;
        }
        ASSERT_EQ(status, TStatus::Written) << test_case.Name;
        const std::uint32_t record = before[test_case.Block].Offset;
        // Only the 16-bit index and the eight bytes change; the flags and the length stay.
        ASSERT_EQ(image.size(), original.size());
        for (std::size_t i = 0; i < image.size(); ++i) {
            const bool written = i < record + 2 || (i >= record + 4 && i < record + 12);
            if (i < record || !written) {
                ASSERT_EQ(image[i], original[i]) << test_case.Name << " byte " << i;
            }
        }
        const std::vector<test::TFile_Block> after = test::Image_Blocks(image, Mask);
        const TChallenge_Block& block = after[test_case.Block].Block;
        EXPECT_EQ(block.Name, test_case.Name);
        EXPECT_EQ(block.Name_Index, *test_case.Index);
        EXPECT_FALSE(block.Name_In_Place);
        EXPECT_EQ(Field_Bytes(block), bytes);
    }
}

TEST(Challenge_Write_Block, In_Place_Rename_Shifts_The_Rest_And_Corrects_Both_Size_Fields)
{
    struct TCase {
        std::size_t Block;
        std::string Name;
        std::vector<std::size_t> Named_By_It; // blocks whose name follows the renamed one
    };
    const std::vector<TCase> cases = {
        {0, "StadiumRoadMainXYZ", {0, 1}},            // 15 to 18 bytes
        {0, "Road", {0, 1}},                          // shorter
        {0, "", {0, 1}},                              // empty: the 8 bytes of header remain
        {0, "StadiumRoadMain", {0, 1}},               // the same length: nothing moves
        {2, std::string("A\0\xFF\r\nZ", 6), {2, 3}},  // any bytes, kept exactly
        {6, "StadiumPlatformWithAMuchLongerName", {6}},
    };
    const TFlexible_Byte_Array original = Fixture_Image();
    const std::vector<test::TFile_Block> before = test::Image_Blocks(original, Mask);
    const std::uint32_t size_fields =
        Challenge_Read_Block_List(original, Mask).Size_Fields_Offset;
    for (const TCase& test_case : cases) {
        SCOPED_TRACE(test_case.Name);
        const TBlock_Field_Bytes bytes =
            Keeping_Record_Flags({0, 1, 2, 3, 250, 251, 252, 253}, before[test_case.Block].Block);
        TFlexible_Byte_Array image = original;
        ASSERT_EQ(Write(image, test_case.Block, test_case.Name, bytes), TStatus::Written);

        const std::uint32_t record = before[test_case.Block].Offset;
        const auto change = static_cast<std::int64_t>(test_case.Name.size()) -
                            static_cast<std::int64_t>(before[test_case.Block].Block.Name.size());
        ASSERT_EQ(static_cast<std::int64_t>(image.size()),
                  static_cast<std::int64_t>(original.size()) + change);
        EXPECT_EQ(DWord_At(image, size_fields, Mask),
                  DWord_At(original, size_fields, Mask) + change);
        EXPECT_EQ(DWord_At(image, size_fields + 4, Mask),
                  DWord_At(original, size_fields + 4, Mask) + change);
        // Everything after the old name's record is the same bytes, moved by the change.
        const std::size_t old_rest = record + 8 + before[test_case.Block].Block.Name.size() + 8;
        EXPECT_TRUE(std::equal(original.begin() + static_cast<std::ptrdiff_t>(old_rest),
                               original.end(),
                               image.begin() + static_cast<std::ptrdiff_t>(old_rest + change)));

        const std::vector<test::TFile_Block> after = test::Image_Blocks(image, Mask);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].Offset, before[i].Offset + (i > test_case.Block ? change : 0)) << i;
            const bool renamed = std::count(test_case.Named_By_It.begin(),
                                            test_case.Named_By_It.end(), i) != 0;
            EXPECT_EQ(after[i].Block.Name, renamed ? test_case.Name : before[i].Block.Name) << i;
            EXPECT_EQ(Field_Bytes(after[i].Block),
                      i == test_case.Block ? bytes : Field_Bytes(before[i].Block))
                << i;
        }
    }
}

TEST(Challenge_Write_Block, Brings_The_Rotation_Into_0_To_3_And_Writes_Other_Bytes_As_Given)
{
    const std::vector<std::pair<std::uint8_t, std::uint8_t>> rotations = {
        {0, 0}, {3, 3}, {4, 3}, {255, 3}};
    const std::vector<std::pair<std::uint8_t, std::uint8_t>> rotations_over_7 = {
        {7, 7}, {6, 3}, {2, 2}};
    for (const std::size_t block : {std::size_t{1}, std::size_t{6}}) { // referenced, in place
        for (const auto& [given, written] : rotations) {
            TFlexible_Byte_Array image = Fixture_Image();
            const TChallenge_Block stored = test::Image_Blocks(image, Mask)[block].Block;
            ASSERT_EQ(Write(image, block, stored.Name,
                            Keeping_Record_Flags({given, 255, 0, 128, 1, 254, 127, 255}, stored)),
                      TStatus::Written);
            const TBlock_Field_Bytes expected =
                Keeping_Record_Flags({written, 255, 0, 128, 1, 254, 127, 255}, stored);
            EXPECT_EQ(Field_Bytes(test::Image_Blocks(image, Mask)[block].Block), expected)
                << block << " " << int{given};
        }
        // A stored rotation above 3 that is written back unchanged keeps its byte.
        for (const auto& [given, written] : rotations_over_7) {
            TFlexible_Byte_Array image = Fixture_Image();
            const test::TFile_Block stored = test::Image_Blocks(image, Mask)[block];
            const std::uint64_t rotation_at = stored.Offset + (block == 6 ? 8 + 15 : 4);
            image[rotation_at] = static_cast<std::uint8_t>(7 ^ Mask);
            TBlock_Field_Bytes bytes = Field_Bytes(stored.Block);
            bytes[0] = given;
            ASSERT_EQ(Write(image, block, stored.Block.Name, bytes), TStatus::Written);
            EXPECT_EQ(test::Image_Blocks(image, Mask)[block].Block.Rotation, written)
                << block << " " << int{given};
        }
    }
}

TEST(Challenge_Write_Block, Saving_Every_Block_Unchanged_Writes_The_Same_Bytes)
{
    const TFlexible_Byte_Array original = Fixture_Image();
    TFlexible_Byte_Array image = original;
    const std::vector<test::TFile_Block> blocks = test::Image_Blocks(original, Mask);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(Write(image, i, blocks[i].Block.Name, Field_Bytes(blocks[i].Block)),
                  TStatus::Written);
    }
    // Block 5 names the second of two equal entries, and keeps it.
    EXPECT_EQ(image, original);
}

TEST(Challenge_Write_Block, Refuses_What_The_Walk_Does_Not_Vouch_For_And_Writes_Nothing)
{
    const TFlexible_Byte_Array original = Fixture_Image();
    const auto list = Challenge_Read_Block_List(original, Mask);
    const TBlock_Field_Bytes bytes = {1, 2, 3, 4, 5, 6, 7, 8};

    TFlexible_Byte_Array image = original;
    EXPECT_EQ(Challenge_Write_Block(image, list, 8, "StadiumRoadMain", bytes, Mask),
              TStatus::Block_Not_Walked); // past the last block

    auto without_size_fields = list;
    without_size_fields.Size_Fields_Offset = 0;
    EXPECT_EQ(Challenge_Write_Block(image, without_size_fields, 0, "Road", bytes, Mask),
              TStatus::Size_Fields_Not_Walked);
    EXPECT_EQ(image, original);

    // An image cut inside the last record, written with the walk of the whole image.
    TFlexible_Byte_Array cut(original.begin(),
                             original.begin() + list.Block_Offsets[7] + 4 + 7);
    const TFlexible_Byte_Array cut_before = cut;
    EXPECT_EQ(Challenge_Write_Block(cut, list, 7, "Stadium", bytes, Mask),
              TStatus::Block_Not_Walked);
    EXPECT_EQ(cut, cut_before);
}

TEST(Variations_Change_Game_Reading, Only_The_Bits_That_Change_How_A_Record_Is_Read)
{
    struct TCase {
        std::array<std::uint8_t, 4> Old;
        std::array<std::uint8_t, 4> New;
        bool Changes;
    };
    const std::vector<TCase> cases = {
        {{0, 0, 0, 0}, {255, 0x7F, 255, 255}, false}, // every bit but 15
        {{0, 0, 0, 0}, {0, 0x80, 0, 0}, true},        // bit 15 on
        {{1, 0xC0, 2, 3}, {1, 0x40, 2, 3}, true},     // bit 15 off
        {{255, 255, 255, 254}, {255, 255, 255, 255}, true},
        {{255, 255, 255, 255}, {255, 255, 254, 255}, true},
        {{255, 255, 255, 255}, {255, 255, 255, 255}, false},
        {{9, 0x80, 0, 0}, {0, 0x81, 7, 7}, false},
        {{0, 0x80, 0, 0}, {0, 0x80, 0x10, 0}, true},      // bit 20 on, beside bit 15
        {{0, 0x80, 0x10, 0}, {0, 0x80, 0, 0}, true},      // bit 20 off, beside bit 15
        {{0, 0, 0, 0}, {0, 0, 0x10, 0}, false},           // bit 20 alone means nothing
        {{0, 0x80, 0x10, 0}, {0, 0x80, 0x1F, 0xFF}, false}, // bits beside them
    };
    for (const TCase& test_case : cases) {
        EXPECT_EQ(Variations_Change_Game_Reading(test_case.Old, test_case.New), test_case.Changes)
            << int{test_case.Old[1]} << " " << int{test_case.New[1]};
    }
}

// The real map: one in-place rename that renames every block naming it, one referenced rename,
// saved as a file; liblzo2 expands the file and the walk finds every other block as it was.
TEST(Challenge_Write_Corpus, E02_Endurance_Round_Trip_Through_A_Saved_File)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    const TMemory_Mask mask = 0xD2;
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, mask), 0U);
    const TFlexible_Byte_Array original = image;
    const std::vector<test::TFile_Block> before = test::Image_Blocks(image, mask);

    // Saving each block as it is changes nothing.
    for (std::size_t i = 0; i < before.size(); ++i) {
        ASSERT_EQ(Write(image, i, before[i].Block.Name, Field_Bytes(before[i].Block), mask),
                  TStatus::Written);
    }
    ASSERT_EQ(image, original);

    const std::size_t renamed = 0;
    ASSERT_TRUE(before[renamed].Block.Name_In_Place);
    const std::uint32_t renamed_index = before[renamed].Block.Name_Index;
    const std::string new_name = before[renamed].Block.Name + "Plotvane";
    const TBlock_Field_Bytes renamed_bytes = {3, 4, 5, 6, 0, 0, 0, 0};
    ASSERT_EQ(Write(image, renamed, new_name, renamed_bytes, mask), TStatus::Written);
    // The last block that names a text by reference takes block 0's (new) name.
    std::size_t referenced = before.size() - 1;
    while (before[referenced].Block.Name_In_Place ||
           before[referenced].Block.Name_Index == renamed_index) {
        --referenced;
    }
    TBlock_Field_Bytes referenced_bytes = Field_Bytes(before[referenced].Block);
    referenced_bytes[1] = 31;
    ASSERT_EQ(Write(image, referenced, new_name, referenced_bytes, mask), TStatus::Written);

    const test::TScratch_Folder folder;
    const std::string saved = folder.Path() + "/E02-Edited.Challenge.Gbx";
    ASSERT_EQ(Gbx_Save_File(saved, image, 0, mask), 0U);
    const test::TBytes expanded = test::Lzo_Expanded_Image(test::Read_Plain_File(saved));
    ASSERT_EQ(expanded, test::Unmasked(image, mask));

    const std::vector<test::TFile_Block> after = test::Image_Blocks(test::Masked(expanded, 0x17), 0x17);
    ASSERT_EQ(after.size(), before.size());
    const auto change =
        static_cast<std::uint32_t>(new_name.size() - before[renamed].Block.Name.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        const TChallenge_Block& old_block = before[i].Block;
        const TChallenge_Block& new_block = after[i].Block;
        ASSERT_EQ(after[i].Offset, before[i].Offset + (i > renamed ? change : 0)) << i;
        const bool names_it = old_block.Name_Index == renamed_index || i == referenced;
        ASSERT_EQ(new_block.Name, names_it ? new_name : old_block.Name) << i;
        const TBlock_Field_Bytes expected = i == renamed      ? renamed_bytes
                                            : i == referenced ? referenced_bytes
                                                              : Field_Bytes(old_block);
        ASSERT_EQ(Field_Bytes(new_block), expected) << i;
    }
}

} // namespace
} // namespace plotvane
