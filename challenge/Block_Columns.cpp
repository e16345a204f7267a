#include "challenge/Block_Columns.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>
#include <utility>

namespace plotvane {

namespace {

// A block's X, Z and Y bytes, read after its rotation byte; nothing when its record does not
// lie in the image.
std::optional<std::array<std::uint8_t, 3>> Position_Of(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    std::uint32_t block, TMemory_Mask mask)
{
    const std::optional<std::uint32_t> fields =
        Challenge_Block_Fields_Offset(image, list, block, mask);
    if (!fields) {
        return std::nullopt;
    }
    const std::uint8_t* const position = image.data() + *fields + 1;
    return std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(position[0] ^ mask),
                                       static_cast<std::uint8_t>(position[1] ^ mask),
                                       static_cast<std::uint8_t>(position[2] ^ mask)};
}

} // namespace

// One pass: each block counts in its column and may become its top. The blocks of a column
// are found again, by another pass, only when asked for.
TBlock_Columns::TBlock_Columns(const TFlexible_Byte_Array& image,
                               const TTMF_Challenge_Block_Address_List& list,
                               const TMemory_Mask& mask)
    : image_(&image), list_(&list), mask_(mask)
{
    const std::size_t count = list.Block_Offsets.size();
    std::uint32_t block = 0;
    for (; block < count; ++block) {
        const auto position = Position_Of(image, list, block, mask);
        if (!position) {
            break;
        }
        const auto [x, height, y] = *position;
        TColumn& column = columns_[Column(x, y)];
        if (column.Count == 0 || height > column.Top) {
            column.Top = height;
            column.Top_Block = block;
        }
        ++column.Count;
    }
    blocks_ = block;
}

template <typename TVisit>
void TBlock_Columns::For_Each_Block(TVisit visit) const
{
    for (std::uint32_t block = 0; block < blocks_; ++block) {
        const auto position = Position_Of(*image_, *list_, block, mask_);
        if (!position) {
            return; // the image changed since the index was built
        }
        visit(block, *position);
    }
}

std::vector<std::uint32_t> TBlock_Columns::Blocks_At(std::uint8_t x, std::uint8_t y) const
{
    // Each block with its height, for the sort.
    std::vector<std::pair<std::uint32_t, std::uint8_t>> found;
    found.reserve(Count_At(x, y));
    For_Each_Block([&found, x, y](std::uint32_t block, const std::array<std::uint8_t, 3>& at) {
        if (at[0] == x && at[2] == y) {
            found.emplace_back(block, at[1]);
        }
    });
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::uint32_t> blocks;
    blocks.reserve(found.size());
    for (const auto& [block, height] : found) {
        blocks.push_back(block);
    }
    return blocks;
}

std::vector<std::uint32_t> TBlock_Columns::Blocks_In(std::uint8_t x0, std::uint8_t y0,
                                                     std::uint8_t x1, std::uint8_t y1) const
{
    std::vector<std::uint32_t> blocks;
    For_Each_Block([&](std::uint32_t block, const std::array<std::uint8_t, 3>& at) {
        if (at[0] >= x0 && at[0] <= x1 && at[2] >= y0 && at[2] <= y1) {
            blocks.push_back(block);
        }
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
    if (block >= blocks_) {
        return std::nullopt;
    }
    const auto position = Position_Of(*image_, *list_, block, mask_);
    if (!position) {
        return std::nullopt;
    }
    return std::array<std::uint8_t, 2>{(*position)[0], (*position)[2]};
}

} // namespace plotvane
