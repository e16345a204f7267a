#pragma once

#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plotvane::test {

using TBytes = std::vector<std::uint8_t>;

constexpr std::uint32_t Challenge_Class_Id = 0x03043000;
constexpr std::uint32_t Profile_Class_Id = 0x240B5000;
constexpr std::uint32_t Replay_Class_Id = 0x03093000;

// Appends a 32-bit little-endian value.
void Append_DWord(TBytes& bytes, std::uint32_t value);

// Plain bytes of a GBX file: signature, class id, user data, node count, no external
// references, the uncompressed size, the compressed size (the stream's length) and the stream.
TBytes Make_Gbx_File(std::uint32_t class_id, const TBytes& user_data,
                     std::uint32_t uncompressed_size, const TBytes& stream);

// The same file with its body packed by liblzo2 (`optimal` picks lzo1x_999 over lzo1x_1).
TBytes Make_Lzo_Gbx_File(std::uint32_t class_id, const TBytes& user_data, const TBytes& body,
                         bool optimal);

// liblzo2 as an independent oracle.
TBytes Lzo_Compress(const TBytes& body, bool optimal);
// Decodes a whole LZO1X stream (end marker included) with lzo1x_decompress_safe; fails the
// current test when liblzo2 reports an error.
TBytes Lzo_Decompress(const TBytes& stream, std::size_t expected_size);

// The expanded image of a plain GBX file (the header with its compressed-size field set to the
// body's length + 3, the body, the 3-byte end marker), its body expanded by liblzo2 alone.
// Fails the current test when liblzo2 cannot decode it to the stored size.
TBytes Lzo_Expanded_Image(const TBytes& file);

// Masks or unmasks every byte.
TFlexible_Byte_Array Masked(const TBytes& plain, std::uint8_t mask);
TBytes Unmasked(const TFlexible_Byte_Array& stored, std::uint8_t mask);

// Bytes of a file on disk, plain; empty when it cannot be read.
TBytes Read_Plain_File(const std::string& path);
void Write_Plain_File(const std::string& path, const TBytes& bytes);

// A body that compresses the way challenge bodies do: runs of a small alphabet, repeated
// records and some noise, from a fixed seed.
TBytes Compressible_Body(std::size_t size, std::uint32_t seed);

std::uint32_t Little_Endian_At(const TBytes& bytes, std::size_t offset);

} // namespace plotvane::test
