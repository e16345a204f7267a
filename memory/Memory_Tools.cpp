#include "memory/Memory_Tools.h"

#include <cassert>
#include <cstring>

namespace plotvane {

namespace {

// Grows the array to `end` bytes when it is shorter; growth appends stored 0.
void Grow_To(TFlexible_Byte_Array& array, std::uint64_t end)
{
    assert(end <= INT32_MAX);
    if (end > array.size()) {
        array.resize(static_cast<std::size_t>(end));
    }
}

void Write_Little_Endian(TFlexible_Byte_Array& array, std::uint32_t& cursor, std::uint32_t value,
                         unsigned width, bool advance, const TMemory_Mask& mask)
{
    Grow_To(array, std::uint64_t{cursor} + width);
    for (unsigned i = 0; i < width; ++i) {
        array[cursor + i] = static_cast<std::uint8_t>((value >> (8 * i)) ^ mask);
    }
    if (advance) {
        cursor += width;
    }
}

} // namespace

void Write_Word(TFlexible_Byte_Array& array, std::uint32_t& cursor, std::uint16_t value,
                bool advance, const TMemory_Mask& mask)
{
    Write_Little_Endian(array, cursor, value, 2, advance, mask);
}

void Write_DWord(TFlexible_Byte_Array& array, std::uint32_t& cursor, std::uint32_t value,
                 bool advance, const TMemory_Mask& mask)
{
    Write_Little_Endian(array, cursor, value, 4, advance, mask);
}

std::string Read_Chars(const TFlexible_Byte_Array& array, std::uint32_t& cursor,
                       std::uint32_t count, bool advance, const TMemory_Mask& mask)
{
    // A read that would end on the last byte is refused like one that passes the end.
    if (count == 0 || std::uint64_t{cursor} + count >= array.size()) {
        return {};
    }
    std::string text(count, '\0');
    for (std::uint32_t i = 0; i < count; ++i) {
        text[i] = static_cast<char>(array[cursor + i] ^ mask);
    }
    if (advance) {
        cursor += count;
    }
    return text;
}

void Write_Chars(TFlexible_Byte_Array& array, std::uint32_t& cursor, const std::string& text,
                 bool advance, const TMemory_Mask& mask)
{
    if (text.empty()) {
        return;
    }
    const auto count = static_cast<std::uint32_t>(text.size());
    Grow_To(array, std::uint64_t{cursor} + count);
    for (std::uint32_t i = 0; i < count; ++i) {
        array[cursor + i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(text[i]) ^ mask);
    }
    if (advance) {
        cursor += count;
    }
}

void Copy_Block(const TFlexible_Byte_Array& source, std::uint32_t source_index,
                TFlexible_Byte_Array& destination, std::uint32_t& destination_cursor,
                std::uint32_t count, bool advance)
{
    if (count == 0 || !Bytes_Available(source, source_index, count)) {
        return;
    }
    Grow_To(destination, std::uint64_t{destination_cursor} + count);
    std::memcpy(destination.data() + destination_cursor, source.data() + source_index, count);
    if (advance) {
        destination_cursor += count;
    }
}

} // namespace plotvane
