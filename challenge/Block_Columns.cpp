#include "challenge/Block_Columns.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>

namespace plotvane {

// One pass: each block joins the chain of its column and may become its top. A column's full
// order is made only when asked for.
TBlock_Columns::TBlock_Columns(const TFlexible_Byte_Array& image,
                               const TTMF_Challenge_Block_Address_List& list,
                               const TMemory_Mask& mask)
{
    const std::size_t count = list.Block_Offsets.size();
    previous_in_column_.resize(count);
    heights_.resize(count);
    column_of_.resize(count);
    std::uint32_t block = 0;
    for (; block < count; ++block) {
        const std::optional<std::uint32_t> fields =
            Challenge_Block_Fields_Offset(image, list, block, mask);
        if (!fields) {
            break;
        }
        const std::uint8_t* position = image.data() + *fields + 1;
        const std::uint32_t place = Column(position[0] ^ mask, position[2] ^ mask);
        TColumn& column = columns_[place];
        const auto height = static_cast<std::uint8_t>(position[1] ^ mask);
        if (column.Count == 0 || height > column.Top) {
            column.Top = height;
            column.Top_Block = block;
        }
        ++column.Count;
        previous_in_column_[block] = column.Last_Block;
        column.Last_Block = block;
        heights_[block] = height;
        column_of_[block] = static_cast<std::uint16_t>(place);
    }
    previous_in_column_.resize(block);
    heights_.resize(block);
    column_of_.resize(block);
}

std::vector<std::uint32_t> TBlock_Columns::Blocks_At(std::uint8_t x, std::uint8_t y) const
{
    const TColumn& column = columns_[Column(x, y)];
    std::vector<std::uint32_t> blocks(column.Count);
    std::uint32_t block = column.Last_Block;
    for (auto place = blocks.rbegin(); place != blocks.rend(); ++place) {
        *place = block;
        block = previous_in_column_[block];
    }
    std::stable_sort(blocks.begin(), blocks.end(), [this](std::uint32_t a, std::uint32_t b) {
        return heights_[a] > heights_[b];
    });
    return blocks;
}

std::uint32_t TBlock_Columns::Count_At(std::uint8_t x, std::uint8_t y) const
{
    return columns_[Column(x, y)].Count;
}

std::uint8_t TBlock_Columns::Top_At(std::uint8_t x, std::uint8_t y) const
{
    return columns_[Column(x, y)].Top;
}

std::optional<std::uint32_t> TBlock_Columns::Top_Block_At(std::uint8_t x, std::uint8_t y) const
{
    const TColumn& column = columns_[Column(x, y)];
    return column.Count == 0 ? std::nullopt : std::optional<std::uint32_t>(column.Top_Block);
}

std::optional<std::array<std::uint8_t, 2>> TBlock_Columns::Column_Of(std::uint32_t block) const
{
    if (block >= column_of_.size()) {
        return std::nullopt;
    }
    const std::uint16_t place = column_of_[block];
    return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(place >> 8),
                                       static_cast<std::uint8_t>(place & 0xFF)};
}

} // namespace plotvane
