#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace plotvane {

// The blocks of a walk by grid column, seen from above: a column is an X and a Y byte (Z, the
// second position byte, is the height). Built once per change of the image, it keeps each
// column's count and topmost block, which drawing and a click need, and nothing per block: a
// challenge of a million blocks would otherwise hold megabytes more beside its image. What
// needs the blocks themselves reads their records again: the index reads the image and the
// walk it was built from, which must outlive it and stay as they are while it is asked.
class TBlock_Columns {
public:
    TBlock_Columns() = default;
    TBlock_Columns(const TFlexible_Byte_Array& image,
                   const TTMF_Challenge_Block_Address_List& list, const TMemory_Mask& mask);

    // The blocks in column (x, y): the highest Z first, blocks of one height in list order.
    // One pass over the blocks.
    std::vector<std::uint32_t> Blocks_At(std::uint8_t x, std::uint8_t y) const;
    // The blocks of every column from X x0 to x1 and Y y0 to y1 (inclusive), in list order.
    // One pass over the blocks.
    std::vector<std::uint32_t> Blocks_In(std::uint8_t x0, std::uint8_t y0, std::uint8_t x1,
                                         std::uint8_t y1) const;
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
        std::uint8_t Top = 0;
    };

    // Calls `visit(block, position)` for each block the index holds, in list order, with its
    // X, Z and Y bytes.
    template <typename TVisit>
    void For_Each_Block(TVisit visit) const;

    std::vector<TColumn> columns_ = std::vector<TColumn>(Column_Count);
    const TFlexible_Byte_Array* image_ = nullptr;
    const TTMF_Challenge_Block_Address_List* list_ = nullptr;
    TMemory_Mask mask_ = 0;
    // The blocks from the first that the index holds: those whose records lay in the image.
    std::uint32_t blocks_ = 0;
};

} // namespace plotvane
