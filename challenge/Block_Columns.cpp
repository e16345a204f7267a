#include "challenge/Block_Columns.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>
#include <numeric>

namespace plotvane {

// Two stable counting sorts: by height from the top, then by column, so that each column lists
// its blocks topmost first and, within a height, in list order.
TBlock_Columns::TBlock_Columns(const TFlexible_Byte_Array& image,
                               const TTMF_Challenge_Block_Address_List& list,
                               const TMemory_Mask& mask)
{
    struct TPlace {
        std::uint16_t Column;
        std::uint8_t Depth; // 255 - Z: the topmost block has the smallest
    };
    std::vector<TPlace> places;
    places.reserve(list.Block_Offsets.size());
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block_View(image, list, i, mask);
        if (!block) {
            break;
        }
        places.push_back({static_cast<std::uint16_t>(Column(block->X, block->Y)),
                          static_cast<std::uint8_t>(255 - block->Z)});
        tops_[Column(block->X, block->Y)] = std::max(tops_[Column(block->X, block->Y)], block->Z);
    }
    std::vector<std::uint32_t> depth_starts(257, 0);
    for (const TPlace& place : places) {
        ++depth_starts[place.Depth + 1U];
        ++starts_[place.Column + 1U];
    }
    std::partial_sum(depth_starts.begin(), depth_starts.end(), depth_starts.begin());
    std::partial_sum(starts_.begin(), starts_.end(), starts_.begin());
    std::vector<std::uint32_t> by_depth(places.size());
    for (std::uint32_t i = 0; i < places.size(); ++i) {
        by_depth[depth_starts[places[i].Depth]++] = i;
    }
    std::vector<std::uint32_t> next = starts_;
    blocks_.resize(places.size());
    for (const std::uint32_t block : by_depth) {
        blocks_[next[places[block].Column]++] = block;
    }
}

std::vector<std::uint32_t> TBlock_Columns::Blocks_At(std::uint8_t x, std::uint8_t y) const
{
    const std::uint32_t column = Column(x, y);
    return {blocks_.begin() + starts_[column], blocks_.begin() + starts_[column + 1]};
}

std::uint32_t TBlock_Columns::Count_At(std::uint8_t x, std::uint8_t y) const
{
    const std::uint32_t column = Column(x, y);
    return starts_[column + 1] - starts_[column];
}

std::uint8_t TBlock_Columns::Top_At(std::uint8_t x, std::uint8_t y) const
{
    return tops_[Column(x, y)];
}

} // namespace plotvane
