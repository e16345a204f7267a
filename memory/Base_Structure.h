#pragma once

#include <cstdint>
#include <vector>

namespace plotvane {

// Every loaded file, expanded image and packed output lives in one of these, each stored byte
// being the file byte XOR the memory mask. Its length never exceeds INT32_MAX.
using TFlexible_Byte_Array = std::vector<std::uint8_t>;

// One byte from 0 to 254, drawn once per run; every masked access reads it at each use.
using TMemory_Mask = std::uint8_t;

// Operations report a status numbered by layer (1000s file load and save, 2000s expansion,
// 2100s repacking); 0 is success everywhere.
constexpr std::uint32_t Status_Ok = 0;

// Sets the length to 0 and releases the storage.
inline void Clear_Array(TFlexible_Byte_Array& array)
{
    array.clear();
    array.shrink_to_fit();
}

} // namespace plotvane
