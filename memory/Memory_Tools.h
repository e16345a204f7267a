#pragma once

#include "memory/Base_Structure.h"

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

std::uint16_t Read_Word(const TFlexible_Byte_Array& array, std::uint32_t& cursor, bool advance,
                        const TMemory_Mask& mask);
void Write_Word(TFlexible_Byte_Array& array, std::uint32_t& cursor, std::uint16_t value,
                bool advance, const TMemory_Mask& mask);
std::uint32_t Read_DWord(const TFlexible_Byte_Array& array, std::uint32_t& cursor, bool advance,
                         const TMemory_Mask& mask);
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
