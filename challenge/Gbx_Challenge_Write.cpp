#include "challenge/Gbx_Challenge_Write.h"

#include "memory/Memory_Tools.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace plotvane {

namespace {

// An indexed string's 32-bit value (index and flags), then for a text in place its length.
constexpr std::uint32_t Name_Value_Size = 4;
constexpr std::uint32_t In_Place_Header_Size = 8;
constexpr std::uint32_t Block_Field_Count = 8;
// An array's length is a signed 32-bit count.
constexpr std::uint64_t Longest_Image = std::numeric_limits<std::int32_t>::max();
// An indexed string's index is 16 bits wide.
constexpr std::uint32_t Highest_String_Index = 0xFFFF;

// The name at the start of a block record, as stored.
struct TRecord_Name {
    bool In_Place = false;
    std::uint32_t Text_Length = 0; // in place only
    std::uint64_t Size = 0;        // bytes the name takes
};

// Reads the name of the record at `offset`; false unless the name and the eight bytes after it
// lie inside the image.
bool Read_Record_Name(const TFlexible_Byte_Array& image, std::uint32_t offset,
                      const TMemory_Mask& mask, TRecord_Name& name)
{
    if (!Bytes_Available(image, offset, Name_Value_Size)) {
        return false;
    }
    std::uint32_t cursor = offset;
    name.In_Place = Read_Word(image, cursor, false, mask) == 0;
    name.Size = Name_Value_Size;
    if (name.In_Place) {
        if (!Bytes_Available(image, std::uint64_t{offset} + Name_Value_Size, 4)) {
            return false;
        }
        cursor = offset + Name_Value_Size;
        name.Text_Length = Read_DWord(image, cursor, false, mask);
        name.Size = In_Place_Header_Size + std::uint64_t{name.Text_Length};
    }
    return Bytes_Available(image, offset, name.Size + Block_Field_Count);
}

// The lowest String_Table index from 1 whose text is `name`, among the texts the file had
// defined once the block's name was read: a reference may name only a text that precedes it.
std::optional<std::uint16_t> Defined_Name_Index(const TTMF_Challenge_Block_Address_List& list,
                                                std::size_t block_index,
                                                const std::string& name)
{
    const std::size_t last = std::min<std::size_t>(
        {list.Last_String_Indexes[block_index], list.String_Table.size() - 1,
         Highest_String_Index});
    for (std::size_t index = 1; index <= last; ++index) {
        if (list.String_Table[index] == name) {
            return static_cast<std::uint16_t>(index);
        }
    }
    return std::nullopt;
}

// Whether the reference at `offset` already names `name`: it then keeps its index, even where
// a lower index holds the same text or the index lies past the table (an empty name).
bool Names_Text(const TTMF_Challenge_Block_Address_List& list, const TFlexible_Byte_Array& image,
                std::uint32_t offset, const std::string& name, const TMemory_Mask& mask)
{
    std::uint32_t cursor = offset;
    const std::uint16_t index = Read_Word(image, cursor, false, mask);
    return index < list.String_Table.size() ? list.String_Table[index] == name : name.empty();
}

void Add_To_DWord(TFlexible_Byte_Array& image, std::uint32_t offset, std::uint32_t change,
                  const TMemory_Mask& mask)
{
    std::uint32_t cursor = offset;
    // Wraps modulo 2^32: a shorter name adds the two's complement of its change.
    const std::uint32_t value = Read_DWord(image, cursor, false, mask) + change;
    Write_DWord(image, cursor, value, false, mask);
}

// Replaces the text of the name written in place at `offset`, moving everything after it, and
// corrects the uncompressed-size and compressed-size fields by the change of length.
TBlock_Write_Status Rename_In_Place(TFlexible_Byte_Array& image,
                                    const TTMF_Challenge_Block_Address_List& list,
                                    std::uint32_t offset, std::uint32_t old_length,
                                    const std::string& name, const TMemory_Mask& mask)
{
    if (list.Size_Fields_Offset == 0 || !Bytes_Available(image, list.Size_Fields_Offset, 8)) {
        return TBlock_Write_Status::Size_Fields_Not_Walked;
    }
    if (image.size() - old_length + name.size() > Longest_Image) {
        return TBlock_Write_Status::Image_Too_Large;
    }
    const auto text_at = static_cast<std::ptrdiff_t>(offset + In_Place_Header_Size);
    const auto old_end = image.begin() + text_at + old_length;
    if (name.size() > old_length) {
        image.insert(old_end, name.size() - old_length, std::uint8_t{0});
    } else {
        image.erase(image.begin() + text_at + static_cast<std::ptrdiff_t>(name.size()), old_end);
    }
    std::uint32_t cursor = offset + Name_Value_Size;
    const auto new_length = static_cast<std::uint32_t>(name.size());
    Write_DWord(image, cursor, new_length, true, mask);
    Write_Chars(image, cursor, name, true, mask);
    const std::uint32_t change = new_length - old_length;
    Add_To_DWord(image, list.Size_Fields_Offset, change, mask);
    Add_To_DWord(image, list.Size_Fields_Offset + 4, change, mask);
    return TBlock_Write_Status::Written;
}

void Write_Field_Bytes(TFlexible_Byte_Array& image, std::uint64_t at,
                       const TBlock_Field_Bytes& bytes, const TMemory_Mask& mask)
{
    const auto stored_rotation = static_cast<std::uint8_t>(image[at] ^ mask);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t value = i == 0 ? Rotation_To_Write(stored_rotation, bytes[i]) : bytes[i];
        image[at + i] = static_cast<std::uint8_t>(value ^ mask);
    }
}

std::uint32_t Flags_Value(const std::array<std::uint8_t, 4>& variations)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < variations.size(); ++i) {
        value |= std::uint32_t{variations[i]} << (8 * i);
    }
    return value;
}

} // namespace

TBlock_Write_Status Challenge_Write_Block(TFlexible_Byte_Array& image,
                                          const TTMF_Challenge_Block_Address_List& list,
                                          std::size_t block_index, const std::string& name,
                                          const TBlock_Field_Bytes& bytes,
                                          const TMemory_Mask& mask)
{
    TRecord_Name old_name;
    if (block_index >= list.Block_Offsets.size() ||
        block_index >= list.Last_String_Indexes.size() ||
        !Read_Record_Name(image, list.Block_Offsets[block_index], mask, old_name)) {
        return TBlock_Write_Status::Block_Not_Walked;
    }
    const std::uint32_t offset = list.Block_Offsets[block_index];
    std::uint64_t fields_at = offset + old_name.Size;
    if (old_name.In_Place) {
        const TBlock_Write_Status status =
            Rename_In_Place(image, list, offset, old_name.Text_Length, name, mask);
        if (status != TBlock_Write_Status::Written) {
            return status;
        }
        fields_at = std::uint64_t{offset} + In_Place_Header_Size + name.size();
    } else if (!Names_Text(list, image, offset, name, mask)) {
        const std::optional<std::uint16_t> index = Defined_Name_Index(list, block_index, name);
        if (!index) {
            return TBlock_Write_Status::Name_Not_Defined;
        }
        std::uint32_t cursor = offset;
        Write_Word(image, cursor, *index, false, mask);
    }
    Write_Field_Bytes(image, fields_at, bytes, mask);
    return TBlock_Write_Status::Written;
}

bool Variations_Change_Game_Reading(const std::array<std::uint8_t, 4>& old_variations,
                                    const std::array<std::uint8_t, 4>& new_variations)
{
    return Flags_Change_Game_Reading(Flags_Value(old_variations), Flags_Value(new_variations));
}

} // namespace plotvane
