#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace plotvane {

// The blocks of a walk by grid column, seen from above: a column is an X and a Y byte (Z, the
// second position byte, is the height). Built once per change of the image, it answers which
// blocks stand in a column, and which is on top, without a search over the list.
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
    // The first block, in list order, at the column's highest Z: what a click there picks.
    std::optional<std::uint32_t> Top_Block_At(std::uint8_t x, std::uint8_t y) const;
    // The column (X, Y) of a block; nothing for a block the index does not hold.
    std::optional<std::array<std::uint8_t, 2>> Column_Of(std::uint32_t block) const;

private:
    static std::uint32_t Column(unsigned x, unsigned y) { return x * 256U + y; }
    static constexpr std::uint32_t Column_Count = 256 * 256;

    struct TColumn {
        std::uint32_t Count = 0;
        std::uint32_t Top_Block = 0;
        // The column's blocks form a chain from its last block in list order back to its first.
        std::uint32_t Last_Block = 0;
        std::uint8_t Top = 0;
    };

    std::vector<TColumn> columns_ = std::vector<TColumn>(Column_Count);
    std::vector<std::uint32_t> previous_in_column_;
    std::vector<std::uint8_t> heights_;
    std::vector<std::uint16_t> column_of_;
};

} // namespace plotvane
