#include "challenge/Challenge_Map.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>
#include <optional>

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

// The String_Table index of the name of block `index`, one the column index holds; nothing
// where Challenge_Read_Block_View would give nothing: an in-place name whose length is no
// longer that of the text the walk read, the image having changed since.
std::optional<std::uint32_t> Name_Index_Of(const TFlexible_Byte_Array& image,
                                           const TTMF_Challenge_Block_Address_List& list,
                                           std::size_t index, const TMemory_Mask& mask)
{
    const std::uint8_t* const record = image.data() + list.Block_Offsets[index];
    const auto reference = static_cast<std::uint32_t>((record[0] ^ mask) | (record[1] ^ mask) << 8);
    if (reference != 0) {
        return reference;
    }
    // In place: a length of 4 bytes, then the text; the column index found the eight bytes after
    // it, so the length lies inside the image.
    const std::uint32_t entry = list.Last_String_Indexes[index];
    std::uint32_t length = 0;
    for (int i = 7; i >= 4; --i) {
        length = length << 8 | static_cast<std::uint8_t>(record[i] ^ mask);
    }
    if (entry >= list.String_Table.size() || list.String_Table[entry].size() != length) {
        return std::nullopt;
    }
    return entry;
}

// What the column index holds: how many blocks, from the first, one past the highest X, Z and
// Y among them, and the lowest and highest of the columns' tops.
struct TColumns_Summary {
    std::size_t Blocks = 0;
    std::array<unsigned, 3> Highest{0, 0, 0};
    std::array<unsigned, 2> Tops{0, 0};
};

TColumns_Summary Summary_Of(const TBlock_Columns& columns)
{
    TColumns_Summary summary;
    for (unsigned x = 0; x < 256; ++x) {
        for (unsigned y = 0; y < 256; ++y) {
            const auto cx = static_cast<std::uint8_t>(x);
            const auto cy = static_cast<std::uint8_t>(y);
            const std::uint32_t count = columns.Count_At(cx, cy);
            if (count != 0) {
                const unsigned top = columns.Top_At(cx, cy);
                summary.Tops = {summary.Blocks == 0 ? top : std::min(summary.Tops[0], top),
                                std::max(summary.Tops[1], top)};
                summary.Blocks += count;
                summary.Highest = {std::max(summary.Highest[0], x + 1U),
                                   std::max(summary.Highest[1], top + 1U),
                                   std::max(summary.Highest[2], y + 1U)};
            }
        }
    }
    return summary;
}

// One past the highest X, Z and Y among the first `count` blocks, each read where the column
// index read it.
std::array<unsigned, 3> Extent_Of_Blocks(const TFlexible_Byte_Array& image,
                                         const TTMF_Challenge_Block_Address_List& list,
                                         std::size_t count, const TMemory_Mask& mask)
{
    std::array<unsigned, 3> highest{0, 0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<std::uint32_t> fields =
            Challenge_Block_Fields_Offset(image, list, i, mask);
        if (!fields) {
            break;
        }
        // After the rotation byte: X, Z (the height), Y.
        const std::uint8_t* const position = image.data() + *fields + 1;
        highest = {std::max<unsigned>(highest[0], (position[0] ^ mask) + 1U),
                   std::max<unsigned>(highest[1], (position[1] ^ mask) + 1U),
                   std::max<unsigned>(highest[2], (position[2] ^ mask) + 1U)};
    }
    return highest;
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

// The column index, then the marks: one pass over the blocks that reads only their names, for
// the index already placed each block in its column. A name is looked at once per String_Table
// entry, not once per block. The extent comes from the columns, unless a block the index holds
// no longer matches the walk: then the map ends before it, as a read of that block would.
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
    const TColumns_Summary indexed = Summary_Of(columns_);
    tops_ = indexed.Tops;
    const std::size_t walked = std::min(indexed.Blocks, list.Last_String_Indexes.size());
    std::size_t block = 0;
    for (; block < walked; ++block) {
        const std::optional<std::uint32_t> name = Name_Index_Of(image, list, block, mask);
        if (!name) {
            break;
        }
        // Most blocks carry no mark, and need not be placed.
        if (*name < table.size() && entry_marks[*name] != 0) {
            const auto column = *columns_.Column_Of(static_cast<std::uint32_t>(block));
            marks_[column[0] * 256U + column[1]] |= entry_marks[*name];
        }
    }
    const std::array<unsigned, 3> highest = block == indexed.Blocks
                                                ? indexed.Highest
                                                : Extent_Of_Blocks(image, list, block, mask);
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const unsigned sized = size_ ? static_cast<unsigned>(std::min<std::uint32_t>((*size_)[axis], 256)) : 0;
        extent_[axis] = std::max({1U, sized, highest[axis]});
    }
}

} // namespace plotvane
