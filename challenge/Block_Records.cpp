#include "challenge/Block_Records.h"

#include "memory/Memory_Tools.h"

#include <algorithm>
#include <optional>

namespace plotvane {

namespace {

// A reference's index is 16 bits wide; 0 means the text follows in place.
constexpr std::uint32_t Highest_String_Index = 0xFFFF;
constexpr std::uint32_t Name_Value_Bytes = 4;
constexpr std::uint32_t Block_Field_Count = 8;
constexpr std::uint32_t Variations_Field = 4;
// The author string's reference and the skin node's, then the waypoint node's when flagged.
constexpr std::uint32_t Reference_Bytes = 4;

std::uint32_t Value_At(const TFlexible_Byte_Array& image, std::uint32_t offset,
                       const TMemory_Mask& mask)
{
    return Read_DWord(image, offset, false, mask);
}

bool Is_Reference(std::uint32_t name_value)
{
    return (name_value & 0xFFFF) != 0;
}

void Append_Value(std::vector<std::uint8_t>& out, std::uint32_t value, const TMemory_Mask& mask)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) ^ mask));
    }
}

// Where the eight bytes of a walked record begin.
std::uint32_t Fields_Offset(const TFlexible_Byte_Array& image, std::uint32_t record,
                            const TMemory_Mask& mask)
{
    const std::uint32_t value = Value_At(image, record, mask);
    return Is_Reference(value) ? record + Name_Value_Bytes
                               : record + 8 + Value_At(image, record + 4, mask);
}

// The first record after `from`, not being removed, that refers to `entry` by reference.
std::optional<std::size_t> Next_Reference_To(const TFlexible_Byte_Array& image,
                                             const TTMF_Challenge_Block_Address_List& list,
                                             std::size_t from, std::uint32_t entry,
                                             const TBlock_Selection& removed,
                                             const TMemory_Mask& mask)
{
    for (std::size_t k = from + 1; k < list.Block_Offsets.size(); ++k) {
        const std::uint32_t value = Value_At(image, list.Block_Offsets[k], mask);
        if (Is_Reference(value) && (value & 0xFFFF) == entry &&
            !std::binary_search(removed.begin(), removed.end(), k)) {
            return k;
        }
    }
    return std::nullopt;
}

// Whether a record before `before`, not being removed, refers to `entry` (ahead of its
// definition: a hand-made file may, and the walk gives it the entry's text all the same).
bool Referred_Before(const TFlexible_Byte_Array& image,
                     const TTMF_Challenge_Block_Address_List& list, std::size_t before,
                     std::uint32_t entry, const TBlock_Selection& removed,
                     const TMemory_Mask& mask)
{
    for (std::size_t k = 0; k < before; ++k) {
        const std::uint32_t value = Value_At(image, list.Block_Offsets[k], mask);
        if (Is_Reference(value) && (value & 0xFFFF) == entry &&
            !std::binary_search(removed.begin(), removed.end(), k)) {
            return true;
        }
    }
    return false;
}

// Why record `index` cannot go, before its name is looked at: not counted by the game, or an
// author record that brings a string or node of its own.
TEdit_Status Record_Refusal(const TFlexible_Byte_Array& image,
                            const TTMF_Challenge_Block_Address_List& list, std::size_t index,
                            const TMemory_Mask& mask)
{
    const std::uint32_t fields = Fields_Offset(image, list.Block_Offsets[index], mask);
    const std::uint32_t flags = Value_At(image, fields + Variations_Field, mask);
    if (flags == Uncounted_Record_Flags) {
        return TEdit_Status::Uncounted_Record;
    }
    if ((flags & Author_Record_Flag) != 0) {
        const std::uint32_t references_only =
            Reference_Bytes * ((flags & Waypoint_Flag) != 0 ? 3 : 2);
        if (Record_End(list, index) - (fields + Block_Field_Count) != references_only) {
            return TEdit_Status::Brings_Skin;
        }
    }
    return TEdit_Status::Done;
}

// The first record that would be left after the last counted one once `removed` are gone.
std::optional<std::size_t> Stranded_Record(const TFlexible_Byte_Array& image,
                                           const TTMF_Challenge_Block_Address_List& list,
                                           const TBlock_Selection& removed,
                                           const TMemory_Mask& mask)
{
    std::optional<std::size_t> first_uncounted_kept;
    for (std::size_t k = list.Block_Offsets.size(); k-- > 0;) {
        if (std::binary_search(removed.begin(), removed.end(), k)) {
            continue;
        }
        const std::uint32_t fields = Fields_Offset(image, list.Block_Offsets[k], mask);
        if (Value_At(image, fields + Variations_Field, mask) != Uncounted_Record_Flags) {
            return first_uncounted_kept; // the last counted record kept
        }
        first_uncounted_kept = k;
    }
    return first_uncounted_kept;
}

} // namespace

bool Has_Block_Number_Chunks(const TFlexible_Byte_Array& image,
                             const TTMF_Challenge_Block_Address_List& list,
                             const TMemory_Mask& mask)
{
    constexpr std::uint32_t First_Chunk = 0x3F001000;
    constexpr std::uint32_t Last_Chunk = 0x3F001003;
    constexpr std::uint32_t Skippable_Mark = 0x534B4950; // "PIKS"
    for (std::uint64_t at = list.Block_List_End; at + 8 <= image.size(); ++at) {
        const auto offset = static_cast<std::uint32_t>(at);
        const std::uint32_t id = Value_At(image, offset, mask);
        if (id >= First_Chunk && id <= Last_Chunk &&
            Value_At(image, offset + 4, mask) == Skippable_Mark) {
            return true;
        }
    }
    return false;
}

std::uint32_t Record_End(const TTMF_Challenge_Block_Address_List& list, std::size_t index)
{
    return index + 1 < list.Block_Offsets.size() ? list.Block_Offsets[index + 1]
                                                 : list.Block_List_End;
}

std::uint32_t Lowest_Entry_Named(const TTMF_Challenge_Block_Address_List& list,
                                 std::string_view name)
{
    // The walk reads the table up to the end of the list.
    const std::size_t last =
        std::min<std::size_t>(list.String_Table.size() - 1, Highest_String_Index);
    for (std::uint32_t entry = 1; entry <= last; ++entry) {
        if (list.String_Table[entry] == name) {
            return entry;
        }
    }
    return 0;
}

TEdit_Result Make_Reference_Records(const TTMF_Challenge_Block_Address_List& list,
                                    const std::vector<TNew_Block>& blocks,
                                    std::uint16_t name_flags, const TMemory_Mask& mask,
                                    std::vector<std::uint8_t>& records)
{
    records.clear();
    records.reserve(blocks.size() * (Name_Value_Bytes + Block_Field_Count));
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::uint32_t entry = Lowest_Entry_Named(list, blocks[i].Name);
        if (entry == 0) {
            return {TEdit_Status::Name_Not_Defined, i, 0};
        }
        Append_Value(records, std::uint32_t{name_flags} << 16 | entry, mask);
        for (const std::uint8_t byte : blocks[i].Bytes) {
            records.push_back(static_cast<std::uint8_t>(byte ^ mask));
        }
    }
    return {TEdit_Status::Done, blocks.size(), 0};
}

TEdit_Result Plan_Deletion(const TFlexible_Byte_Array& image,
                           const TTMF_Challenge_Block_Address_List& list,
                           const TBlock_Selection& selection, const TMemory_Mask& mask,
                           std::vector<TSpan_Change>& spans)
{
    spans.clear();
    for (const std::uint32_t block : selection) {
        if (block >= list.Block_Offsets.size()) {
            return {TEdit_Status::Block_Not_Walked, block, 0};
        }
        const TEdit_Status refusal = Record_Refusal(image, list, block, mask);
        if (refusal != TEdit_Status::Done) {
            return {refusal, block, 0};
        }
    }
    // A record that the game does not count is read only when a counted one follows it.
    const std::optional<std::size_t> stranded = Stranded_Record(image, list, selection, mask);
    if (stranded) {
        return {TEdit_Status::Strands_Uncounted_Record, *stranded, 0};
    }
    // The highest entry still defined once the records after the one at hand are gone.
    auto top = static_cast<std::uint32_t>(list.String_Table.size() - 1);
    for (auto block = selection.rbegin(); block != selection.rend(); ++block) {
        const std::uint32_t offset = list.Block_Offsets[*block];
        const std::uint32_t end = Record_End(list, *block);
        spans.push_back({offset, {image.begin() + offset, image.begin() + end}, {}});
        if (Is_Reference(Value_At(image, offset, mask))) {
            continue;
        }
        const std::uint32_t entry = list.Last_String_Indexes[*block];
        const std::optional<std::size_t> taker =
            Next_Reference_To(image, list, *block, entry, selection, mask);
        if (!taker) {
            if (entry != top || Referred_Before(image, list, *block, entry, selection, mask)) {
                return {TEdit_Status::Name_Needed_Later, *block, 0};
            }
            top = entry - 1;
            continue;
        }
        if (list.Last_String_Indexes[*taker] != entry) {
            return {TEdit_Status::Name_Needed_Later, *block, 0};
        }
        // The next record that refers to the name writes it in place instead.
        const std::uint32_t taker_offset = list.Block_Offsets[*taker];
        const std::uint32_t fields = Fields_Offset(image, offset, mask);
        spans.push_back({taker_offset,
                         {image.begin() + taker_offset,
                          image.begin() + taker_offset + Name_Value_Bytes},
                         {image.begin() + offset, image.begin() + fields}});
    }
    std::sort(spans.begin(), spans.end(), [](const TSpan_Change& a, const TSpan_Change& b) {
        return a.Offset > b.Offset;
    });
    return {TEdit_Status::Done, selection.size(), 0};
}

} // namespace plotvane
