#pragma once

#include "gbx/Gbx_Base_Structure.h"
#include "memory/Base_Structure.h"

#include <cstdint>

namespace plotvane {

// The kind of a GBX file from its signature and class id (Gbx_Kind_*).
std::uint8_t Gbx_Get_Type(const TFlexible_Byte_Array& data, const TMemory_Mask& mask);

// Where the body lies. All fields are 0 for an unrecognised file and for a header whose size
// fields would lie past the end of the array.
TGbx_Compression_Info Gbx_Get_Compression_Info(const TFlexible_Byte_Array& data,
                                               const TMemory_Mask& mask);

// Decodes the one instruction at the cursor by its opcode alone. Bytes past the end of the
// array count as 0 and are never read, so an instruction that does not fit reports a Size that
// passes the end. With `advance` the cursor moves by Size (not over the literals).
TGbx_Compress_Data_Type Gbx_Read_Compress_Data_Type(const TFlexible_Byte_Array& data,
                                                    std::uint32_t& cursor, bool advance,
                                                    const TMemory_Mask& mask);

// Expands a loaded GBX file into the expanded image: the header with its compressed-size field
// set to U + 3, the U expanded body bytes, then the stream's 3-byte end marker. The stream is
// decoded as published LZO1X and must close with the end-of-stream instruction 17, 0, 0.
// `destination` must be empty; it is emptied on failure.
std::uint32_t Gbx_Uncompress(const TFlexible_Byte_Array& source,
                             TFlexible_Byte_Array& destination, const TMemory_Mask& mask);

// The packing methods of Gbx_Compress.
// The body as one LZO1X literal run, as every save wrote it before: a body offset in the image
// plus Gbx_Packed_Offset_Delta is the offset of the same byte in the file.
constexpr std::uint32_t Gbx_Method_Literal_Run = 0;
// Packed by the greedy encoder (TLzo_Search::Greedy): about as small as the game packs, fast.
constexpr std::uint32_t Gbx_Method_Packed = 1;
// Packed by the optimal parse (TLzo_Search::Best): smaller, several times slower.
constexpr std::uint32_t Gbx_Method_Best = 2;

// Packs an expanded image into a file: the header, with its compressed-size field set to the
// stream's length, then an LZO1X stream of the body (as `method` says) closed by the image's
// end marker. An image that is not as long as its compressed-size field says, or whose end
// marker is not the end-of-stream instruction 17, 0, 0, is refused with 2101; any other method
// with 2102, having written the header up to the compressed-size field. 2103: the
// uncompressed-size field disagrees with the body (for the literal run, only a run of more
// than 18 bytes is checked), the whole file written. `destination` must be empty; on failure
// it keeps what was written. Packed files read the same under any mask.
std::uint32_t Gbx_Compress(const TFlexible_Byte_Array& image, TFlexible_Byte_Array& destination,
                           std::uint32_t method, const TMemory_Mask& mask);

// How far packing as one literal run (method 0) moves the body of an expanded image:
// Gbx_Compress writes a literal-run instruction before the body, so the byte at offset p of
// the image's body (p >= Data_Offset) lies at p + delta in the packed file. The instruction's length depends on the body's length
// alone, so nothing is packed and no buffer is made. Returns what Gbx_Compress(image, ..., 0,
// mask) would return: 0; 2101 with delta 0 for an image that Gbx_Compress refuses as having no
// well-formed body; 2103 for a long run whose uncompressed-size field disagrees
// (delta is still that of the file Gbx_Compress writes).
std::uint32_t Gbx_Packed_Offset_Delta(const TFlexible_Byte_Array& image, const TMemory_Mask& mask,
                                      std::uint32_t& delta);

// Reads the indexed string at the cursor. A value, length or text that would pass the end of
// the array is not read: a value that does not fit gives an empty record and leaves the
// cursor where it was; a length or text that does not fit gives an empty Text.
TGbx_Indexed_String Gbx_Read_Indexed_String(const TFlexible_Byte_Array& data,
                                            std::uint32_t& cursor, bool advance,
                                            const TMemory_Mask& mask);

} // namespace plotvane
