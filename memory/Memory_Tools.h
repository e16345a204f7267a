#pragma once

#include "memory/Base_Structure.h"

#include <cassert>
#include <cstdint>
#include <string>

namespace plotvane {

// Little-endian accessors through the memory mask. Reads unmask, writes mask and grow the array
// to exactly the length they need. With `advance` false a read only looks ahead.
//
// Reads must stay inside the array: callers test `Bytes_Available` first. Debug builds assert
// it; a release build returns 0 for a read that would pass the end and touches nothing outside.

// True when `count` bytes from `cursor` lie inside the array (computed without wrap-around).
inline bool Bytes_Available(const TFlexible_Byte_Array& array, std::uint64_t cursor,
                            std::uint64_t count)
{
    return cursor <= array.size() && count <= array.size() - cursor;
}

namespace detail {
// Reads `width` bytes little-endian, unmasked. Inline: the block walk reads one or two values
// per block of lists that hold up to a million.
inline std::uint32_t Read_Little_Endian(const TFlexible_Byte_Array& array, std::uint32_t& cursor,
                                        unsigned width, bool advance, const TMemory_Mask& mask)
{
    assert(Bytes_Available(array, cursor, width));
    if (!Bytes_Available(array, cursor, width)) {
        return 0;
    }
    const std::uint8_t* stored = array.data() + cursor;
    std::uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        value |= std::uint32_t{stored[i]} << (8 * i);
    }
    // Unmasks all bytes at once: the mask repeated in every byte of the value.
    const std::uint32_t repeated_mask = (std::uint32_t{mask} * 0x01010101U) >> (32 - 8 * width);
    if (advance) {
        cursor += width;
    }
    return value ^ repeated_mask;
}
} // namespace detail

inline std::uint16_t Read_Word(const TFlexible_Byte_Array& array, std::uint32_t& cursor,
                               bool advance, const TMemory_Mask& mask)
{
    return static_cast<std::uint16_t>(detail::Read_Little_Endian(array, cursor, 2, advance, mask));
}

void Write_Word(TFlexible_Byte_Array& array, std::uint32_t& cursor, std::uint16_t value,
                bool advance, const TMemory_Mask& mask);
inline std::uint32_t Read_DWord(const TFlexible_Byte_Array& array, std::uint32_t& cursor,
                                bool advance, const TMemory_Mask& mask)
{
    return detail::Read_Little_Endian(array, cursor, 4, advance, mask);
}
void Write_DWord(TFlexible_Byte_Array& array, std::uint32_t& cursor, std::uint32_t value,
                 bool advance, const TMemory_Mask& mask);

// Returns `count` unmasked bytes, or the empty string when the count is 0 or the read would not
// end strictly before the last byte of the array (cursor + count must be below the length).
std::string Read_Chars(const TFlexible_Byte_Array& array, std::uint32_t& cursor,
                       std::uint32_t count, bool advance, const TMemory_Mask& mask);
// Writes the bytes of `text` masked, with no length prefix or terminator. An empty text changes
// nothing, not even the cursor.
void Write_Chars(TFlexible_Byte_Array& array, std::uint32_t& cursor, const std::string& text,
                 bool advance, const TMemory_Mask& mask);

// Copies stored bytes as they are: both arrays carry the same mask. A count of 0, or a source
// range that passes the end of the source, copies nothing.
void Copy_Block(const TFlexible_Byte_Array& source, std::uint32_t source_index,
                TFlexible_Byte_Array& destination, std::uint32_t& destination_cursor,
                std::uint32_t count, bool advance);

} // namespace plotvane
