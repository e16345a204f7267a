#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace plotvane {

// The eight single bytes of a block record, in record order: rotation, X, Z, Y, variation 1 to 4.
using TBlock_Field_Bytes = std::array<std::uint8_t, 8>;

// The eight bytes of a block as read.
template <typename TName>
TBlock_Field_Bytes Field_Bytes_Of(const TChallenge_Block_Of<TName>& block)
{
    return {block.Rotation,      block.X,
            block.Z,             block.Y,
            block.Variations[0], block.Variations[1],
            block.Variations[2], block.Variations[3]};
}

// The highest rotation; a rotation above it is written as it.
constexpr std::uint8_t Block_Rotation_Max = 3;

// The rotation byte written for `given` over `stored`: a new rotation above Block_Rotation_Max
// becomes Block_Rotation_Max; one equal to the stored byte keeps it, whatever it is.
constexpr std::uint8_t Rotation_To_Write(std::uint8_t stored, std::uint8_t given)
{
    return given == stored || given <= Block_Rotation_Max ? given : Block_Rotation_Max;
}

enum class TBlock_Write_Status {
    Written,
    // The walk did not reach this block, or its record no longer lies inside the image.
    Block_Not_Walked,
    // A referenced name whose text is not among the names the file has defined up to this
    // block: a reference to it would point at nothing, or ahead of its definition.
    Name_Not_Defined,
    // An in-place rename needs the body size fields, which the walk did not reach.
    Size_Fields_Not_Walked,
    // An in-place rename would make the image longer than its 32-bit length can say.
    Image_Too_Large,
};

// Writes one block of an expanded challenge image, as the walk `list` of the same image found
// it, and says whether it did; a refusal writes nothing.
//
// A referenced name that already names `name` keeps its bytes; otherwise it gets the lowest
// String_Table index, from 1 up to the last one the file had defined at this block, whose text
// equals `name` (the flags stay). A name written in place
// gets `name` as its text: the rest of the image shifts by the change of length and both body
// size fields change by it; later blocks that refer to the name take the new text. Then the
// eight bytes, a new rotation above Block_Rotation_Max becoming Block_Rotation_Max (a rotation
// equal to the stored byte keeps it, whatever it is). Names are byte
// strings compared exactly. After an in-place rename the walk's later offsets are stale: walk
// the image again.
TBlock_Write_Status Challenge_Write_Block(TFlexible_Byte_Array& image,
                                          const TTMF_Challenge_Block_Address_List& list,
                                          std::size_t block_index, const std::string& name,
                                          const TBlock_Field_Bytes& bytes,
                                          const TMemory_Mask& mask);

// The game reads the four variation bytes as one little-endian 32-bit flags value: bit 15
// says that an author record follows the block, bit 20 beside it that the record ends with a
// waypoint node reference, and 0xFFFFFFFF marks a record that it does not count as a block.
// True when writing `new_variations` over `old_variations` changes any of these, so that the
// game may no longer read the challenge as it did.
bool Variations_Change_Game_Reading(const std::array<std::uint8_t, 4>& old_variations,
                                    const std::array<std::uint8_t, 4>& new_variations);

// The same rule on the four bytes read as the game reads them, a little-endian 32-bit value;
// inline, as a batch over a million blocks asks it of each.
inline bool Flags_Change_Game_Reading(std::uint32_t old_value, std::uint32_t new_value)
{
    const std::uint32_t changed = old_value ^ new_value;
    // The waypoint flag is read only beside the author record flag.
    const bool author_record = (old_value & Author_Record_Flag) != 0;
    return (changed & Author_Record_Flag) != 0 ||
           (author_record && (changed & Waypoint_Flag) != 0) ||
           (old_value == Uncounted_Record_Flags) != (new_value == Uncounted_Record_Flags);
}

} // namespace plotvane
