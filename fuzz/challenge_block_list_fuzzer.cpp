// Challenge_Read_Block_List on any image, then Challenge_Read_Block for every block it listed.
// Whatever the image holds, the walk must return a list whose parts agree with each other and
// with the image: one offset and one last string index per block record, as many counted
// records as the block count says when complete, each block record inside the
// image, string indexes inside String_Table and never decreasing, "null" first, and the same
// list under another mask. The map built on the walk places every block in its own column,
// under its column's top, inside the grid, with its name's marks.

#include "challenge/Challenge_Map.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "fuzz/Fuzz_Support.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

constexpr std::size_t Block_Field_Bytes = 8;
// A referenced name and the eight field bytes.
constexpr std::size_t Smallest_Block_Record = 4 + Block_Field_Bytes;

bool Same_List(const TTMF_Challenge_Block_Address_List& left,
               const TTMF_Challenge_Block_Address_List& right)
{
    return left.Size_Fields_Offset == right.Size_Fields_Offset &&
           left.Collection_Name == right.Collection_Name &&
           left.String_Table == right.String_Table &&
           left.First_Block_Name_Index == right.First_Block_Name_Index &&
           left.Last_String_Indexes == right.Last_String_Indexes &&
           left.Block_Offsets == right.Block_Offsets && left.Complete == right.Complete;
}

void Check_Strings(const TTMF_Challenge_Block_Address_List& list, std::size_t size)
{
    const std::vector<std::string>& table = list.String_Table;
    PLOTVANE_FUZZ_CHECK(!table.empty() && table[0] == "null");
    // Every text past "null" was read in place: 8 bytes of fields and its own bytes.
    std::size_t text_bytes = 0;
    for (std::size_t i = 1; i < table.size(); ++i) {
        text_bytes += 8 + table[i].size();
    }
    PLOTVANE_FUZZ_CHECK(text_bytes <= size);
    PLOTVANE_FUZZ_CHECK(list.Collection_Name.empty() ||
                        std::find(table.begin() + 1, table.end(), list.Collection_Name) !=
                            table.end());
}

void Check_Blocks(const TTMF_Challenge_Block_Address_List& list, const std::uint8_t* data,
                  std::size_t size, const TFlexible_Byte_Array& image, TMemory_Mask mask)
{
    const std::vector<std::uint32_t>& offsets = list.Block_Offsets;
    const std::vector<std::uint32_t>& last_indexes = list.Last_String_Indexes;
    PLOTVANE_FUZZ_CHECK(offsets.size() == last_indexes.size());
    std::size_t counted_blocks = 0;
    PLOTVANE_FUZZ_CHECK(list.First_Block_Name_Index < list.String_Table.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        PLOTVANE_FUZZ_CHECK(offsets[i] >= 4 && offsets[i] <= size &&
                            size - offsets[i] >= Smallest_Block_Record);
        PLOTVANE_FUZZ_CHECK(i == 0 || offsets[i] - offsets[i - 1] >= Smallest_Block_Record);
        PLOTVANE_FUZZ_CHECK(last_indexes[i] < list.String_Table.size());
        PLOTVANE_FUZZ_CHECK(i == 0 || last_indexes[i] >= last_indexes[i - 1]);

        const bool in_place = Le16_At(data, offsets[i]) == 0;
        const std::size_t name_size = in_place ? 8 + Le32_At(data, offsets[i] + 4) : 4;
        if (i == 0) {
            PLOTVANE_FUZZ_CHECK(list.First_Block_Name_Index == (in_place ? last_indexes[0] : 0));
        }

        const std::optional<TChallenge_Block> block = Challenge_Read_Block(image, list, i, mask);
        PLOTVANE_FUZZ_CHECK(block.has_value());
        PLOTVANE_FUZZ_CHECK(block->Name_In_Place == in_place);
        PLOTVANE_FUZZ_CHECK(size - offsets[i] >= name_size + Block_Field_Bytes);
        const std::uint8_t* fields = data + offsets[i] + name_size;
        PLOTVANE_FUZZ_CHECK(block->Rotation == fields[0] && block->X == fields[1] &&
                            block->Z == fields[2] && block->Y == fields[3]);
        PLOTVANE_FUZZ_CHECK(Same_Bytes(block->Variations.data(), fields + 4, 4));
        counted_blocks += Le32_At(fields, 4) != Uncounted_Record_Flags ? 1 : 0;
        if (in_place) {
            PLOTVANE_FUZZ_CHECK(block->Name_Index == last_indexes[i]);
            PLOTVANE_FUZZ_CHECK(block->Name == list.String_Table[last_indexes[i]]);
            PLOTVANE_FUZZ_CHECK(name_size == 8 || block->Name.size() == name_size - 8);
        } else {
            PLOTVANE_FUZZ_CHECK(block->Name_Index == Le16_At(data, offsets[i]));
            PLOTVANE_FUZZ_CHECK(block->Name == (block->Name_Index < list.String_Table.size()
                                                    ? list.String_Table[block->Name_Index]
                                                    : std::string()));
        }
    }
    PLOTVANE_FUZZ_CHECK(!Challenge_Read_Block(image, list, offsets.size(), mask).has_value());
    // A complete walk listed every block that the count in front of block 0 announced, and
    // beside them only records whose flags (all four variations 255) the game does not count.
    if (list.Complete && !offsets.empty()) {
        PLOTVANE_FUZZ_CHECK(Le32_At(data, offsets[0] - 4) == counted_blocks);
    }
}

void Check_Map(const TTMF_Challenge_Block_Address_List& list, const TFlexible_Byte_Array& image,
               TMemory_Mask mask)
{
    if (list.Block_Offsets.empty()) {
        return;
    }
    const TChallenge_Map map(image, list, mask);
    const TBlock_Columns& columns = map.Columns();
    PLOTVANE_FUZZ_CHECK(map.Width() >= 1 && map.Width() <= 256 && map.Height() >= 1 &&
                        map.Height() <= 256 && map.Depth() >= 1 && map.Depth() <= 256);
    // The marks of each column that holds blocks, from the names read block by block.
    std::map<std::array<std::uint8_t, 2>, std::uint8_t> marks;
    for (std::uint32_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const std::optional<TChallenge_Block> block = Challenge_Read_Block(image, list, i, mask);
        const auto column = columns.Column_Of(i);
        PLOTVANE_FUZZ_CHECK(block && column && (*column)[0] == block->X &&
                            (*column)[1] == block->Y);
        PLOTVANE_FUZZ_CHECK(block->X < map.Width() && block->Z < map.Height() &&
                            block->Y < map.Depth());
        PLOTVANE_FUZZ_CHECK(columns.Top_At(block->X, block->Y) >= block->Z);
        marks[*column] |= Block_Marks_Of(block->Name);
    }
    std::size_t placed = 0;
    for (const auto& [column, column_marks] : marks) {
        placed += columns.Count_At(column[0], column[1]);
        PLOTVANE_FUZZ_CHECK(map.Marks_At(column[0], column[1]) == column_marks);
    }
    PLOTVANE_FUZZ_CHECK(placed == list.Block_Offsets.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    const TFlexible_Byte_Array image = Masked(data, size, mask);
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, mask);

    const TMemory_Mask other_mask = Other_Mask(mask);
    PLOTVANE_FUZZ_CHECK(
        Same_List(list, Challenge_Read_Block_List(Masked(data, size, other_mask), other_mask)));

    // The size fields lie 8 bytes after the user data, whose size is stored at offset 13. A walk
    // that read any string went past them and the 4 body bytes that follow.
    const bool past_size_fields = list.String_Table.size() > 1 || !list.Block_Offsets.empty();
    if (list.Size_Fields_Offset != 0 || past_size_fields) {
        PLOTVANE_FUZZ_CHECK(size >= 17);
        PLOTVANE_FUZZ_CHECK(list.Size_Fields_Offset == 25 + std::uint64_t{Le32_At(data, 13)});
        PLOTVANE_FUZZ_CHECK(list.Size_Fields_Offset <= size);
        PLOTVANE_FUZZ_CHECK(!past_size_fields || size - list.Size_Fields_Offset >= 12);
    }
    Check_Strings(list, size);
    Check_Blocks(list, data, size, image, mask);
    Check_Map(list, image, mask);
    return 0;
}
