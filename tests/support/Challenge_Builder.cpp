#include "tests/support/Challenge_Builder.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>

namespace plotvane::test {

namespace {

constexpr std::uint32_t Header_Chunk_Description = 0x03043002;
constexpr std::uint32_t Header_Chunk_Common = 0x03043003;
// Puts the common chunk's strings at file offset 111: 17 + 4 + 2 * 8 + 69 + 1 + 4.
constexpr std::size_t Description_Chunk_Size = 69;
constexpr std::uint32_t Body_First_Chunk = 0x0304300D;
constexpr std::uint32_t Skin_Class_Id = 0x03059000;
constexpr std::uint32_t Skin_Chunk_Id = 0x03059002;
constexpr std::uint32_t Waypoint_Class_Id = 0x2E009000;
constexpr std::uint32_t Skippable_Chunk = 0x534B4950;
constexpr std::uint32_t Node_End = 0xFACADE01;
// Numbers of the skin nodes that the builder gives; a test's own numbers stay below.
constexpr std::uint32_t First_Builder_Node = 1000;
// Filler of the stretches that the walk skips unread: read as a length it passes any end.
constexpr std::uint8_t Filler = 0xA5;

void Append_Length_Prefixed(TBytes& bytes, const std::string& text)
{
    Append_DWord(bytes, static_cast<std::uint32_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void Append_String(TBytes& bytes, const TFixture_String& string)
{
    Append_DWord(bytes, string.Value);
    if (string.Has_Text) {
        Append_Length_Prefixed(bytes, string.Text);
    }
}

void Append_Filler(TBytes& bytes, std::size_t count)
{
    bytes.insert(bytes.end(), count, Filler);
}

void Append_File_Part(TBytes& bytes, const TFixture_File_Part& part)
{
    if (part.File.empty()) {
        Append_DWord(bytes, 0);
        return;
    }
    Append_Length_Prefixed(bytes, part.File);
    Append_Length_Prefixed(bytes, part.Locator);
}

void Append_Skin_Node(TBytes& bytes, const TFixture_Attached_Record& skin)
{
    Append_DWord(bytes, Skin_Class_Id);
    Append_DWord(bytes, Skin_Chunk_Id);
    Append_Length_Prefixed(bytes, skin.Skin);
    bytes.push_back(1);
    Append_File_Part(bytes, skin.Part_A);
    bytes.push_back(1);
    Append_File_Part(bytes, skin.Part_B);
    Append_DWord(bytes, Node_End);
}

// The waypoint chunk (version 2: a tag, an order), then a skippable chunk, then the end.
void Append_Waypoint_Node(TBytes& bytes, const std::string& tag)
{
    Append_DWord(bytes, Waypoint_Class_Id);
    Append_DWord(bytes, Waypoint_Class_Id);
    Append_DWord(bytes, 2);
    Append_Length_Prefixed(bytes, tag);
    Append_DWord(bytes, 1);
    Append_DWord(bytes, Waypoint_Class_Id + 1);
    Append_DWord(bytes, Skippable_Chunk);
    Append_Length_Prefixed(bytes, std::string(8, '\0'));
    Append_DWord(bytes, Node_End);
}

void Append_Author_Record(TBytes& bytes, const TFixture_Author_Record& record,
                          std::uint32_t& next_node)
{
    Append_String(bytes, record.Author);
    if (record.Attached) {
        Append_DWord(bytes, record.Skin_Reference != No_Node ? record.Skin_Reference
                                                            : next_node++);
        Append_Skin_Node(bytes, *record.Attached);
    } else {
        Append_DWord(bytes, record.Skin_Reference);
    }
    if (record.Waypoint) {
        Append_DWord(bytes, record.Waypoint->Reference);
        if (record.Waypoint->Tag) {
            Append_Waypoint_Node(bytes, *record.Waypoint->Tag);
        }
    }
}

// A two-chunk table, a description chunk of fixed size, then the common chunk whose three
// strings start 94 bytes into the user data.
TBytes User_Data(const TChallenge_Description& description)
{
    TBytes common = {5};
    Append_DWord(common, 3);
    Append_String(common, description.Header_Uid);
    Append_String(common, description.Header_Environment);
    Append_String(common, description.Author_Login);
    Append_DWord(common, 0);

    TBytes user_data;
    Append_DWord(user_data, 2);
    Append_DWord(user_data, Header_Chunk_Description);
    Append_DWord(user_data, Description_Chunk_Size);
    Append_DWord(user_data, Header_Chunk_Common);
    Append_DWord(user_data, static_cast<std::uint32_t>(common.size()));
    user_data.insert(user_data.end(), Description_Chunk_Size, 0);
    user_data.insert(user_data.end(), common.begin(), common.end());
    return user_data;
}

// The body up to the block count, in the order the walk steps over it.
void Append_Body_Start(TBytes& body, const TChallenge_Description& description)
{
    Append_DWord(body, Body_First_Chunk);
    Append_DWord(body, static_cast<std::uint32_t>(description.Entries.size()));
    for (const TFixture_String& entry : description.Entries) {
        Append_String(body, entry);
    }
    Append_Filler(body, 96);
    for (int i = 1; i <= 4; ++i) {
        Append_Filler(body, 8);
        Append_Length_Prefixed(body, "Fixture field " + std::to_string(i));
    }
    Append_Filler(body, 4);
    Append_String(body, description.Map_Uid);
    Append_String(body, description.Collection);
    Append_String(body, description.Map_Author);
    Append_Length_Prefixed(body, description.Map_Name);
    for (const TFixture_String& string : description.Decoration) {
        Append_String(body, string);
    }
    for (const std::uint32_t value : description.Size) {
        Append_DWord(body, value);
    }
    Append_Filler(body, 8);
}

} // namespace

TFixture_String In_Place(std::string text, std::uint16_t flags)
{
    return {std::uint32_t{flags} << 16, std::move(text), true};
}

TFixture_String Reference(std::uint16_t index, std::uint16_t flags)
{
    return {index | (std::uint32_t{flags} << 16), {}, false};
}

TFixture_String Raw_Value(std::uint32_t value)
{
    return {value, {}, false};
}

TChallenge_Fixture Build_Challenge(const TChallenge_Description& description,
                                   std::uint8_t mask)
{
    const TBytes user_data = User_Data(description);
    const auto body_offset = static_cast<std::uint32_t>(33 + user_data.size());
    TChallenge_Fixture fixture;
    TBytes body;
    Append_Body_Start(body, description);
    fixture.Block_Count_Offset = body_offset + static_cast<std::uint32_t>(body.size());
    Append_DWord(body, description.Block_Count.value_or(
                           static_cast<std::uint32_t>(description.Blocks.size())));
    std::uint32_t next_node = First_Builder_Node;
    for (const TFixture_Block& block : description.Blocks) {
        fixture.Block_Offsets.push_back(body_offset + static_cast<std::uint32_t>(body.size()));
        Append_String(body, block.Name);
        body.insert(body.end(), block.Bytes.begin(), block.Bytes.end());
        if (block.Author_Record) {
            Append_Author_Record(body, *block.Author_Record, next_node);
        }
        fixture.Block_Ends.push_back(body_offset + static_cast<std::uint32_t>(body.size()));
    }
    body.insert(body.end(), description.Tail.begin(), description.Tail.end());

    // An expanded image is laid out like a file whose stream is the body and its end marker.
    fixture.Size_Fields_Offset = static_cast<std::uint32_t>(25 + user_data.size());
    const auto body_size = static_cast<std::uint32_t>(body.size());
    body.insert(body.end(), {0x11, 0x00, 0x00});
    const TBytes image = Make_Gbx_File(Challenge_Class_Id, user_data, body_size, body);
    fixture.Image = Masked(image, mask);
    return fixture;
}

std::uint32_t Write_Challenge_File(const std::string& path,
                                   const TChallenge_Description& description)
{
    const TMemory_Mask plain = 0;
    TFlexible_Byte_Array packed;
    const std::uint32_t status =
        Gbx_Compress(Build_Challenge(description, plain).Image, packed, 0, plain);
    if (status == 0) {
        Write_Plain_File(path, packed);
    }
    return status;
}

TChallenge_Description Fixture_Challenge()
{
    const auto block = [](TFixture_String name, std::uint8_t x) {
        TFixture_Block fixture_block;
        fixture_block.Name = std::move(name);
        fixture_block.Bytes = {1, x, 2, 3, 4, 5, 6, 7};
        return fixture_block;
    };
    TChallenge_Description description;
    description.Entries = {In_Place("Vehicle")};
    description.Decoration = {In_Place("Day"), Reference(2), Reference(3)};
    description.Blocks = {block(In_Place("StadiumRoadMain"), 10),
                          block(Reference(6), 11),
                          block(In_Place("StadiumCircuitBase"), 12),
                          block(Reference(7), 13),
                          block(In_Place("StadiumRoadMain"), 14),
                          block(Reference(9), 15),
                          block(In_Place("StadiumPlatform"), 16),
                          block(Reference(3), 17)};
    description.Blocks[2].Bytes[5] = 0x85;
    description.Blocks[2].Author_Record = TFixture_Author_Record{};
    return description;
}

std::vector<TFile_Block> Image_Blocks(const TFlexible_Byte_Array& image, TMemory_Mask mask)
{
    const auto list = Challenge_Read_Block_List(image, mask);
    EXPECT_TRUE(list.Complete);
    std::vector<TFile_Block> blocks;
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block(image, list, i, mask);
        EXPECT_TRUE(block) << i;
        blocks.push_back({list.Block_Offsets[i], block.value_or(TChallenge_Block{})});
    }
    return blocks;
}

} // namespace plotvane::test
