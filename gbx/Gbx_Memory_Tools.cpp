#include "gbx/Gbx_Memory_Tools.h"

#include "memory/Memory_Tools.h"

#include <algorithm>
#include <array>
#include <limits>

namespace plotvane {

namespace {

// "GBX", version 6, format bytes "BUCR": compared as a whole.
constexpr std::array<std::uint8_t, 9> Gbx_Signature = {0x47, 0x42, 0x58, 0x06, 0x00,
                                                      0x42, 0x55, 0x43, 0x52};
constexpr std::uint32_t Class_Id_Offset = 9;
constexpr std::uint32_t User_Data_Size_Offset = 13;
constexpr std::uint32_t Class_Id_Challenge = 0x03043000;
constexpr std::uint32_t Class_Id_Profile = 0x240B5000;
constexpr std::uint32_t Class_Id_Replay = 0x03093000;
// From the end of the user data: node count, external reference count, the two sizes.
constexpr std::uint64_t Size_Fields_Span = 16;

// Unmasked byte at `position`, or 0 past the end of the array (which is never read).
std::uint32_t Byte_At(const TFlexible_Byte_Array& data, std::uint64_t position,
                      const TMemory_Mask& mask)
{
    return position < data.size() ? static_cast<std::uint8_t>(data[position] ^ mask) : 0U;
}

std::uint32_t Saturated(std::uint64_t value)
{
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

// Zero bytes that begin right after the opcode, stopping at the end of the array.
std::uint64_t Zero_Run_After(const TFlexible_Byte_Array& data, std::uint64_t opcode_position,
                             const TMemory_Mask& mask)
{
    std::uint64_t position = opcode_position + 1;
    while (position < data.size() && (data[position] ^ mask) == 0) {
        ++position;
    }
    return position - opcode_position - 1;
}

// A match whose length byte may be extended by a run of zero bytes (opcodes 16, 24 and 32).
TGbx_Compress_Data_Type Extended_Match(const TFlexible_Byte_Array& data, std::uint64_t at,
                                       std::uint32_t kind, std::uint64_t base_distance,
                                       std::uint32_t base_length, const TMemory_Mask& mask)
{
    const std::uint64_t zeros = Zero_Run_After(data, at, mask);
    const std::uint32_t length_byte = Byte_At(data, at + zeros + 1, mask);
    const std::uint32_t distance_low = Byte_At(data, at + zeros + 2, mask);
    const std::uint32_t distance_high = Byte_At(data, at + zeros + 3, mask);
    TGbx_Compress_Data_Type instruction;
    instruction.Kind = kind;
    instruction.Size = Saturated(zeros + 4);
    instruction.Distance = static_cast<std::uint32_t>(base_distance + (distance_low >> 2) +
                                                      64 * distance_high);
    instruction.Match_Length = Saturated(base_length + 255 * zeros + length_byte);
    instruction.Literal_Length = distance_low & 3;
    return instruction;
}

// A match of one opcode and two distance bytes (opcodes 17 to 31 and 33 to 63).
TGbx_Compress_Data_Type Short_Match(const TFlexible_Byte_Array& data, std::uint64_t at,
                                    std::uint32_t kind, std::uint32_t base_distance,
                                    std::uint32_t match_length, const TMemory_Mask& mask)
{
    const std::uint32_t distance_low = Byte_At(data, at + 1, mask);
    const std::uint32_t distance_high = Byte_At(data, at + 2, mask);
    TGbx_Compress_Data_Type instruction;
    instruction.Kind = kind;
    instruction.Size = 3;
    instruction.Distance = base_distance + (distance_low >> 2) + 64 * distance_high;
    instruction.Match_Length = match_length;
    instruction.Literal_Length = distance_low & 3;
    return instruction;
}

} // namespace

std::uint8_t Gbx_Get_Type(const TFlexible_Byte_Array& data, const TMemory_Mask& mask)
{
    if (data.size() < User_Data_Size_Offset) {
        return Gbx_Kind_Unknown;
    }
    for (std::size_t i = 0; i < Gbx_Signature.size(); ++i) {
        if ((data[i] ^ mask) != Gbx_Signature[i]) {
            return Gbx_Kind_Unknown;
        }
    }
    std::uint32_t cursor = Class_Id_Offset;
    switch (Read_DWord(data, cursor, false, mask)) {
    case Class_Id_Challenge:
        return Gbx_Kind_Challenge;
    case Class_Id_Replay:
        return Gbx_Kind_Replay;
    case Class_Id_Profile:
        return Gbx_Kind_Profile;
    default:
        return Gbx_Kind_Unknown;
    }
}

TGbx_Compression_Info Gbx_Get_Compression_Info(const TFlexible_Byte_Array& data,
                                               const TMemory_Mask& mask)
{
    TGbx_Compression_Info info;
    if (Gbx_Get_Type(data, mask) == Gbx_Kind_Unknown ||
        !Bytes_Available(data, User_Data_Size_Offset, 4)) {
        return info;
    }
    std::uint32_t cursor = User_Data_Size_Offset;
    const std::uint32_t user_data_size = Read_DWord(data, cursor, true, mask);
    // A header whose size fields would lie past the end of the array is not recognised.
    const std::uint64_t node_count_offset = std::uint64_t{cursor} + user_data_size;
    if (!Bytes_Available(data, node_count_offset, Size_Fields_Span)) {
        return info;
    }
    cursor = static_cast<std::uint32_t>(node_count_offset + 8);
    info.Uncompressed_Size = Read_DWord(data, cursor, true, mask);
    info.Compressed_Size = Read_DWord(data, cursor, true, mask);
    info.Data_Offset = cursor;
    return info;
}

TGbx_Compress_Data_Type Gbx_Read_Compress_Data_Type(const TFlexible_Byte_Array& data,
                                                    std::uint32_t& cursor, bool advance,
                                                    const TMemory_Mask& mask)
{
    const std::uint64_t at = cursor;
    const std::uint32_t opcode = Byte_At(data, at, mask);
    TGbx_Compress_Data_Type instruction;
    if (opcode == 0) {
        const std::uint64_t zeros = Zero_Run_After(data, at, mask);
        instruction.Kind = 10;
        instruction.Size = Saturated(zeros + 2);
        instruction.Literal_Length = Saturated(18 + 255 * zeros + Byte_At(data, at + zeros + 1, mask));
    } else if (opcode < 16) {
        instruction.Kind = 20;
        instruction.Size = 1;
        instruction.Literal_Length = opcode + 3;
    } else if (opcode == 16) {
        instruction = Extended_Match(data, at, 30, 16384, 9, mask);
    } else if (opcode == 17) {
        instruction = Short_Match(data, at, 98, 16384, 3, mask);
    } else if (opcode < 24) {
        instruction = Short_Match(data, at, 31, 16384, (opcode & 7) + 2, mask);
    } else if (opcode == 24) {
        instruction = Extended_Match(data, at, 32, 32768, 9, mask);
    } else if (opcode < 32) {
        instruction = Short_Match(data, at, 33, 32768, (opcode & 7) + 2, mask);
    } else if (opcode == 32) {
        instruction = Extended_Match(data, at, 40, 1, 33, mask);
    } else if (opcode < 64) {
        instruction = Short_Match(data, at, 50, 1, (opcode & 31) + 2, mask);
    } else {
        instruction.Kind = 60;
        instruction.Size = 2;
        instruction.Distance = 1 + ((opcode >> 2) & 7) + 8 * Byte_At(data, at + 1, mask);
        instruction.Match_Length = (opcode >> 5) + 1;
        instruction.Literal_Length = opcode & 3;
    }
    if (advance) {
        cursor = Saturated(at + instruction.Size);
    }
    return instruction;
}

TGbx_Indexed_String Gbx_Read_Indexed_String(const TFlexible_Byte_Array& data,
                                            std::uint32_t& cursor, bool advance,
                                            const TMemory_Mask& mask)
{
    TGbx_Indexed_String result;
    if (!Bytes_Available(data, cursor, 4)) {
        return result;
    }
    std::uint32_t position = cursor;
    result.Index = Read_Word(data, position, true, mask);
    result.Flags = Read_Word(data, position, true, mask);
    if (result.Index == 0 && Bytes_Available(data, position, 4)) {
        const std::uint32_t length = Read_DWord(data, position, true, mask);
        result.Text = Read_Chars(data, position, length, true, mask);
    }
    if (advance) {
        cursor = position;
    }
    return result;
}

} // namespace plotvane
