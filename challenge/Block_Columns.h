#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <cstdint>
#include <vector>

namespace plotvane {

// The blocks of a walk by grid column, seen from above: a column is an X and a Y byte (Z, the
// second position byte, is the height). Built once per change of the image, it answers which
// blocks stand in a column without a search, topmost first.
class TBlock_Columns {
public:
    TBlock_Columns() = default;
    TBlock_Columns(const TFlexible_Byte_Array& image,
                   const TTMF_Challenge_Block_Address_List& list, const TMemory_Mask& mask);

    // The blocks in column (x, y): the highest Z first, blocks of one height in list order.
    std::vector<std::uint32_t> Blocks_At(std::uint8_t x, std::uint8_t y) const;
    // The number of blocks in the column, and the highest Z among them (0 when empty).
    std::uint32_t Count_At(std::uint8_t x, std::uint8_t y) const;
    std::uint8_t Top_At(std::uint8_t x, std::uint8_t y) const;

private:
    static std::uint32_t Column(std::uint8_t x, std::uint8_t y) { return x * 256U + y; }

    // Column c holds blocks_[starts_[c]] up to blocks_[starts_[c + 1]].
    std::vector<std::uint32_t> starts_ = std::vector<std::uint32_t>(256 * 256 + 1, 0);
    std::vector<std::uint32_t> blocks_;
    std::vector<std::uint8_t> tops_ = std::vector<std::uint8_t>(256 * 256, 0);
};

} // namespace plotvane
