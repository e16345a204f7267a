#pragma once

#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>

namespace plotvane {

// Kinds that Gbx_Get_Type tells apart by the class id of a GBX header.
constexpr std::uint8_t Gbx_Kind_Challenge = 2;
constexpr std::uint8_t Gbx_Kind_Profile = 13;
constexpr std::uint8_t Gbx_Kind_Replay = 15;
constexpr std::uint8_t Gbx_Kind_Unknown = 39;

// Statuses of the GBX file and body operations.
constexpr std::uint32_t Status_Gbx_Load_Missing_File = 1001;
constexpr std::uint32_t Status_Gbx_Load_Short_Read = 1002;
constexpr std::uint32_t Status_Gbx_Save_Short_Write = 1102;
constexpr std::uint32_t Status_Uncompress_No_Body = 2001;
constexpr std::uint32_t Status_Uncompress_Bad_Stream = 2002;
constexpr std::uint32_t Status_Compress_No_Body = 2101;
constexpr std::uint32_t Status_Compress_Bad_Method = 2102;
constexpr std::uint32_t Status_Compress_Check_Failed = 2103;

// Where the compressed body of a file (or the expanded body of an image) lies.
// Data_Offset 0 means that no body was found.
struct TGbx_Compression_Info {
    std::uint32_t Data_Offset = 0;
    std::uint32_t Compressed_Size = 0;
    std::uint32_t Uncompressed_Size = 0;
};

// One LZO1X instruction as decoded on its own, without the state of the one before.
struct TGbx_Compress_Data_Type {
    std::uint32_t Kind = 0;
    std::uint32_t Size = 0;           // opcode, zero-run bytes and distance bytes; not the literals
    std::uint32_t Distance = 0;       // 1 is the last byte written; 0 for a literal run
    std::uint32_t Match_Length = 0;
    std::uint32_t Literal_Length = 0; // literals that follow the instruction in the stream
};

// An indexed string: Index 0 means the text is written in place, otherwise it is a reference.
struct TGbx_Indexed_String {
    std::uint32_t Index = 0;
    std::uint32_t Flags = 0;
    std::string Text;
};

} // namespace plotvane
