#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// An inclusive range of a position byte, low to high.
using TByte_Range = std::array<std::uint8_t, 2>;

// What a find text asks of a block, as the selections of plotvane-cli do: the terms of one
// field take the blocks that any of them takes, and the fields given narrow each other. A field
// without terms takes every block.
struct TBlock_Find {
    // Parts of the name, lower-cased: each must occur in the name, letter case ignored (typing
    // more of the name narrows the list).
    std::vector<std::string> Name_Parts;
    // Ranges of the position bytes X, Z (the height) and Y.
    std::array<std::vector<TByte_Range>, 3> Positions;
    // The kinds of name taken: true written in place, false by reference.
    std::vector<bool> Name_In_Place;
};

// Reads a find text: terms separated by spaces, each `x=N`, `z=N`, `y=N` or a range such as
// `x=3-12` (0 to 255), `kind=P` (name in place) or `kind=@` (by reference), or else a part of
// the name. `x=3 x=9` takes the blocks at X 3 and those at X 9; `x=3 z=1` those at X 3 and Z 1.
// Nothing, with `error` saying which term is wrong and how to write it, when a term that names
// a field holds no valid value.
std::optional<TBlock_Find> Parse_Block_Find(std::string_view text, std::string& error);

// The numbers of the blocks of a walk that the find matches, in order. Each String_Table entry
// is matched once, so a million blocks cost a lookup each beyond their eight bytes.
std::vector<std::uint32_t> Find_Blocks(const TFlexible_Byte_Array& image,
                                       const TTMF_Challenge_Block_Address_List& list,
                                       const TBlock_Find& find, const TMemory_Mask& mask);

} // namespace plotvane
