#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// Block numbers from First to Last, both included.
struct TBlock_Number_Range {
    std::uint32_t First = 0;
    std::uint32_t Last = 0;
};

// Grid positions from Low to High on each axis, both included, in the order of a block's
// position bytes: X, Z (the height), Y.
struct TGrid_Box {
    std::array<std::uint8_t, 3> Low{};
    std::array<std::uint8_t, 3> High{};
};

// Which blocks to take. Each kind (numbers, names, boxes) takes the blocks that any of its
// items takes; the kinds given narrow each other; none given takes every block.
struct TBlock_Criteria {
    std::vector<TBlock_Number_Range> Numbers;
    // Exact name bytes.
    std::vector<std::string> Names;
    std::vector<TGrid_Box> Boxes;

    bool Takes_Every_Block() const { return Numbers.empty() && Names.empty() && Boxes.empty(); }
};

// "N" or "N-M" (decimal digits only, N at most M, both below 2^32); nothing for anything else.
std::optional<TBlock_Number_Range> Parse_Block_Number_Range(std::string_view text);

// The box between two corners given in any order.
TGrid_Box Grid_Box_Between(const std::array<std::uint8_t, 3>& corner,
                           const std::array<std::uint8_t, 3>& other_corner);

// The numbers of the blocks of the walk `list` of `image` that the criteria take, in ascending
// order. Numbers past the walk's last block take nothing. Costs one pass over the blocks asked
// about (only those of the number ranges when some are given) and no allocation per block.
TBlock_Selection Select_Blocks(const TFlexible_Byte_Array& image,
                               const TTMF_Challenge_Block_Address_List& list,
                               const TBlock_Criteria& criteria, const TMemory_Mask& mask);

} // namespace plotvane
