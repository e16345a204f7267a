#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "memory/Base_Structure.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// Stored bytes at `Offset` that become others, of any length (a record added or removed, a
// name rewritten in place).
struct TSpan_Change {
    std::uint32_t Offset = 0;
    std::vector<std::uint8_t> Old;
    std::vector<std::uint8_t> New;
};

// True when the body, after the block list, holds chunks of a game extension that point at
// blocks by their number (ids 0x3F001000 to 0x3F001003, each followed by the skippable-chunk
// mark "PIKS"): adding or removing records would make them point at other blocks.
bool Has_Block_Number_Chunks(const TFlexible_Byte_Array& image,
                             const TTMF_Challenge_Block_Address_List& list,
                             const TMemory_Mask& mask);

// Where record `index` of a complete walk ends: at the next record, or at the end of the list.
std::uint32_t Record_End(const TTMF_Challenge_Block_Address_List& list, std::size_t index);

// The lowest String_Table entry whose text is `name`, among those the file defines up to the
// end of the block list (and that a reference can name); 0 when there is none.
std::uint32_t Lowest_Entry_Named(const TTMF_Challenge_Block_Address_List& list,
                                 std::string_view name);

// Appends a record, stored (masked), that names entry `entry` by reference with `name_flags` as
// the high 16 bits of the value, then its eight bytes.
void Append_Reference_Record(std::vector<std::uint8_t>& records, std::uint16_t name_flags,
                             std::uint32_t entry, const TBlock_Field_Bytes& bytes,
                             const TMemory_Mask& mask);

// What removing the selected records changes, the highest offset first (each run of adjacent
// records one span), and how many of them the game counts; or the first record, in file order,
// that refuses. A record the game does not count never goes, nor may one be left after the last
// counted record. Every entry keeps its number: a text written in place by a removed record (its
// name, or its author record's author) goes when the next kept record that refers to it can
// take the text in place, no other text being defined between the two, or when nothing kept
// refers to it and no text is defined after it. A removed author record's node goes when no
// kept record refers to its number (chunks after the list are not read).
TEdit_Result Plan_Deletion(const TFlexible_Byte_Array& image,
                           const TTMF_Challenge_Block_Address_List& list,
                           const TBlock_Selection& selection, const TMemory_Mask& mask,
                           std::vector<TSpan_Change>& spans);

} // namespace plotvane
