#pragma once

#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>

namespace plotvane {

// Statuses of Load_File_To_Memory besides Status_Ok.
constexpr std::uint32_t Status_Load_Missing_File = 1;
constexpr std::uint32_t Status_Load_Short_Block = 3;

// Size of the block buffer through which Load_File_To_Memory streams a file.
constexpr std::size_t Load_Block_Size = 32762;

// The length of an array that holds a whole file of `file_size` bytes. A file longer than an
// array can be raises EInOutError with the number of EFBIG, as a write past a file size limit.
std::size_t File_Array_Length(std::uint64_t file_size);

// Reads the raw bytes of a file into `array`, masked. Returns 0, 1 when the path is not an
// existing file (a folder counts as missing), or 3 when a short block came back before the end.
// On a non-zero status the array is cleared. Operating-system failures raise EInOutError.
std::uint32_t Load_File_To_Memory(const std::string& file_name, TFlexible_Byte_Array& array,
                                  const TMemory_Mask& mask);

// Reads the first `count` bytes of a file into `array`, masked, or the whole file when it is
// shorter: a reader that needs a few bytes at the start of a file never holds the rest. Returns
// 0, 1 when the path is not an existing file, or 3 when the file delivered fewer bytes than it
// had when opened. On a non-zero status the array is cleared. Operating-system failures raise
// EInOutError.
std::uint32_t Load_File_Prefix_To_Memory(const std::string& file_name, std::uint64_t count,
                                         TFlexible_Byte_Array& array, const TMemory_Mask& mask);

} // namespace plotvane
