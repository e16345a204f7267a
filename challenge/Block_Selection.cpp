#include "challenge/Block_Selection.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>
#include <charconv>

namespace plotvane {

namespace {

std::optional<std::uint32_t> Parse_Block_Number(std::string_view text)
{
    // from_chars would also take a leading minus sign for an unsigned type on some libraries.
    if (text.empty() || !std::all_of(text.begin(), text.end(),
                                     [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

// The ranges sorted, overlapping and touching ones joined, cut at the last block.
std::vector<TBlock_Number_Range> Joined_Ranges(std::vector<TBlock_Number_Range> ranges,
                                               std::size_t block_count)
{
    std::sort(ranges.begin(), ranges.end(),
              [](const TBlock_Number_Range& a, const TBlock_Number_Range& b) {
                  return a.First < b.First;
              });
    std::vector<TBlock_Number_Range> joined;
    for (const TBlock_Number_Range& range : ranges) {
        if (range.First >= block_count) {
            break;
        }
        const auto last = static_cast<std::uint32_t>(
            std::min<std::size_t>(range.Last, block_count - 1));
        if (!joined.empty() && range.First <= std::uint64_t{joined.back().Last} + 1) {
            joined.back().Last = std::max(joined.back().Last, last);
        } else {
            joined.push_back({range.First, last});
        }
    }
    return joined;
}

// Which String_Table entries hold one of the names: one lookup per entry, not per block.
std::vector<bool> Entries_Named(const std::vector<std::string>& table,
                                std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    std::vector<bool> named(table.size(), false);
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
        named[entry] = std::binary_search(names.begin(), names.end(), table[entry]);
    }
    return named;
}

bool Inside(const TGrid_Box& box, const std::array<std::uint8_t, 3>& position)
{
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (position[axis] < box.Low[axis] || position[axis] > box.High[axis]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<TBlock_Number_Range> Parse_Block_Number_Range(std::string_view text)
{
    const std::size_t dash = text.find('-');
    const std::optional<std::uint32_t> first = Parse_Block_Number(text.substr(0, dash));
    const std::optional<std::uint32_t> last =
        dash == std::string_view::npos ? first : Parse_Block_Number(text.substr(dash + 1));
    if (!first || !last || *first > *last) {
        return std::nullopt;
    }
    return TBlock_Number_Range{*first, *last};
}

TGrid_Box Grid_Box_Between(const std::array<std::uint8_t, 3>& corner,
                           const std::array<std::uint8_t, 3>& other_corner)
{
    TGrid_Box box;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        box.Low[axis] = std::min(corner[axis], other_corner[axis]);
        box.High[axis] = std::max(corner[axis], other_corner[axis]);
    }
    return box;
}

TBlock_Selection Select_Blocks(const TFlexible_Byte_Array& image,
                               const TTMF_Challenge_Block_Address_List& list,
                               const TBlock_Criteria& criteria, const TMemory_Mask& mask)
{
    const std::size_t block_count = list.Block_Offsets.size();
    const std::vector<TBlock_Number_Range> ranges =
        criteria.Numbers.empty()
            ? std::vector<TBlock_Number_Range>{}
            : Joined_Ranges(criteria.Numbers, block_count);
    const std::vector<bool> named = criteria.Names.empty()
                                        ? std::vector<bool>()
                                        : Entries_Named(list.String_Table, criteria.Names);
    // A reference past the table names an empty text.
    const bool empty_named = std::find(criteria.Names.begin(), criteria.Names.end(),
                                       std::string()) != criteria.Names.end();
    const auto takes = [&](std::uint32_t block) {
        if (criteria.Names.empty() && criteria.Boxes.empty()) {
            return true;
        }
        const auto view = Challenge_Read_Block_View(image, list, block, mask);
        if (!view) {
            return false;
        }
        if (!criteria.Names.empty() &&
            !(view->Name_Index < named.size() ? named[view->Name_Index] : empty_named)) {
            return false;
        }
        const std::array<std::uint8_t, 3> position = {view->X, view->Z, view->Y};
        return criteria.Boxes.empty() ||
               std::any_of(criteria.Boxes.begin(), criteria.Boxes.end(),
                           [&](const TGrid_Box& box) { return Inside(box, position); });
    };

    TBlock_Selection selection;
    const auto take_range = [&](std::uint32_t first, std::uint32_t last) {
        for (std::uint64_t block = first; block <= last; ++block) {
            if (takes(static_cast<std::uint32_t>(block))) {
                selection.push_back(static_cast<std::uint32_t>(block));
            }
        }
    };
    if (criteria.Numbers.empty()) {
        if (block_count != 0) {
            selection.reserve(criteria.Takes_Every_Block() ? block_count : 0);
            take_range(0, static_cast<std::uint32_t>(block_count - 1));
        }
    } else {
        for (const TBlock_Number_Range& range : ranges) {
            take_range(range.First, range.Last);
        }
    }
    return selection;
}

} // namespace plotvane
