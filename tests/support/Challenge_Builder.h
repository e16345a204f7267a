#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plotvane::test {

// An indexed string as a fixture writes it: the 32-bit value (index in the low 16 bits, flags
// in the high 16), then, for a text written in place, its length and its bytes.
struct TFixture_String {
    std::uint32_t Value = 0;
    std::string Text;
    bool Has_Text = false;
};

TFixture_String In_Place(std::string text, std::uint16_t flags = 0x4000);
TFixture_String Reference(std::uint16_t index, std::uint16_t flags = 0x4000);
// Only these 4 bytes, whatever their low 16 bits say (0xFFFFFFFF for an unset leading entry).
TFixture_String Raw_Value(std::uint32_t value);

// Empty File: the part is a single zero value. Otherwise two length-prefixed fields.
struct TFixture_File_Part {
    std::string File;
    std::string Locator;
};

struct TFixture_Attached_Record {
    std::string Skin = "Skins\\Any\\Advertisement\\Fixture.zip";
    TFixture_File_Part Part_A;
    TFixture_File_Part Part_B;
};

// A node reference that names no node.
constexpr std::uint32_t No_Node = 0xFFFFFFFF;

// A waypoint node reference, and the node itself (a tag text) when `Tag` is set.
struct TFixture_Waypoint {
    std::uint32_t Reference = No_Node;
    std::optional<std::string> Tag;
};

// What follows a block whose flags (variation 2 bit 7) say so: the author string, then the
// skin node reference: `Skin_Reference`, or a new node number when `Attached` gives the node.
// A waypoint reference ends it when set (the block's flags must then have variation 3 bit 4).
struct TFixture_Author_Record {
    TFixture_String Author = In_Place("Nadeo");
    std::optional<TFixture_Attached_Record> Attached;
    std::uint32_t Skin_Reference = No_Node;
    std::optional<TFixture_Waypoint> Waypoint = std::nullopt;
};

struct TFixture_Block {
    TFixture_String Name;
    std::array<std::uint8_t, 8> Bytes{}; // rotation, X, Z, Y, variation 1 to 4
    std::optional<TFixture_Author_Record> Author_Record;
};

// What a test says about a challenge; everything else gets a plausible default.
struct TChallenge_Description {
    // The three strings at offset 111 of the header's user data; the third is the login.
    TFixture_String Header_Uid = In_Place("FixtureMapUid", 0x8000);
    TFixture_String Header_Environment = In_Place("Stadium");
    TFixture_String Author_Login = In_Place("fixture_player", 0x8000);
    // The counted entries at the start of the body.
    std::vector<TFixture_String> Entries;
    TFixture_String Map_Uid = In_Place("FixtureMapUid");
    TFixture_String Collection = In_Place("Stadium");
    TFixture_String Map_Author = In_Place("fixture_player");
    std::string Map_Name = "Fixture map";
    std::array<TFixture_String, 3> Decoration = {In_Place("Day"), Reference(2), Reference(3)};
    // In grid cells: X, Z (the height), Y.
    std::array<std::uint32_t, 3> Size = {32, 32, 32};
    std::vector<TFixture_Block> Blocks;
    // Written as the block count instead of the number of blocks when set.
    std::optional<std::uint32_t> Block_Count;
    // The rest of the body after the block list; by default the id of the chunk that follows
    // it in the game's files, then an end-of-chunks value.
    std::vector<std::uint8_t> Tail = {0x21, 0x30, 0x04, 0x03, 0x00, 0x00, 0x00, 0x00,
                                      0x01, 0xDE, 0xCA, 0xFA};
};

// A masked expanded image and where the builder put things in it.
struct TChallenge_Fixture {
    TFlexible_Byte_Array Image;
    std::uint32_t Size_Fields_Offset = 0;
    std::uint32_t Block_Count_Offset = 0;
    std::vector<std::uint32_t> Block_Offsets;
    std::vector<std::uint32_t> Block_Ends; // after the author record, when there is one
};

TChallenge_Fixture Build_Challenge(const TChallenge_Description& description,
                                   std::uint8_t mask);

// Writes the challenge as a file with its body packed by Gbx_Compress; returns its status.
std::uint32_t Write_Challenge_File(const std::string& path,
                                   const TChallenge_Description& description);

// Eight blocks, names in place and by reference, block 2 followed by an author record (its
// variations 4, 0x85, 6, 7). Its
// String_Table: 1 Vehicle, 2 FixtureMapUid, 3 Stadium, 4 fixture_player, 5 Day, then the texts
// of the blocks: 6 StadiumRoadMain, 7 StadiumCircuitBase, 8 Nadeo (the author record), 9
// StadiumRoadMain again, 10 StadiumPlatform.
TChallenge_Description Fixture_Challenge();

// A block as the core's walk reads it.
struct TFile_Block {
    std::uint32_t Offset; // in the expanded image
    TChallenge_Block Block;
};

// Every block of a fresh walk of an expanded image, which must reach the end of the list.
std::vector<TFile_Block> Image_Blocks(const TFlexible_Byte_Array& image, TMemory_Mask mask);

} // namespace plotvane::test
