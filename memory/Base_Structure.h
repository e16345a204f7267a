#pragma once

#include <cstdint>
#include <vector>

namespace plotvane {

// Every loaded file, expanded image and packed output lives in one of these, each stored byte
// being the file byte XOR the memory mask. Its length never exceeds INT32_MAX.
using TFlexible_Byte_Array = std::vector<std::uint8_t>;

// One byte from 0 to 254, drawn once per run; every masked access reads it at each use.
using TMemory_Mask = std::uint8_t;

// Sets the length to 0 and releases the storage.
inline void Clear_Array(TFlexible_Byte_Array& array)
{
    array.clear();
    array.shrink_to_fit();
}

} // namespace plotvane
