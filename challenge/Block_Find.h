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

// What a find text asks of a block. Every term must hold.
struct TBlock_Find {
    // Parts of the name, lower-cased: each must occur in the name, letter case ignored.
    std::vector<std::string> Name_Parts;
    // Inclusive ranges of the position bytes X, Z (the height) and Y.
    std::array<std::optional<std::array<std::uint8_t, 2>>, 3> Positions;
    // true: names written in place only; false: names by reference only.
    std::optional<bool> Name_In_Place;
};

// Reads a find text: terms separated by spaces, each `x=N`, `z=N`, `y=N` or a range such as
// `x=3-12` (0 to 255), `kind=P` (name in place) or `kind=@` (by reference), or else a part of
// the name. Nothing, with `error` saying which term is wrong and how to write it, when a term
// that names a field holds no valid value.
std::optional<TBlock_Find> Parse_Block_Find(std::string_view text, std::string& error);

// The numbers of the blocks of a walk that the find matches, in order. Each String_Table entry
// is matched once, so a million blocks cost a lookup each beyond their eight bytes.
std::vector<std::uint32_t> Find_Blocks(const TFlexible_Byte_Array& image,
                                       const TTMF_Challenge_Block_Address_List& list,
                                       const TBlock_Find& find, const TMemory_Mask& mask);

} // namespace plotvane
