#include "challenge/Challenge_Map.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>

namespace plotvane {

namespace {

bool Ends_With(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool Contains_Ignoring_Case(std::string_view text, std::string_view lowered_part)
{
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::search(text.begin(), text.end(), lowered_part.begin(), lowered_part.end(),
                       [&lower](char a, char b) { return lower(a) == b; }) != text.end();
}

} // namespace

std::uint8_t Block_Marks_Of(std::string_view name)
{
    if (Ends_With(name, "Pillar") || Ends_With(name, "Support")) {
        return 0;
    }
    std::uint8_t marks = 0;
    if (name.find("StartLine") != std::string_view::npos ||
        name.find("StartFinish") != std::string_view::npos) {
        marks |= Mark_Start;
    }
    if (name.find("Finish") != std::string_view::npos) {
        marks |= Mark_Finish;
    }
    if (Contains_Ignoring_Case(name, "checkpoint")) {
        marks |= Mark_Checkpoint;
    }
    return marks;
}

// The column index, then one pass over the blocks for their marks and the grid's extent. A
// name is looked at once per String_Table entry, not once per block.
TChallenge_Map::TChallenge_Map(const TFlexible_Byte_Array& image,
                               const TTMF_Challenge_Block_Address_List& list,
                               const TMemory_Mask& mask)
    : columns_(image, list, mask), size_(list.Challenge_Size)
{
    const std::vector<std::string>& table = list.String_Table;
    std::vector<std::uint8_t> entry_marks(table.size());
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
        entry_marks[entry] = Block_Marks_Of(table[entry]);
    }
    std::array<unsigned, 3> highest{0, 0, 0};
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const std::optional<TChallenge_Block_View> block =
            Challenge_Read_Block_View(image, list, i, mask);
        if (!block) {
            break;
        }
        if (block->Name_Index < table.size()) {
            marks_[block->X * 256U + block->Y] |= entry_marks[block->Name_Index];
        }
        highest = {std::max<unsigned>(highest[0], block->X + 1U),
                   std::max<unsigned>(highest[1], block->Z + 1U),
                   std::max<unsigned>(highest[2], block->Y + 1U)};
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const unsigned sized = size_ ? static_cast<unsigned>(std::min<std::uint32_t>((*size_)[axis], 256)) : 0;
        extent_[axis] = std::max({1U, sized, highest[axis]});
    }
}

} // namespace plotvane
