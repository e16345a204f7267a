#pragma once

#include "challenge/Block_Columns.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace plotvane {

// The blocks that make a race, as their names tell: where it starts, where it ends (a
// multilap start is both) and its checkpoints.
enum TBlock_Mark : std::uint8_t {
    Mark_Start = 1,
    Mark_Finish = 2,
    Mark_Checkpoint = 4,
};

// The marks of a block name. Pillars and supports under such a block, and slopes named after
// where they start ("BiSlopeStart"), carry none.
std::uint8_t Block_Marks_Of(std::string_view name);

// A challenge seen from above: its blocks by grid column (X across, Y down; Z is the height),
// the marks of each column and the extent of the grid to draw. Its columns read the image and
// the walk it was made of, which must outlive it and stay as they are while it is asked.
class TChallenge_Map {
public:
    TChallenge_Map() = default;
    TChallenge_Map(const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
                   const TMemory_Mask& mask);

    const TBlock_Columns& Columns() const { return columns_; }
    // The challenge's size (X, Z, Y) as its header gives it, when the walk read it.
    const std::optional<std::array<std::uint32_t, 3>>& Size() const { return size_; }
    // The grid drawn: the size, widened to every block, with at least one column; X runs
    // from 0 to Width() - 1, Y from 0 to Depth() - 1, Z from 0 to Height() - 1.
    unsigned Width() const { return extent_[0]; }
    unsigned Height() const { return extent_[1]; }
    unsigned Depth() const { return extent_[2]; }
    // The lowest and the highest of the columns' topmost blocks: the heights the map shows
    // (0 and 0 without a block). A block under another never shows, whatever its height.
    unsigned Lowest_Top() const { return tops_[0]; }
    unsigned Highest_Top() const { return tops_[1]; }
    // The marks of the blocks in column (x, y), or-ed together.
    std::uint8_t Marks_At(std::uint8_t x, std::uint8_t y) const { return marks_[x * 256U + y]; }

private:
    TBlock_Columns columns_;
    std::optional<std::array<std::uint32_t, 3>> size_;
    std::array<unsigned, 3> extent_{1, 1, 1};
    std::array<unsigned, 2> tops_{0, 0};
    std::vector<std::uint8_t> marks_ = std::vector<std::uint8_t>(256 * 256);
};

} // namespace plotvane
