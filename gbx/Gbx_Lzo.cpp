// The LZO1X codec of GBX bodies: expansion of any published LZO1X stream into the expanded
// image, and packing of an image, as one literal run or by the encoder.

#include "gbx/Gbx_Memory_Tools.h"

#include "gbx/Gbx_Lzo_Decoder.h"
#include "gbx/Gbx_Lzo_Encoder.h"
#include "memory/Memory_Tools.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>

namespace plotvane {

namespace {

constexpr std::uint32_t End_Marker_Size = 3;
constexpr std::uint32_t Compressed_Size_Field_Size = 4;
// The longest literal run that one opcode byte encodes (opcodes 1 to 15).
constexpr std::uint32_t Longest_Short_Run = 18;
// A first byte above 17 is a literal run of (byte - 17) literals; used here for 1 to 3.
constexpr std::uint32_t First_Byte_Run_Base = 17;
// The end-of-stream instruction that every LZO1X compressor writes last.
constexpr std::uint8_t End_Of_Stream[End_Marker_Size] = {0x11, 0x00, 0x00};
constexpr std::uint64_t Longest_Image = std::numeric_limits<std::int32_t>::max();
// Real bodies expand to 1 to 5 times their stream; the image is first sized for this many
// times, then grows as the stream really expands, so that a header claiming far more than the
// stream gives costs no more than what the stream gives.
constexpr std::uint64_t First_Guess_Ratio = 8;
// The body's room zeroed before expansion; the decoder zeroes the rest as it goes.
constexpr std::uint64_t First_Room_Zeroed = std::uint64_t{1} << 16;

std::uint32_t Fail_Uncompress(TFlexible_Byte_Array& destination, std::uint32_t status)
{
    Clear_Array(destination);
    return status;
}

// Appends `count` stored bytes of `source` from `from` at the end of `destination`.
void Append_Stored(TFlexible_Byte_Array& destination, const TFlexible_Byte_Array& source,
                   std::size_t from, std::size_t count)
{
    destination.insert(destination.end(), source.begin() + static_cast<std::ptrdiff_t>(from),
                       source.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// Bytes of the instruction that starts a stream with a literal run of `run` bytes.
std::uint32_t Literal_Run_Instruction_Size(std::uint32_t run)
{
    if (run == 0) {
        return 0;
    }
    if (run <= Longest_Short_Run) {
        return 1;
    }
    // A 0 byte, one 0 byte per further 255 literals, and a final byte from 1 to 255.
    return 2 + (run - Longest_Short_Run - 1) / 255;
}

void Append_Masked(TFlexible_Byte_Array& destination, std::uint32_t value, std::uint8_t mask)
{
    destination.push_back(static_cast<std::uint8_t>(value ^ mask));
}

// The published encoding of a literal run of `run` bytes at the start of a stream: nothing for
// an empty body, 17 + run for 1 to 3 bytes, run - 3 for 4 to 18, and for more a 0 byte, one
// more 0 byte per further 255 literals and a final byte from 1 to 255.
void Append_Literal_Run_Instruction(TFlexible_Byte_Array& destination, std::uint32_t run,
                                    std::uint8_t mask)
{
    if (run == 0) {
        return;
    }
    if (run < 4) {
        Append_Masked(destination, First_Byte_Run_Base + run, mask);
        return;
    }
    if (run <= Longest_Short_Run) {
        Append_Masked(destination, run - 3, mask);
        return;
    }
    const std::uint32_t size = Literal_Run_Instruction_Size(run);
    destination.insert(destination.end(), std::size_t{size} - 1, mask);
    Append_Masked(destination, run - Longest_Short_Run - 255 * (size - 2), mask);
}

// The run that Gbx_Compress writes for an image: the compressed-size field less the end marker.
// False when the image has no body, is not as long as that field says, or does not end with
// the end-of-stream instruction (the packed file would not be a stream that decoders accept).
bool Image_Run(const TFlexible_Byte_Array& image, const TGbx_Compression_Info& info,
               const TMemory_Mask& mask, std::uint32_t& run)
{
    const std::uint64_t stored_size = info.Compressed_Size;
    if (info.Data_Offset == 0 || stored_size < End_Marker_Size ||
        info.Data_Offset + stored_size != image.size()) {
        return false;
    }
    const std::size_t marker = image.size() - End_Marker_Size;
    for (std::size_t i = 0; i < End_Marker_Size; ++i) {
        if ((image[marker + i] ^ mask) != End_Of_Stream[i]) {
            return false;
        }
    }
    run = static_cast<std::uint32_t>(stored_size - End_Marker_Size);
    return true;
}

// A long run decodes to its own length, which must be the image's uncompressed size; a short
// one is written from its length alone, unchecked.
std::uint32_t Run_Check_Status(std::uint32_t run, const TGbx_Compression_Info& info)
{
    return run > Longest_Short_Run && run != info.Uncompressed_Size ? Status_Compress_Check_Failed
                                                                     : Status_Ok;
}

// The body as one literal run: the file that every save wrote before packing was offered,
// whose body offsets lie a fixed delta after those of the image.
std::uint32_t Compress_As_Literal_Run(const TFlexible_Byte_Array& image,
                                      const TGbx_Compression_Info& info, std::uint32_t run,
                                      TFlexible_Byte_Array& destination, const TMemory_Mask& mask)
{
    const std::size_t field_offset = info.Data_Offset - Compressed_Size_Field_Size;
    const std::uint32_t instruction_size = Literal_Run_Instruction_Size(run);
    destination.reserve(image.size() + instruction_size);
    Append_Stored(destination, image, 0, field_offset);
    std::uint32_t cursor = static_cast<std::uint32_t>(field_offset);
    Write_DWord(destination, cursor, instruction_size + run + End_Marker_Size, true, mask);
    Append_Literal_Run_Instruction(destination, run, mask);
    Append_Stored(destination, image, info.Data_Offset, std::size_t{run} + End_Marker_Size);
    return Run_Check_Status(run, info);
}

// The body packed by the encoder: the header, the compressed-size field, the stream and the
// image's end marker. A body that is not as long as the uncompressed-size field says would not
// expand; the file is still made whole for the failure file.
std::uint32_t Compress_Packed(const TFlexible_Byte_Array& image, const TGbx_Compression_Info& info,
                              std::uint32_t run, TLzo_Search search,
                              TFlexible_Byte_Array& destination, const TMemory_Mask& mask)
{
    destination.reserve(info.Data_Offset + Lzo_Encoded_Size_Bound(run) + End_Marker_Size);
    Append_Stored(destination, image, 0, info.Data_Offset);
    Lzo_Encode_Body(image.data() + info.Data_Offset, run, mask, search, destination);
    Append_Stored(destination, image, info.Data_Offset + std::size_t{run}, End_Marker_Size);
    const std::size_t stream_size = destination.size() - info.Data_Offset;
    std::uint32_t cursor = info.Data_Offset - Compressed_Size_Field_Size;
    Write_DWord(destination, cursor, static_cast<std::uint32_t>(stream_size), false, mask);
    return run == info.Uncompressed_Size ? Status_Ok : Status_Compress_Check_Failed;
}

} // namespace

std::uint32_t Gbx_Uncompress(const TFlexible_Byte_Array& source,
                             TFlexible_Byte_Array& destination, const TMemory_Mask& mask)
{
    destination.clear(); // callers pass it empty; any storage it has is reused
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(source, mask);
    if (info.Data_Offset == 0) {
        return Fail_Uncompress(destination, Status_Uncompress_No_Body);
    }
    const std::uint64_t body_offset = info.Data_Offset;
    const std::uint64_t packed_size = info.Compressed_Size;
    const std::uint64_t body_size = info.Uncompressed_Size;
    const std::uint64_t image_size = body_offset + body_size + End_Marker_Size;
    // The stream must end exactly at the end of the file with its end marker, and no stream
    // of that length can expand to more than 256 times its size.
    if (body_offset + packed_size != source.size() || packed_size < End_Marker_Size ||
        body_size > 256 * packed_size || image_size > Longest_Image) {
        return Fail_Uncompress(destination, Status_Uncompress_Bad_Stream);
    }
    const std::size_t stream_end = source.size() - End_Marker_Size;
    // The stream must close with the end-of-stream instruction, as published decoders require;
    // any other last instruction would be dropped unexpanded.
    for (std::size_t i = 0; i < End_Marker_Size; ++i) {
        if ((source[stream_end + i] ^ mask) != End_Of_Stream[i]) {
            return Fail_Uncompress(destination, Status_Uncompress_Bad_Stream);
        }
    }

    const std::uint64_t first_guess = First_Guess_Ratio * packed_size;
    const std::uint64_t first_room =
        body_size <= first_guess ? body_size + End_Marker_Size : first_guess;
    // One allocation; the header is copied in, and the body's room is zeroed as the decoder
    // reaches it, a piece at a time. The decoder grows a room that is short of the body, and
    // one that holds the body must hold the end marker too.
    std::uint64_t zeroed_room = std::min(first_room, First_Room_Zeroed);
    if (zeroed_room >= body_size) {
        zeroed_room = first_room;
    }
    destination.reserve(static_cast<std::size_t>(body_offset + first_room));
    destination.assign(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(body_offset));
    destination.resize(static_cast<std::size_t>(body_offset + zeroed_room));
    if (!Lzo_Decode_Body(source.data() + body_offset,
                         static_cast<std::size_t>(stream_end - body_offset), mask, destination,
                         static_cast<std::size_t>(body_offset),
                         static_cast<std::size_t>(body_size))) {
        return Fail_Uncompress(destination, Status_Uncompress_Bad_Stream);
    }
    // The whole body was written, so the room reached the whole image.
    assert(destination.size() == image_size);
    // The end marker, checked above, is copied as it is stored.
    std::memcpy(destination.data() + body_offset + body_size, source.data() + stream_end,
                End_Marker_Size);
    std::uint32_t field = info.Data_Offset - Compressed_Size_Field_Size;
    Write_DWord(destination, field, static_cast<std::uint32_t>(body_size + End_Marker_Size), false,
                mask);
    return Status_Ok;
}

std::uint32_t Gbx_Compress(const TFlexible_Byte_Array& image, TFlexible_Byte_Array& destination,
                           std::uint32_t method, const TMemory_Mask& mask)
{
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, mask);
    // An image whose length disagrees with its compressed-size field is refused before
    // anything is read past it, and so is one whose end marker is not 17, 0, 0.
    std::uint32_t run = 0;
    if (!Image_Run(image, info, mask, run)) {
        return Status_Compress_No_Body;
    }
    const std::size_t field_offset = info.Data_Offset - Compressed_Size_Field_Size;
    switch (method) {
    case Gbx_Method_Literal_Run:
        return Compress_As_Literal_Run(image, info, run, destination, mask);
    case Gbx_Method_Packed:
    case Gbx_Method_Best:
        return Compress_Packed(image, info, run,
                               method == Gbx_Method_Packed ? TLzo_Search::Greedy
                                                           : TLzo_Search::Best,
                               destination, mask);
    default:
        Append_Stored(destination, image, 0, field_offset);
        return Status_Compress_Bad_Method;
    }
}

std::uint32_t Gbx_Packed_Offset_Delta(const TFlexible_Byte_Array& image, const TMemory_Mask& mask,
                                      std::uint32_t& delta)
{
    delta = 0;
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, mask);
    std::uint32_t run = 0;
    if (!Image_Run(image, info, mask, run)) {
        return Status_Compress_No_Body;
    }
    delta = Literal_Run_Instruction_Size(run);
    return Run_Check_Status(run, info);
}

} // namespace plotvane
