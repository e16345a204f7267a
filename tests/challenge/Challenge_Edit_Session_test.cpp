#include "challenge/Challenge_Edit_Session.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

namespace plotvane {
namespace {

constexpr TMemory_Mask Mask = 0x3D;

using TOperation = std::function<TEdit_Result(TChallenge_Edit_Session&)>;

TBlock_Selection Every_Block(const TChallenge_Edit_Session& session)
{
    TBlock_Selection blocks(session.Blocks().Block_Offsets.size());
    std::iota(blocks.begin(), blocks.end(), 0U);
    return blocks;
}

std::vector<test::TFile_Block> Blocks_Of(const TChallenge_Edit_Session& session)
{
    return test::Image_Blocks(session.Image(), Mask);
}

// The fixture of the builder (in-place names shared by references, an author record) and, with
// the corpus, a real map of 907 blocks.
std::vector<std::pair<std::string, TFlexible_Byte_Array>> Images()
{
    std::vector<std::pair<std::string, TFlexible_Byte_Array>> images = {
        {"fixture", test::Build_Challenge(test::Fixture_Challenge(), Mask).Image}};
    const std::string e02 = test::Corpus_File("E02-Endurance.Challenge.Gbx");
    if (!e02.empty()) {
        TFlexible_Byte_Array image;
        EXPECT_EQ(Gbx_Load_File(e02, image, Mask), 0U);
        images.emplace_back("E02-Endurance", std::move(image));
    }
    return images;
}

// Each operation changes the blocks it says, leaves the others, and is one step: undo gives
// back the image byte for byte and redo the changed image, with the saved mark following.
TEST(Challenge_Edit_Session, Each_Operation_And_Its_Undo_Restore_The_Image_Byte_For_Byte)
{
    struct TCase {
        const char* What;
        TOperation Operation;
        std::function<void(const test::TFile_Block& before, const test::TFile_Block& after)>
            Expect;
    };
    const std::vector<TCase> cases = {
        {"move every block one level up and one cell on",
         [](TChallenge_Edit_Session& s) { return s.Move(Every_Block(s), 0, 1, 1, true); },
         [](const test::TFile_Block& before, const test::TFile_Block& after) {
             EXPECT_EQ(after.Block.Z, before.Block.Z + 1);
             EXPECT_EQ(after.Block.Y, before.Block.Y + 1);
             EXPECT_EQ(after.Block.X, before.Block.X);
         }},
        {"set a rotation and two variations",
         [](TChallenge_Edit_Session& s) {
             TBlock_Settings settings;
             settings.Rotation = 9; // written as 3
             settings.Variations[0] = 1;
             settings.Variations[3] = 0;
             return s.Set(Every_Block(s), settings, false);
         },
         [](const test::TFile_Block& before, const test::TFile_Block& after) {
             EXPECT_EQ(after.Block.Rotation, 3);
             EXPECT_EQ(after.Block.Variations[0], 1);
             EXPECT_EQ(after.Block.Variations[1], before.Block.Variations[1]);
             EXPECT_EQ(after.Block.Variations[3], 0);
         }},
        {"rotate each a quarter turn counter-clockwise",
         [](TChallenge_Edit_Session& s) { return s.Rotate(Every_Block(s), -1); },
         [](const test::TFile_Block& before, const test::TFile_Block& after) {
             EXPECT_EQ(after.Block.Rotation, (before.Block.Rotation + 3) % 4);
         }},
        {"replace a name written in place and referred to",
         [](TChallenge_Edit_Session& s) {
             return s.Replace_Name(Every_Block(s), "StadiumRoadMain", "StadiumRoadMainLong");
         },
         [](const test::TFile_Block& before, const test::TFile_Block& after) {
             EXPECT_EQ(after.Block.Name, before.Block.Name == "StadiumRoadMain"
                                             ? "StadiumRoadMainLong"
                                             : before.Block.Name);
             EXPECT_EQ(after.Block.Name_In_Place, before.Block.Name_In_Place);
         }},
    };
    for (const auto& [image_name, original] : Images()) {
        for (const TCase& test_case : cases) {
            SCOPED_TRACE(image_name + ": " + test_case.What);
            TChallenge_Edit_Session session(original, Mask);
            const std::vector<test::TFile_Block> before = Blocks_Of(session);
            const TEdit_Result result = test_case.Operation(session);
            ASSERT_EQ(result.Status, TEdit_Status::Done);
            EXPECT_TRUE(session.Is_Modified());
            const std::vector<test::TFile_Block> after = Blocks_Of(session);
            ASSERT_EQ(after.size(), before.size());
            for (std::size_t i = 0; i < after.size(); ++i) {
                SCOPED_TRACE(i);
                test_case.Expect(before[i], after[i]);
            }
            const TFlexible_Byte_Array changed = session.Image();

            ASSERT_EQ(session.Undo().Status, TEdit_Status::Done);
            EXPECT_EQ(session.Image(), original);
            EXPECT_FALSE(session.Is_Modified());
            EXPECT_EQ(session.Blocks().Block_Offsets.size(), before.size());
            ASSERT_EQ(session.Redo().Status, TEdit_Status::Done);
            EXPECT_EQ(session.Image(), changed);
            EXPECT_EQ(session.Last_Step_Blocks(), Every_Block(session));
            ASSERT_EQ(session.Undo().Status, TEdit_Status::Done);
            EXPECT_EQ(session.Image(), original);
        }
    }
}

// The game's own challenges of every collection: a quarter turn of every block and an in-place
// rename of block 0's name, packed as a file would be and expanded again, read back as
// expected block by block; both undone, the image is the original byte for byte.
TEST(Challenge_Edit_Session, Campaign_Edits_Round_Trip_Through_A_Packed_Body)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(probe, "campaign/Alpine-SnowA5.Challenge.Gbx");
    for (const char* map : {"Alpine-SnowA5", "Bay-BayA5", "Coast-CoastA5", "Island-IslandA2",
                            "Rally-RallyA3", "Speed-DesertA5", "Stadium-A01-Race",
                            "Stadium-B13-Obstacle", "Stadium-C08-Obstacle",
                            "Stadium-D07-Race"}) {
        SCOPED_TRACE(map);
        TFlexible_Byte_Array original;
        ASSERT_EQ(Gbx_Load_File(test::Corpus_File(std::string("campaign/") + map +
                                                  ".Challenge.Gbx"),
                                original, Mask),
                  0U);
        TChallenge_Edit_Session session(original, Mask);
        const std::vector<test::TFile_Block> before = Blocks_Of(session);
        const std::string old_name = before.front().Block.Name;
        const std::string new_name = old_name + "Plotvane";
        ASSERT_EQ(session.Rotate(Every_Block(session), 1).Status, TEdit_Status::Done);
        ASSERT_EQ(session.Replace_Name(Every_Block(session), old_name, new_name).Status,
                  TEdit_Status::Done);

        TFlexible_Byte_Array packed;
        ASSERT_EQ(Gbx_Compress(session.Image(), packed, 0, Mask), 0U);
        TFlexible_Byte_Array expanded;
        ASSERT_EQ(Gbx_Uncompress(packed, expanded, Mask), 0U);
        const std::vector<test::TFile_Block> after = test::Image_Blocks(expanded, Mask);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            const TChallenge_Block& old_block = before[i].Block;
            const TChallenge_Block& new_block = after[i].Block;
            ASSERT_EQ(new_block.Name, old_block.Name == old_name ? new_name : old_block.Name) << i;
            ASSERT_EQ(new_block.Rotation, (old_block.Rotation + 1) % 4) << i;
            ASSERT_EQ(std::tie(new_block.X, new_block.Z, new_block.Y, new_block.Variations),
                      std::tie(old_block.X, old_block.Z, old_block.Y, old_block.Variations))
                << i;
        }
        session.Undo();
        session.Undo();
        EXPECT_EQ(session.Image(), original);
    }
}

// Fixture blocks: 0 StadiumRoadMain (in place, entry 6), 1 refers to it, 2 StadiumCircuitBase
// (in place, 7), 3 refers to it, 4 StadiumRoadMain again (in place, 9), 5 refers to 9, 6
// StadiumPlatform (in place, 10), 7 refers to entry 3. X is 10 + the block number.
// Every real challenge (but one made with a game extension whose chunks point at blocks by
// number): a copy of each block the game counts, one level up, appended; packed and
// expanded by liblzo2, the file lists the old blocks as they were and the copies after them,
// named by reference and without author records; deleting the copies gives back the image byte
// for byte, and undo takes each step back.
TEST(Challenge_Edit_Session, Copies_Appended_Then_Deleted_Give_Back_Every_Real_Challenge)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(probe, "campaign/Alpine-SnowA5.Challenge.Gbx");
    std::vector<std::string> maps = {"E02-Endurance", "SpeedNotice"};
    for (const char* campaign : {"Alpine-SnowA5", "Bay-BayA5", "Coast-CoastA5", "Island-IslandA2",
                                 "Rally-RallyA3", "Speed-DesertA5", "Stadium-A01-Race",
                                 "Stadium-B13-Obstacle", "Stadium-C08-Obstacle",
                                 "Stadium-D07-Race"}) {
        maps.push_back(std::string("campaign/") + campaign);
    }
    for (const std::string& map : maps) {
        SCOPED_TRACE(map);
        TFlexible_Byte_Array original;
        ASSERT_EQ(Gbx_Load_File(test::Corpus_File(map + ".Challenge.Gbx"), original, Mask), 0U);
        TChallenge_Edit_Session session(original, Mask);
        if (map == "SpeedNotice") {
            // Made with a game extension: the record that its count announces would lie past
            // its list, which is then not read to its end.
            EXPECT_EQ(session.Duplicate({0}, 0, 1, 0, true, true).Status,
                      TEdit_Status::List_Not_Walked);
            continue;
        }
        const std::vector<test::TFile_Block> before = Blocks_Of(session);
        TBlock_Selection counted;
        for (std::uint32_t i = 0; i < before.size(); ++i) {
            if (before[i].Block.Variations != std::array<std::uint8_t, 4>{255, 255, 255, 255}) {
                counted.push_back(i);
            }
        }
        ASSERT_EQ(session.Duplicate(counted, 0, 1, 0, true, true).Status, TEdit_Status::Done);
        const TFlexible_Byte_Array duplicated = session.Image();

        TFlexible_Byte_Array packed;
        ASSERT_EQ(Gbx_Compress(duplicated, packed, 0, Mask), 0U);
        const std::vector<test::TFile_Block> after = test::Image_Blocks(
            test::Masked(test::Lzo_Expanded_Image(test::Unmasked(packed, Mask)), Mask), Mask);
        ASSERT_EQ(after.size(), before.size() + counted.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            const bool copy = i >= before.size();
            TChallenge_Block expected = before[copy ? counted[i - before.size()] : i].Block;
            if (copy) {
                expected.Z = static_cast<std::uint8_t>(expected.Z + 1);
                expected.Variations[1] &= 0x7F; // no author record
                expected.Variations[2] &= 0xEF;
            }
            ASSERT_EQ(after[i].Block.Name, expected.Name) << i;
            ASSERT_EQ(Field_Bytes_Of(after[i].Block), Field_Bytes_Of(expected)) << i;
            ASSERT_TRUE(!copy || !after[i].Block.Name_In_Place) << i;
        }
        TBlock_Selection copies(counted.size());
        std::iota(copies.begin(), copies.end(), static_cast<std::uint32_t>(before.size()));
        EXPECT_EQ(session.Last_Step_Blocks(), copies);
        ASSERT_EQ(session.Delete(copies).Status, TEdit_Status::Done);
        EXPECT_EQ(session.Image(), original);
        ASSERT_EQ(session.Undo().Status, TEdit_Status::Done);
        EXPECT_EQ(session.Image(), duplicated);
        ASSERT_EQ(session.Undo().Status, TEdit_Status::Done);
        EXPECT_EQ(session.Image(), original);
        EXPECT_TRUE(session.Last_Step_Blocks().empty()); // the copies are gone
    }
}

// A stretch of track as the game writes it: a tube and its pillar, each written in place
// (entries 6 and 7) and referred to by the next two blocks, then signs and checkpoints whose
// author records refer to the author login (entry 4): block 4 brings skin node 1000 that nothing
// else uses, block 5 brings node 1001 that block 6 refers to, block 7 is a checkpoint of
// references only, block 8 brings waypoint node 5 that block 9 refers to, block 10 writes its
// author in place (entry 8), which block 11's author record refers to.
test::TChallenge_Description Track_Section()
{
    using test::In_Place;
    using test::Reference;
    test::TChallenge_Description track = test::Fixture_Challenge();
    const auto block = [](test::TFixture_String name, std::uint8_t x,
                          std::optional<test::TFixture_Author_Record> author = std::nullopt) {
        const std::uint8_t flags = author ? 0x80 : 0;
        const std::uint8_t waypoint = author && author->Waypoint ? 0x10 : 0;
        return test::TFixture_Block{std::move(name), {0, x, 9, 2, 0, flags, waypoint, 0}, author};
    };
    const auto sign = [](std::uint32_t skin, bool brings) {
        test::TFixture_Author_Record author{Reference(4), std::nullopt, skin, std::nullopt};
        if (brings) {
            author.Attached.emplace();
        }
        return author;
    };
    const auto checkpoint = [](std::optional<std::string> tag) {
        return test::TFixture_Author_Record{Reference(4), std::nullopt, test::No_Node,
                                            test::TFixture_Waypoint{5, std::move(tag)}};
    };
    test::TFixture_Author_Record signed_in_place = sign(test::No_Node, false);
    signed_in_place.Author = In_Place("fixture_sign");
    test::TFixture_Author_Record signed_by_reference = sign(test::No_Node, false);
    signed_by_reference.Author = Reference(8);
    track.Blocks = {
        block(In_Place("StadiumTube"), 0), block(In_Place("StadiumTubePillar"), 1),
        block(Reference(6), 2), block(Reference(7), 3),
        block(Reference(6), 4, sign(test::No_Node, true)),
        block(Reference(6), 5, sign(test::No_Node, true)), block(Reference(7), 6, sign(1001, false)),
        block(Reference(6), 7, test::TFixture_Author_Record{Reference(4), std::nullopt,
                                                            test::No_Node, test::TFixture_Waypoint{}}),
        block(Reference(6), 8, checkpoint("Checkpoint")), block(Reference(7), 9, checkpoint({})),
        block(Reference(6), 10, signed_in_place), block(Reference(7), 11, signed_by_reference)};
    return track;
}

// The builder's fixture: StadiumRoadMain written in place by blocks 0 (entry 6) and 4 (entry 9)
// and referred to by 1 and 5, StadiumCircuitBase in place by 2 (entry 7, its author record
// writing Nadeo in place, entry 8) and referred to by 3, StadiumPlatform in place by 6 (entry
// 10), and 7 referring to Stadium, an entry before the blocks; then the track section above. A
// record goes only when every other keeps its name and every node it refers to; what one step
// deletes, the list reads as before without those records.
TEST(Challenge_Edit_Session, Deletes_Records_Only_When_Every_Other_Keeps_Its_Name)
{
    struct TCase {
        const char* What;
        bool Track;
        TBlock_Selection Blocks;
        TEdit_Status Status;
        std::size_t Block;
        std::optional<std::size_t> Later = std::nullopt;
    };
    const std::vector<TCase> cases = {
        {"a reference", false, {7}, TEdit_Status::Done, 1},
        {"the last name defined", false, {6}, TEdit_Status::Done, 1},
        {"a name in place that the next reference to it takes", false, {0}, TEdit_Status::Done,
         1},
        {"a name in place, its references and the name after it", false, {4, 5, 6},
         TEdit_Status::Done, 3},
        {"a name in place defined before another, nothing to take it", false, {4, 5},
         TEdit_Status::Name_Needed_Later, 4, 6},
        {"an author written in place, a name defined after it", false, {2},
         TEdit_Status::Name_Needed_Later, 2, 4},
        {"two names in place, each taken by its next reference", true, {0, 1},
         TEdit_Status::Done, 2},
        {"a skin node that nothing refers to", true, {4}, TEdit_Status::Done, 1},
        {"a skin node that a kept block refers to", true, {5}, TEdit_Status::Brings_Skin, 5, 6},
        {"a skin node and the block that refers to it", true, {5, 6}, TEdit_Status::Done, 2},
        {"a checkpoint's author record of three references", true, {7}, TEdit_Status::Done, 1},
        {"a waypoint node that a kept block refers to", true, {8}, TEdit_Status::Brings_Skin, 8,
         9},
        {"an author in place that the next author record takes", true, {10},
         TEdit_Status::Done, 1},
        {"the section between its first and last blocks", true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         TEdit_Status::Done, 10},
        {"the section but its last block, which needs the second name", true,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, TEdit_Status::Name_Needed_Later, 0, 11},
    };
    for (const TCase& test_case : cases) {
        SCOPED_TRACE(test_case.What);
        const TFlexible_Byte_Array original =
            test::Build_Challenge(test_case.Track ? Track_Section() : test::Fixture_Challenge(),
                                  Mask)
                .Image;
        const std::vector<test::TFile_Block> before = test::Image_Blocks(original, Mask);
        TChallenge_Edit_Session session(original, Mask);
        const TEdit_Result result = session.Delete(test_case.Blocks);
        ASSERT_EQ(result.Status, test_case.Status);
        EXPECT_EQ(result.Block, test_case.Block);
        EXPECT_EQ(result.Later_Block, test_case.Later);
        if (result.Status != TEdit_Status::Done) {
            EXPECT_EQ(session.Image(), original);
            EXPECT_FALSE(session.Can_Undo());
            continue;
        }
        // The count and the size fields follow: the list reads whole, the body is as long as
        // its fields say, and every kept record keeps its name and bytes.
        std::vector<test::TFile_Block> expected;
        for (std::uint32_t i = 0; i < before.size(); ++i) {
            if (!std::binary_search(test_case.Blocks.begin(), test_case.Blocks.end(), i)) {
                expected.push_back(before[i]);
            }
        }
        const std::vector<test::TFile_Block> after = Blocks_Of(session);
        ASSERT_EQ(after.size(), expected.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].Block.Name, expected[i].Block.Name) << i;
            EXPECT_EQ(Field_Bytes_Of(after[i].Block), Field_Bytes_Of(expected[i].Block)) << i;
        }
        const TGbx_Compression_Info sizes = Gbx_Get_Compression_Info(session.Image(), Mask);
        EXPECT_EQ(std::uint64_t{sizes.Data_Offset} + sizes.Uncompressed_Size + 3,
                  session.Image().size());
        EXPECT_EQ(sizes.Compressed_Size, sizes.Uncompressed_Size + 3);
        ASSERT_EQ(session.Undo().Status, TEdit_Status::Done);
        EXPECT_EQ(session.Image(), original);
        EXPECT_EQ(session.Last_Step_Blocks(), test_case.Blocks);
    }
}

// On every real challenge, the blocks that can be deleted one at a time (the last first) can
// be deleted in one step, which gives the same image.
TEST(Challenge_Edit_Session, One_Deletion_Step_Does_What_Single_Deletions_Do_On_Real_Challenges)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(probe, "E02-Endurance.Challenge.Gbx");
    for (const std::string& map : test::Corpus_Challenges()) {
        SCOPED_TRACE(map);
        TFlexible_Byte_Array original;
        if (Gbx_Load_File(test::Corpus_File(map), original, Mask) != 0) {
            continue; // a first-edition challenge, which this editor does not read
        }
        TChallenge_Edit_Session one_by_one(original, Mask);
        const TEdit_Status whole_list = one_by_one.Delete({}).Status;
        if (whole_list == TEdit_Status::Block_Number_Chunks ||
            whole_list == TEdit_Status::List_Not_Walked) {
            continue; // a game extension's map, whose list takes no fewer records
        }
        TBlock_Selection deletable;
        for (std::size_t k = one_by_one.Blocks().Block_Offsets.size(); k-- > 0;) {
            const auto block = static_cast<std::uint32_t>(k);
            if (one_by_one.Delete({block}).Status == TEdit_Status::Done) {
                deletable.insert(deletable.begin(), block);
            }
        }
        ASSERT_FALSE(deletable.empty());
        TChallenge_Edit_Session one_step(original, Mask);
        ASSERT_EQ(one_step.Delete(deletable).Status, TEdit_Status::Done);
        EXPECT_EQ(one_step.Image(), one_by_one.Image());
    }
}

TEST(Challenge_Edit_Session, Refusals_Name_The_First_Refusing_Block_And_Write_Nothing)
{
    struct TCase {
        const char* What;
        TOperation Operation;
        TEdit_Status Status;
        std::size_t Block;
        std::size_t Unselected_Sharing;
        // The image of the operation when not the fixture's.
        const TFlexible_Byte_Array* Image = nullptr;
    };
    const test::TChallenge_Fixture fixture =
        test::Build_Challenge(test::Fixture_Challenge(), Mask);
    // The compressed-size field one off the body's size + 3: a change of it by the bytes added
    // or removed would say something else again.
    TFlexible_Byte_Array sizes_disagree = fixture.Image;
    sizes_disagree[fixture.Size_Fields_Offset + 4] ^= 1;
    // Block 6 a record that the game does not count (its variations all 255), the count the 7
    // others.
    test::TChallenge_Description uncounted = test::Fixture_Challenge();
    uncounted.Blocks[6].Bytes = {1, 16, 2, 3, 255, 255, 255, 255};
    uncounted.Block_Count = 7;
    const TFlexible_Byte_Array uncounted_image = test::Build_Challenge(uncounted, Mask).Image;
    TBlock_Settings author_record;
    author_record.Variations[1] = 0x05; // block 2 has an author record: bit 15 set there
    const std::vector<TCase> cases = {
        {"a block the walk did not list",
         [](TChallenge_Edit_Session& s) { return s.Rotate({3, 8}, 1); },
         TEdit_Status::Block_Not_Walked, 8, 0},
        {"above 255",
         [](TChallenge_Edit_Session& s) { return s.Move({4, 5, 6, 7}, 240, 0, 0, true); },
         TEdit_Status::Position_Out_Of_Range, 6, 0},
        {"outside the challenge's 32 cells",
         [](TChallenge_Edit_Session& s) { return s.Move({4, 5}, 17, 0, 0, false); },
         TEdit_Status::Outside_Challenge, 5, 0},
        {"variations that change how the list is read",
         [&](TChallenge_Edit_Session& s) { return s.Set({0, 2}, author_record, false); },
         TEdit_Status::Changes_Game_Reading, 2, 0},
        {"an in-place name that an unselected block refers to",
         [](TChallenge_Edit_Session& s) {
             return s.Replace_Name({0, 2, 3, 4, 5}, "StadiumRoadMain", "Road");
         },
         TEdit_Status::Shared_In_Place_Name, 0, 1},
        {"a reference to a name defined only later",
         [](TChallenge_Edit_Session& s) {
             return s.Replace_Name({1, 5}, "StadiumRoadMain", "StadiumPlatform");
         },
         TEdit_Status::Name_Not_Defined, 1, 0},
        {"a block write with a name not defined before it",
         [](TChallenge_Edit_Session& s) {
             return s.Write_Block(1, "Nowhere", {0, 0, 0, 0, 0, 0, 0, 0});
         },
         TEdit_Status::Name_Not_Defined, 1, 0},
        {"a copy of a block with an author record, not asked to go without it",
         [](TChallenge_Edit_Session& s) { return s.Duplicate({1, 2}, 0, 1, 0, false, false); },
         TEdit_Status::Carries_Skin, 2, 0},
        {"a copy outside the challenge",
         [](TChallenge_Edit_Session& s) { return s.Duplicate({3, 4}, 0, 30, 0, false, false); },
         TEdit_Status::Outside_Challenge, 3, 0},
        {"a pasted name that the challenge lacks",
         [](TChallenge_Edit_Session& s) {
             return s.Paste({{"StadiumPlatform", {}}, {"Nowhere", {}}}, 0, 0, 0, false, false);
         },
         TEdit_Status::Name_Not_Defined, 1, 0},
        {"a deletion in an image whose size fields disagree",
         [](TChallenge_Edit_Session& s) { return s.Delete({7}); },
         TEdit_Status::Size_Fields_Not_Walked, 0, 0, &sizes_disagree},
        {"a copy in an image whose size fields disagree",
         [](TChallenge_Edit_Session& s) { return s.Duplicate({7}, 0, 0, 0, false, false); },
         TEdit_Status::Size_Fields_Not_Walked, 0, 0, &sizes_disagree},
        {"a paste in an image whose size fields disagree",
         [](TChallenge_Edit_Session& s) {
             return s.Paste({{"StadiumPlatform", {}}}, 0, 0, 0, false, false);
         },
         TEdit_Status::Size_Fields_Not_Walked, 0, 0, &sizes_disagree},
        {"a deletion that leaves a record the game does not count after the last block",
         [](TChallenge_Edit_Session& s) { return s.Delete({7}); },
         TEdit_Status::Strands_Uncounted_Record, 6, 0, &uncounted_image},
    };
    for (const TCase& test_case : cases) {
        SCOPED_TRACE(test_case.What);
        const TFlexible_Byte_Array& original =
            test_case.Image != nullptr ? *test_case.Image : fixture.Image;
        TChallenge_Edit_Session session(original, Mask);
        const TEdit_Result result = test_case.Operation(session);
        EXPECT_EQ(result.Status, test_case.Status);
        EXPECT_EQ(result.Block, test_case.Block);
        EXPECT_EQ(result.Unselected_Sharing, test_case.Unselected_Sharing);
        EXPECT_EQ(session.Image(), original);
        EXPECT_FALSE(session.Can_Undo());
        EXPECT_FALSE(session.Is_Modified());
    }
    // Chunks of a game extension that point at blocks by number: blocks move, but none is added
    // or removed.
    test::TChallenge_Description extended = test::Fixture_Challenge();
    extended.Tail = {0x00, 0x10, 0x00, 0x3F, 'P', 'I', 'K', 'S', 0, 0, 0, 0,
                     0x01, 0xDE, 0xCA, 0xFA};
    TChallenge_Edit_Session session(test::Build_Challenge(extended, Mask).Image, Mask);
    EXPECT_EQ(session.Delete({7}).Status, TEdit_Status::Block_Number_Chunks);
    EXPECT_EQ(session.Duplicate({7}, 0, 0, 0, false, false).Status,
              TEdit_Status::Block_Number_Chunks);
    EXPECT_EQ(session.Move({7}, 0, 1, 0, false).Status, TEdit_Status::Done);
}

// A copy without its skin leaves out the author record and both flags that say it is there:
// bit 15, an author record follows, and bit 20 beside it, the record ends with a waypoint (a
// checkpoint with a skin).
TEST(Challenge_Edit_Session, Copies_Without_Skin_Clear_Both_Author_Record_Flags)
{
    test::TChallenge_Description checkpoint = test::Fixture_Challenge();
    checkpoint.Blocks[2].Bytes[6] |= 0x10; // variations 4, 0x85, 0x16, 7
    checkpoint.Blocks[2].Author_Record->Waypoint = test::TFixture_Waypoint{};
    const TFlexible_Byte_Array original = test::Build_Challenge(checkpoint, Mask).Image;
    for (const TOperation& copy :
         {TOperation([](TChallenge_Edit_Session& s) {
              return s.Duplicate({2}, 0, 1, 0, false, true);
          }),
          TOperation([](TChallenge_Edit_Session& s) {
              return s.Paste({{"StadiumCircuitBase", {1, 12, 2, 3, 4, 0x85, 0x16, 7}}}, 0, 1, 0,
                             false, true);
          })}) {
        TChallenge_Edit_Session session(original, Mask);
        ASSERT_EQ(copy(session).Status, TEdit_Status::Done);
        const std::vector<test::TFile_Block> blocks = Blocks_Of(session);
        ASSERT_EQ(blocks.size(), 9U);
        EXPECT_EQ(Field_Bytes_Of(blocks[8].Block),
                  (TBlock_Field_Bytes{1, 12, 3, 3, 4, 0x05, 0x06, 7})); // one level up
    }
}

// Replace renames a name in place only with every block that refers to it, and points each
// other reference at the lowest entry of the new name defined before it, renamed ones included.
TEST(Challenge_Edit_Session, Replace_Keeps_Each_Record_In_Place_Or_By_Reference)
{
    const TFlexible_Byte_Array original =
        test::Build_Challenge(test::Fixture_Challenge(), Mask).Image;
    TChallenge_Edit_Session session(original, Mask);
    // Blocks 0 and 1 share entry 6; block 5 refers to entry 9, whose block 4 is not selected.
    ASSERT_EQ(session.Replace_Name({0, 1, 5}, "StadiumRoadMain", "StadiumCircuitBase").Status,
              TEdit_Status::Done);
    // One step renamed a name in place, to a longer one, and re-pointed a reference after it:
    // undone, every byte is back; made again, every byte of the edit.
    const TFlexible_Byte_Array replaced = session.Image();
    ASSERT_EQ(session.Undo().Status, TEdit_Status::Done);
    EXPECT_EQ(session.Image(), original);
    ASSERT_EQ(session.Redo().Status, TEdit_Status::Done);
    EXPECT_EQ(session.Image(), replaced);
    const std::vector<test::TFile_Block> blocks = Blocks_Of(session);
    EXPECT_EQ(blocks[0].Block.Name, "StadiumCircuitBase");
    EXPECT_TRUE(blocks[0].Block.Name_In_Place);
    EXPECT_EQ(blocks[1].Block.Name_Index, 6U);
    EXPECT_EQ(blocks[4].Block.Name, "StadiumRoadMain");
    EXPECT_EQ(blocks[5].Block.Name, "StadiumCircuitBase");
    EXPECT_EQ(blocks[5].Block.Name_Index, 6U); // the renamed entry, lower than 7
    EXPECT_FALSE(blocks[5].Block.Name_In_Place);
    EXPECT_EQ(session.Undo_Text(), "Replace StadiumRoadMain by StadiumCircuitBase");
}

TEST(Challenge_Edit_Session, History_Follows_Undo_Redo_And_The_Saved_Mark)
{
    TChallenge_Edit_Session session(test::Build_Challenge(test::Fixture_Challenge(), Mask).Image,
                                    Mask);
    EXPECT_EQ(session.Undo().Status, TEdit_Status::Nothing_To_Undo);
    EXPECT_EQ(session.Move({3}, 1, 0, 0, false).Status, TEdit_Status::Done);
    EXPECT_EQ(session.Undo_Text(), "Move block 3");
    session.Mark_Saved();
    EXPECT_FALSE(session.Is_Modified());
    EXPECT_EQ(session.Rotate({2, 3, 4}, 1).Status, TEdit_Status::Done);
    EXPECT_EQ(session.Undo_Text(), "Rotate 3 blocks");
    EXPECT_TRUE(session.Is_Modified());
    session.Undo();
    EXPECT_FALSE(session.Is_Modified()); // back at the saved state
    EXPECT_EQ(session.Redo_Text(), "Rotate 3 blocks");
    EXPECT_EQ(session.Last_Step_Blocks(), (TBlock_Selection{2, 3, 4}));
    session.Undo();
    EXPECT_TRUE(session.Is_Modified());
    // A new step drops the ones undone, and with them the way back to the saved state.
    EXPECT_EQ(session.Write_Block(7, "Stadium", {1, 18, 2, 3, 4, 5, 6, 7}).Status,
              TEdit_Status::Done);
    EXPECT_FALSE(session.Can_Redo());
    EXPECT_EQ(session.Undo_Text(), "Block 7");
    session.Undo();
    EXPECT_TRUE(session.Is_Modified());
    // Nothing to change makes no step.
    EXPECT_EQ(session.Move({1, 2}, 0, 0, 0, false).Status, TEdit_Status::Unchanged);
    EXPECT_EQ(session.Write_Block(7, "Stadium", {1, 17, 2, 3, 4, 5, 6, 7}).Status,
              TEdit_Status::Unchanged);
    EXPECT_TRUE(session.Can_Redo()); // an unchanged write leaves the history as it is
}

} // namespace
} // namespace plotvane
