#include "challenge/Gbx_Challenge_Read.h"

#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_Tools.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace plotvane {
namespace {

using test::Build_Challenge;
using test::In_Place;
using test::Raw_Value;
using test::Reference;
using test::TChallenge_Description;
using test::TChallenge_Fixture;
using test::TFixture_Attached_Record;
using test::TFixture_Author_Record;
using test::TFixture_Block;
using test::TFixture_String;
using test::TFixture_Waypoint;

using TStrings = std::vector<std::string>;
using TIndexes = std::vector<std::uint32_t>;

TFixture_Block Block(TFixture_String name, std::uint8_t x = 0)
{
    TFixture_Block block;
    block.Name = std::move(name);
    block.Bytes = {1, x, 2, 3, 4, 5, 6, 7};
    return block;
}

// Variation 2 bit 7: an author record follows the block.
constexpr std::uint8_t Author_Record_Bit = 0x80;
// Variation 3 bit 4, beside the author record bit: a waypoint reference ends the record.
constexpr std::uint8_t Waypoint_Bit = 0x10;

TFixture_Block Block_With_Author(TFixture_String name, TFixture_String author,
                                 std::optional<TFixture_Attached_Record> attached = {})
{
    TFixture_Block block = Block(std::move(name));
    block.Bytes[5] |= Author_Record_Bit;
    block.Author_Record = TFixture_Author_Record{};
    block.Author_Record->Author = std::move(author);
    block.Author_Record->Attached = std::move(attached);
    return block;
}

TFixture_Attached_Record Attached(bool files_in_a, bool files_in_b)
{
    TFixture_Attached_Record record;
    if (files_in_a) {
        record.Part_A = {"Skins\\Signs\\Fixture.dds", "http://example.org/Fixture.dds"};
    }
    if (files_in_b) {
        record.Part_B = {"Skins\\Signs\\Other.dds", ""};
    }
    return record;
}

void Patch_DWord(TFlexible_Byte_Array& image, std::uint32_t offset, std::uint32_t value,
                 TMemory_Mask mask)
{
    Write_DWord(image, offset, value, false, mask);
}

std::string Read_Author(const TFlexible_Byte_Array& image, TMemory_Mask mask,
                        std::string author = "")
{
    Challenge_Read_Author(image, mask, author);
    return author;
}

// The login is the third string at offset 111; the first two may each be a 4-byte reference.
TEST(Challenge_Read_Author, Reads_The_Third_Header_String_As_Stored)
{
    const TMemory_Mask mask = 0x5A;
    TChallenge_Description description;
    description.Author_Login = In_Place("BigBang1112");
    EXPECT_EQ(Read_Author(Build_Challenge(description, mask).Image, mask), "BigBang1112");

    description.Header_Uid = Reference(1);
    description.Header_Environment = Reference(2);
    EXPECT_EQ(Read_Author(Build_Challenge(description, mask).Image, mask), "BigBang1112");
}

TEST(Challenge_Read_Author, Keeps_The_Output_When_The_Login_Is_Not_A_Text)
{
    TChallenge_Description description;
    description.Author_Login = Reference(2);
    EXPECT_EQ(Read_Author(Build_Challenge(description, 0).Image, 0, "kept"), "kept");
    description.Author_Login = In_Place("");
    EXPECT_EQ(Read_Author(Build_Challenge(description, 0).Image, 0, "kept"), "kept");
}

TEST(Challenge_Read_Author, Reads_Nothing_Outside_A_Short_Or_Hostile_Image)
{
    const TMemory_Mask mask = 0x33;
    TChallenge_Description description;
    description.Header_Uid = In_Place("Uid");
    description.Header_Environment = Reference(1);
    description.Author_Login = In_Place("player");
    const TFlexible_Byte_Array image = Build_Challenge(description, mask).Image;
    const std::size_t login_end = 111 + (8 + 3) + 4 + (8 + 6);
    for (std::size_t length = 0; length <= image.size(); ++length) {
        const TFlexible_Byte_Array part(image.begin(), image.begin() + length);
        // A text is read only when it ends before the image's last byte.
        ASSERT_EQ(Read_Author(part, mask), length > login_end ? "player" : "") << length;
    }
    TFlexible_Byte_Array hostile = image;
    Patch_DWord(hostile, 111 + 4, 0xFFFFFFF8, mask); // the uid's length wraps a 32-bit sum
    EXPECT_EQ(Read_Author(hostile, mask), "");
}

TEST(Challenge_Author_Is_Listed, Matches_A_Whole_Login_Ignoring_Letter_Case_Only)
{
    struct TCase {
        TFixture_String Stored_Login;
        std::vector<std::string> Logins;
        bool Listed;
    };
    const std::vector<TCase> cases = {
        {In_Place("Alice"), {"alice"}, true},
        {In_Place("alice"), {"bob", "ALICE"}, true},
        {In_Place("Nadeo"), {"nadeo"}, true},
        {In_Place("x_Ä1"), {"X_Ä1"}, true},          // other bytes compare exactly
        {In_Place("x_Ä1"), {"x_ä1"}, false},
        {In_Place("alice"), {"alic", "alice2", " alice"}, false}, // whole items only
        {In_Place("alice"), {}, false},
        {In_Place(std::string("al\0ce", 5)), {"al"}, false},
        {In_Place(""), {""}, false},                 // no login read: never one's own
        {Reference(2), {"", "Stadium"}, false},
    };
    const TMemory_Mask mask = 0xA7;
    for (const TCase& test_case : cases) {
        TChallenge_Description description;
        description.Author_Login = test_case.Stored_Login;
        const TFlexible_Byte_Array image = Build_Challenge(description, mask).Image;
        EXPECT_EQ(Challenge_Author_Is_Listed(image, test_case.Logins, mask), test_case.Listed)
            << test_case.Stored_Login.Text;
    }
}

// Every kind of string the walk meets, each block form and both author record forms.
TChallenge_Description Varied_Challenge()
{
    TChallenge_Description description;
    description.Entries = {Raw_Value(0xFFFFFFFF), In_Place("Vehicle"), Reference(1),
                           In_Place("")};
    description.Map_Uid = In_Place("Uid");
    description.Collection = In_Place("Stadium");
    description.Map_Author = In_Place("player");
    description.Decoration = {In_Place("Day"), Reference(4), Reference(5)};
    description.Blocks = {
        Block(In_Place("StadiumRoadMain"), 14),
        Block_With_Author(Reference(7), In_Place("Nadeo")),
        Block_With_Author(In_Place("StadiumCircuitBase"), Reference(8), Attached(false, true)),
        Block_With_Author(Reference(9), In_Place("nAdEo"), Attached(true, false)),
        Block(Reference(1), 200),
    };
    return description;
}

TEST(Challenge_Read_Block_List, Walks_Every_Block_And_Numbers_Every_Text)
{
    const TMemory_Mask mask = 0x5A;
    const TChallenge_Fixture fixture = Build_Challenge(Varied_Challenge(), mask);
    const auto list = Challenge_Read_Block_List(fixture.Image, mask);

    EXPECT_TRUE(list.Complete);
    EXPECT_EQ(list.Size_Fields_Offset, fixture.Size_Fields_Offset);
    EXPECT_EQ(list.Collection_Name, "Stadium");
    EXPECT_EQ(list.String_Table,
              (TStrings{"null", "Vehicle", "", "Uid", "Stadium", "player", "Day",
                        "StadiumRoadMain", "Nadeo", "StadiumCircuitBase", "nAdEo"}));
    EXPECT_EQ(list.First_Block_Name_Index, 7U);
    EXPECT_EQ(list.Block_Offsets, fixture.Block_Offsets);
    // An author string is numbered after its block's name, so it joins the next block's range.
    EXPECT_EQ(list.Last_String_Indexes, (TIndexes{7, 7, 9, 9, 10}));
}

TEST(Challenge_Read_Block, Gives_Resolved_Names_And_The_Eight_Bytes)
{
    const TMemory_Mask mask = 0xA7;
    const TChallenge_Fixture fixture = Build_Challenge(Varied_Challenge(), mask);
    const auto list = Challenge_Read_Block_List(fixture.Image, mask);

    const auto first = Challenge_Read_Block(fixture.Image, list, 0, mask);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Name, "StadiumRoadMain");
    EXPECT_TRUE(first->Name_In_Place);
    EXPECT_EQ(first->Name_Index, 7U);
    EXPECT_EQ((std::vector<int>{first->Rotation, first->X, first->Z, first->Y,
                                first->Variations[0], first->Variations[1],
                                first->Variations[2], first->Variations[3]}),
              (std::vector<int>{1, 14, 2, 3, 4, 5, 6, 7}));

    const auto last = Challenge_Read_Block(fixture.Image, list, 4, mask);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Name, "Vehicle");
    EXPECT_FALSE(last->Name_In_Place);
    EXPECT_EQ(last->Name_Index, 1U);
    EXPECT_EQ(last->X, 200);

    EXPECT_FALSE(Challenge_Read_Block(fixture.Image, list, 5, mask));
    const TFlexible_Byte_Array shortened(fixture.Image.begin(),
                                         fixture.Image.begin() + fixture.Block_Offsets[4] + 11);
    EXPECT_FALSE(Challenge_Read_Block(shortened, list, 4, mask));
}

TEST(Challenge_Read_Block_View, Gives_The_Block_With_Its_Name_Where_The_Walk_Holds_It)
{
    const TMemory_Mask mask = 0x3E;
    const TChallenge_Fixture fixture = Build_Challenge(Varied_Challenge(), mask);
    const auto list = Challenge_Read_Block_List(fixture.Image, mask);
    ASSERT_EQ(list.Block_Offsets.size(), 5U);

    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block(fixture.Image, list, i, mask);
        const auto view = Challenge_Read_Block_View(fixture.Image, list, i, mask);
        ASSERT_TRUE(block && view) << i;
        EXPECT_EQ(view->Name, block->Name) << i;
        EXPECT_EQ(view->Name_In_Place, block->Name_In_Place) << i;
        EXPECT_EQ(view->Name_Index, block->Name_Index) << i;
        EXPECT_EQ(std::tie(view->Rotation, view->X, view->Z, view->Y, view->Variations),
                  std::tie(block->Rotation, block->X, block->Z, block->Y, block->Variations))
            << i;
        // No copy: the name is the table's own text.
        EXPECT_EQ(view->Name.data(), list.String_Table.at(block->Name_Index).data()) << i;
    }
    EXPECT_FALSE(Challenge_Read_Block_View(fixture.Image, list, 5, mask));
    const TFlexible_Byte_Array shortened(fixture.Image.begin(),
                                         fixture.Image.begin() + fixture.Block_Offsets[4] + 11);
    EXPECT_FALSE(Challenge_Read_Block_View(shortened, list, 4, mask));

    // An in-place name whose length changed since the walk no longer matches the walk's text.
    TFlexible_Byte_Array changed = fixture.Image;
    std::uint32_t cursor = fixture.Block_Offsets[0] + 4;
    Write_DWord(changed, cursor, 3, false, mask);
    EXPECT_FALSE(Challenge_Read_Block_View(changed, list, 0, mask));
}

TEST(Challenge_Read_Block_List, Resolves_References_Within_The_Table_Only)
{
    TChallenge_Description description;
    description.Entries = {In_Place("Speed")};
    description.Collection = Reference(1);
    description.Blocks = {Block(Reference(1)), Block(Reference(999))};
    const TChallenge_Fixture fixture = Build_Challenge(description, 0);
    const auto list = Challenge_Read_Block_List(fixture.Image, 0);

    EXPECT_EQ(list.Collection_Name, "Speed");
    // Block 0 named by reference: the names offered for it begin with "null".
    EXPECT_EQ(list.First_Block_Name_Index, 0U);
    // No block the game wrote refers past the texts before it: the walk ends there.
    EXPECT_FALSE(list.Complete);
    EXPECT_EQ(list.Block_Offsets, TIndexes{fixture.Block_Offsets[0]});

    description.Collection = Reference(999);
    EXPECT_EQ(Challenge_Read_Block_List(Build_Challenge(description, 0).Image, 0).Collection_Name,
              "");
}

TEST(Challenge_Read_Block_List, Stops_After_A_Block_Count_Of_Zero)
{
    TChallenge_Description description;
    description.Tail = {}; // nothing after the count but the end marker
    const TChallenge_Fixture fixture = Build_Challenge(description, 0x11);
    const auto list = Challenge_Read_Block_List(fixture.Image, 0x11);
    EXPECT_TRUE(list.Complete);
    EXPECT_TRUE(list.Block_Offsets.empty());
    EXPECT_TRUE(list.Last_String_Indexes.empty());
}

// A block named like an author ("Nadeo" in any case, or the map author's login), in place or
// by reference, is read as any other name: only the flags say that an author record follows.
TEST(Challenge_Read_Block_List, A_Name_Never_Changes_How_The_List_Is_Read)
{
    const std::vector<TFixture_String> names = {
        In_Place("Nadeo"), In_Place("NADEO"), In_Place("nadeo"), In_Place("fixture_player"),
        Reference(1),      Reference(4),
    };
    for (const TFixture_String& name : names) {
        SCOPED_TRACE(name.Has_Text ? name.Text : "reference " + std::to_string(name.Value));
        TChallenge_Description description;
        description.Entries = {In_Place("Nadeo")}; // 1; the map author's login is 4
        description.Blocks = {Block(name), Block(name), Block_With_Author(name, name),
                              Block(Reference(5)), Block(name)};
        const TChallenge_Fixture fixture = Build_Challenge(description, 0x42);
        const auto list = Challenge_Read_Block_List(fixture.Image, 0x42);
        ASSERT_EQ(list.String_Table.at(4), "fixture_player");
        EXPECT_TRUE(list.Complete);
        EXPECT_EQ(list.Block_Offsets, fixture.Block_Offsets);
    }
}

// What follows a block's eight bytes, by its flags: the walk lands on each next block where
// the builder put it, counts the records the game counts, and steps over each node once.
TEST(Challenge_Read_Block_List, Reads_Each_Record_As_Its_Flags_Say)
{
    struct TCase {
        const char* What;
        std::vector<TFixture_Block> Blocks;
        std::uint32_t Block_Count;
        bool Complete = true;
    };
    const auto with_record = [](std::uint32_t skin, std::optional<TFixture_Waypoint> waypoint) {
        TFixture_Block block = Block_With_Author(Reference(1), In_Place("someone"));
        block.Author_Record->Skin_Reference = skin;
        block.Author_Record->Waypoint = waypoint;
        if (waypoint) {
            block.Bytes[6] |= Waypoint_Bit;
        }
        return block;
    };
    TFixture_Block skinned = with_record(7, {});
    skinned.Author_Record->Attached = Attached(true, false);
    TFixture_Block waypoint_alone = Block(Reference(1));
    waypoint_alone.Bytes[6] |= Waypoint_Bit;
    TFixture_Block uncounted = Block(Reference(1));
    uncounted.Bytes = {0, 1, 2, 3, 0xFF, 0xFF, 0xFF, 0xFF};
    const TFixture_Waypoint new_waypoint{9, std::string("Checkpoint")};

    const TFixture_Waypoint old_waypoint{9, {}};
    const std::vector<TCase> cases = {
        {"any author string, no skin", {with_record(test::No_Node, {}), Block(Reference(1))}, 2},
        {"a skin node, then a reference to it", {skinned, with_record(7, {})}, 2},
        {"a waypoint reference, no node",
         {with_record(test::No_Node, TFixture_Waypoint{}), Block(Reference(1))}, 2},
        {"a waypoint node, then a reference to it",
         {with_record(test::No_Node, new_waypoint), with_record(test::No_Node, old_waypoint)}, 2},
        {"the waypoint flag alone adds nothing", {waypoint_alone, Block(Reference(1))}, 2},
        {"a record the game does not count", {Block(Reference(1)), uncounted, Block(Reference(1))}, 2},
        // As after a block is made one the game does not count: the walk would read a record
        // out of the chunk that follows, whose id, as a name, refers past the table.
        {"a count past the list's end", {Block(Reference(1)), uncounted}, 2, false},
    };
    for (const TCase& test_case : cases) {
        SCOPED_TRACE(test_case.What);
        TChallenge_Description description;
        description.Entries = {In_Place("Nadeo")};
        description.Blocks = test_case.Blocks;
        description.Block_Count = test_case.Block_Count;
        // The chunk that follows the list in the game's files: its id, then values that read
        // as a record's eight bytes.
        description.Tail = {0x21, 0x30, 0x04, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xDE, 0xCA, 0xFA};
        const TChallenge_Fixture fixture = Build_Challenge(description, 0x6D);
        const auto list = Challenge_Read_Block_List(fixture.Image, 0x6D);
        EXPECT_EQ(list.Complete, test_case.Complete);
        EXPECT_EQ(list.Block_Offsets, fixture.Block_Offsets);
    }
}

// A record whose flags promise what is not there ends the walk rather than misreading it.
TEST(Challenge_Read_Block_List, Stops_Where_A_New_Node_Is_Not_What_Its_Reference_Needs)
{
    TChallenge_Description description;
    description.Entries = {In_Place("Nadeo")};
    TFixture_Block block = Block_With_Author(Reference(1), Reference(1));
    block.Author_Record->Skin_Reference = 3; // new, but no skin node follows
    description.Blocks = {Block(Reference(1)), block, Block(Reference(1))};
    const TChallenge_Fixture fixture = Build_Challenge(description, 0x10);
    const auto list = Challenge_Read_Block_List(fixture.Image, 0x10);
    EXPECT_FALSE(list.Complete);
    EXPECT_EQ(list.Block_Offsets, TIndexes{fixture.Block_Offsets[0]});
}

TEST(Challenge_Read_Block_List, Stops_Without_Reading_Past_Hostile_Counts_And_Lengths)
{
    const TMemory_Mask mask = 0x7E;
    TChallenge_Description description = Varied_Challenge();
    description.Block_Count = 0xFFFFFFFF;
    TChallenge_Fixture fixture = Build_Challenge(description, mask);
    auto list = Challenge_Read_Block_List(fixture.Image, mask);
    EXPECT_FALSE(list.Complete);
    EXPECT_EQ(list.Block_Offsets, fixture.Block_Offsets);
    EXPECT_LE(list.Block_Offsets.capacity(), fixture.Image.size() / 12);
    EXPECT_LE(list.Last_String_Indexes.capacity(), fixture.Image.size() / 12);

    fixture = Build_Challenge(Varied_Challenge(), mask);
    Patch_DWord(fixture.Image, fixture.Block_Offsets[2] + 4, 0xFFFFFFF9, mask); // name length
    list = Challenge_Read_Block_List(fixture.Image, mask);
    EXPECT_FALSE(list.Complete);
    EXPECT_EQ(list.Block_Offsets,
              (TIndexes{fixture.Block_Offsets[0], fixture.Block_Offsets[1]}));
    EXPECT_EQ(list.Last_String_Indexes.size(), 2U);

    Patch_DWord(fixture.Image, 13, 0xFFFFFFF0, mask); // user data size
    list = Challenge_Read_Block_List(fixture.Image, mask);
    EXPECT_FALSE(list.Complete);
    EXPECT_EQ(list.Size_Fields_Offset, 0U);
    EXPECT_EQ(list.String_Table, TStrings{"null"});
}

// The image of a file whose body was cut after `body_end`: the header's sizes say so, and the
// stream's end marker follows, as the expansion of such a file gives it.
TFlexible_Byte_Array Body_Cut_Image(const TFlexible_Byte_Array& image, std::uint32_t body_end,
                                    const TMemory_Mask& mask)
{
    const std::uint32_t body = Gbx_Get_Compression_Info(image, mask).Data_Offset;
    TFlexible_Byte_Array cut(image.begin(), image.begin() + body_end);
    for (const std::uint8_t marker_byte : {0x11, 0x00, 0x00}) {
        cut.push_back(static_cast<std::uint8_t>(marker_byte ^ mask));
    }
    Patch_DWord(cut, body - 8, body_end - body, mask);     // uncompressed size
    Patch_DWord(cut, body - 4, body_end - body + 3, mask); // compressed size
    return cut;
}

// Cut anywhere, the walk agrees with the whole walk as far as it goes and lists exactly the
// blocks whose whole record is there; a body cut short never reads on into the end marker
// that follows it.
TEST(Challenge_Read_Block_List, Truncated_Image_Yields_A_Prefix_Of_The_Whole_Walk)
{
    const TMemory_Mask mask = 0xC3;
    const TChallenge_Fixture fixture = Build_Challenge(Varied_Challenge(), mask);
    const auto whole = Challenge_Read_Block_List(fixture.Image, mask);
    ASSERT_TRUE(whole.Complete);
    const std::uint32_t complete_from = fixture.Block_Ends.back();
    const std::uint32_t body = Gbx_Get_Compression_Info(fixture.Image, mask).Data_Offset;
    for (std::uint32_t length = 0; length <= fixture.Image.size(); ++length) {
        SCOPED_TRACE(length);
        const TFlexible_Byte_Array part(fixture.Image.begin(), fixture.Image.begin() + length);
        const auto list = Challenge_Read_Block_List(part, mask);
        if (length >= body && length + 3 <= fixture.Image.size()) {
            const auto sealed = Challenge_Read_Block_List(Body_Cut_Image(part, length, mask), mask);
            ASSERT_EQ(sealed.Block_Offsets, list.Block_Offsets);
            ASSERT_EQ(sealed.Complete, list.Complete);
        }
        const std::size_t walked = list.Block_Offsets.size();
        const auto present = static_cast<std::size_t>(
            std::count_if(fixture.Block_Ends.begin(), fixture.Block_Ends.end(),
                          [length](std::uint32_t end) { return end <= length; }));

        ASSERT_EQ(list.Complete, length >= complete_from);
        ASSERT_EQ(list.Last_String_Indexes.size(), walked);
        ASSERT_EQ(walked, present);
        ASSERT_TRUE(std::equal(list.Block_Offsets.begin(), list.Block_Offsets.end(),
                               whole.Block_Offsets.begin()));
        ASSERT_TRUE(std::equal(list.Last_String_Indexes.begin(), list.Last_String_Indexes.end(),
                               whole.Last_String_Indexes.begin()));
        ASSERT_LE(list.String_Table.size(), whole.String_Table.size());
        ASSERT_TRUE(std::equal(list.String_Table.begin(), list.String_Table.end(),
                               whole.String_Table.begin()));
    }
}

// The game's own files, read as an independent parser reads them.

struct TTsv_Block {
    std::string Name;
    std::vector<int> Bytes;
};

std::vector<TTsv_Block> Read_Blocks_Tsv(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line); // column names
    std::vector<TTsv_Block> blocks;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string index;
        TTsv_Block block;
        std::getline(fields, index, '\t');
        std::getline(fields, block.Name, '\t');
        for (int value = 0; fields >> value;) {
            block.Bytes.push_back(value);
        }
        blocks.push_back(block);
    }
    return blocks;
}

// Every block of a real challenge, name and eight bytes, against the parser's table beside it.
void Expect_Blocks_Of_Independent_Parser(const std::string& challenge, const std::string& table)
{
    SCOPED_TRACE(challenge);
    const std::string path = test::Corpus_File(challenge);
    const std::string tsv_path = test::Corpus_File(table);
    ASSERT_FALSE(path.empty() || tsv_path.empty());
    const TMemory_Mask mask = 0x9C;
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, mask), 0U);
    const auto list = Challenge_Read_Block_List(image, mask);
    EXPECT_TRUE(list.Complete);

    const std::vector<TTsv_Block> expected = Read_Blocks_Tsv(tsv_path);
    ASSERT_EQ(list.Block_Offsets.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto block = Challenge_Read_Block(image, list, i, mask);
        ASSERT_TRUE(block) << i;
        const std::vector<int> bytes = {block->Rotation,      block->X,
                                        block->Z,             block->Y,
                                        block->Variations[0], block->Variations[1],
                                        block->Variations[2], block->Variations[3]};
        ASSERT_EQ(block->Name, expected[i].Name) << "block " << i;
        ASSERT_EQ(bytes, expected[i].Bytes) << "block " << i;
    }
}

TEST(Challenge_Read_Corpus, E02_Endurance_Gives_Every_Block_Of_The_Independent_Parser)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    const TMemory_Mask mask = 0x9C;
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, mask), 0U);

    EXPECT_EQ(Read_Author(image, mask), "Nadeo");
    const auto list = Challenge_Read_Block_List(image, mask);
    EXPECT_EQ(list.Collection_Name, "Stadium");
    EXPECT_EQ(list.First_Block_Name_Index, 5U);
    EXPECT_EQ(list.String_Table.size(), 32U);
    EXPECT_EQ(list.Size_Fields_Offset, 25U + 15835U);
    EXPECT_EQ(list.Block_Offsets.size(), 907U);
    Expect_Blocks_Of_Independent_Parser("E02-Endurance.Challenge.Gbx", "E02-Endurance.blocks.tsv");
}

// The game's own campaign challenges, every collection, as the independent parser reads them.
TEST(Challenge_Read_Corpus, Campaign_Challenges_Give_Every_Block_Of_The_Independent_Parser)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(folder_probe, "campaign/Alpine-SnowA5.Challenge.Gbx");
    using TSize = std::array<std::uint32_t, 3>;
    const std::vector<std::pair<std::string, TSize>> maps = {
        {"Alpine-SnowA5", {45, 18, 45}},       {"Bay-BayA5", {36, 36, 36}},
        {"Coast-CoastA5", {45, 36, 45}},       {"Island-IslandA2", {36, 36, 36}},
        {"Rally-RallyA3", {30, 18, 30}},       {"Speed-DesertA5", {45, 18, 45}},
        {"Stadium-A01-Race", {32, 32, 32}},    {"Stadium-B13-Obstacle", {32, 32, 32}},
        {"Stadium-C08-Obstacle", {32, 32, 32}}, {"Stadium-D07-Race", {32, 32, 32}},
    };
    for (const auto& [map, size] : maps) {
        const std::string base = "campaign/" + map;
        Expect_Blocks_Of_Independent_Parser(base + ".Challenge.Gbx", base + ".blocks.tsv");
        TFlexible_Byte_Array image;
        ASSERT_EQ(Gbx_Load_File(test::Corpus_File(base + ".Challenge.Gbx"), image, 0x33), 0U);
        EXPECT_EQ(Challenge_Read_Block_List(image, 0x33).Challenge_Size, size) << map;
    }
}

// A note for players of a modified game: a record named by a long text in place, with every
// flag set so that the game does not count it. The one record that the count then announces
// would begin 8 bytes before the next chunk and take its id for its variations: its name
// refers past the table, and the walk ends there.
TEST(Challenge_Read_Corpus, SpeedNotice_Lists_Its_Uncounted_Note_And_Stops_Where_The_Count_Reads_On)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "SpeedNotice.Challenge.Gbx");
    const TMemory_Mask mask = 0x01;
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, mask), 0U);

    EXPECT_EQ(Read_Author(image, mask), "bigbang1112");
    const auto list = Challenge_Read_Block_List(image, mask);
    EXPECT_FALSE(list.Complete);
    EXPECT_EQ(list.Collection_Name, "Speed");
    ASSERT_EQ(list.Block_Offsets.size(), 1U);
    const auto note = Challenge_Read_Block(image, list, 0, mask);
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->Name_In_Place);
    EXPECT_EQ(note->Name.size(), 149U);
    EXPECT_NE(note->Name.find('\n'), std::string::npos);
    EXPECT_EQ(note->Variations, (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
}

TEST(Challenge_Read_Corpus, Large_Challenge_Walks_As_E02_Then_The_Copies_On_Their_Grid)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    const std::uint32_t block_count = 1000000;
    const TMemory_Mask mask = 0x5A;
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Uncompress(test::Masked(test::Make_Large_Challenge_File(block_count), mask),
                             image, mask),
              0U);

    const auto list = Challenge_Read_Block_List(image, mask);
    EXPECT_TRUE(list.Complete);
    EXPECT_EQ(list.String_Table.size(), 32U);
    ASSERT_EQ(list.Block_Offsets.size(), block_count);
    const auto last_real = Challenge_Read_Block(image, list, 906, mask);
    ASSERT_TRUE(last_real);
    EXPECT_EQ(last_real->Name, "StadiumRoadMain");
    EXPECT_EQ(std::vector<int>({last_real->X, last_real->Z, last_real->Y}),
              std::vector<int>({31, 1, 6}));
    // Copy i stands at the i-th place of a 32 x 32 x 32 grid, X fastest, then Z, then Y.
    for (const std::uint32_t copy : {0U, 1U, 33U, 1025U, block_count - 908}) {
        const auto block = Challenge_Read_Block(image, list, 907 + copy, mask);
        ASSERT_TRUE(block) << copy;
        EXPECT_EQ(block->Name, "StadiumRoadMain") << copy;
        EXPECT_EQ(std::vector<int>({block->X, block->Z, block->Y, block->Variations[0]}),
                  std::vector<int>({static_cast<int>(copy % 32), static_cast<int>(copy / 32 % 32),
                                    static_cast<int>(copy / 1024 % 32), 3}))
            << copy;
    }
}

} // namespace
} // namespace plotvane
