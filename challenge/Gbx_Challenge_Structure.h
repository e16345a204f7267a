#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// Where the blocks of a challenge lie in its expanded image, as one walk found them. The
// offsets hold until the image is next changed.
struct TTMF_Challenge_Block_Address_List {
    // Offset of the uncompressed-size field; the compressed-size field follows at +4.
    // 0 when the walk stopped before reaching it.
    std::uint32_t Size_Fields_Offset = 0;
    std::string Collection_Name;
    // The challenge's size in grid cells, in the order of a block's position bytes (X, Z the
    // height, Y): a block stands inside when each byte is below its value. Empty when the walk
    // stopped before it.
    std::optional<std::array<std::uint32_t, 3>> Challenge_Size;
    // Element k (k >= 1) is the k-th text written in place that the walk read, which is what a
    // reference with index k names. Element 0 is never referenced.
    std::vector<std::string> String_Table{"null"};
    // String_Table index of block 0's name when written in place; 0 when it is a reference.
    std::uint32_t First_Block_Name_Index = 0;
    // Per block record (a record that the game does not count as a block included): the last
    // String_Table index once the block's name has been read.
    std::vector<std::uint32_t> Last_String_Indexes;
    // Per block record: its offset, where its name begins.
    std::vector<std::uint32_t> Block_Offsets;
    // Offset of the block count that leads the list; 0 when the walk did not reach it.
    std::uint32_t Block_Count_Offset = 0;
    // Where the list ends, after its last record (and that record's author record); 0 unless
    // the walk is Complete.
    std::uint32_t Block_List_End = 0;
    // False when the image ended before the walk did: the two per-block arrays then hold only
    // the blocks walked in whole, and String_Table every text read in whole.
    bool Complete = false;
};

// The four variation bytes of a block record, read as the game reads them (one little-endian
// 32-bit value), are its flags: this one says that an author record follows the block, this one
// beside it that the record ends with a waypoint node reference, and this value marks a record
// that the game does not count as a block.
constexpr std::uint32_t Author_Record_Flag = 1U << 15;
constexpr std::uint32_t Waypoint_Flag = 1U << 20;
constexpr std::uint32_t Uncounted_Record_Flags = 0xFFFFFFFF;

// One block record as shown to the user: the name, then the eight bytes in record order.
// TName is std::string for a block of its own, or std::string_view for a block whose name is
// read where a walk holds it.
template <typename TName>
struct TChallenge_Block_Of {
    TName Name;                 // resolved text; empty for a reference past the table
    bool Name_In_Place = false;
    std::uint32_t Name_Index = 0; // String_Table index of the name, in place or referenced
    std::uint8_t Rotation = 0;
    std::uint8_t X = 0;
    std::uint8_t Z = 0;
    std::uint8_t Y = 0;
    std::array<std::uint8_t, 4> Variations{};
};

using TChallenge_Block = TChallenge_Block_Of<std::string>;
// Its name lies in the String_Table of the walk that read it and lives as long as that walk.
using TChallenge_Block_View = TChallenge_Block_Of<std::string_view>;

} // namespace plotvane
