// The LZO1X codec of GBX bodies: expansion of any published LZO1X stream into the expanded
// image, and repacking of an image as one literal run.

#include "gbx/Gbx_Memory_Tools.h"

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
// The distance that marks the end-of-stream instruction (17, 0, 0 and its longer forms).
constexpr std::size_t End_Of_Stream_Distance = 16384;
// The end-of-stream instruction that every LZO1X compressor writes last.
constexpr std::uint8_t End_Of_Stream[End_Marker_Size] = {0x11, 0x00, 0x00};
constexpr std::uint64_t Longest_Image = std::numeric_limits<std::int32_t>::max();
// Real bodies expand to 1 to 5 times their stream; the image is first sized for this many
// times, then grows as the stream really expands, so that a header claiming far more than the
// stream gives costs no more than what the stream gives.
constexpr std::uint64_t First_Guess_Ratio = 8;

// What the previous instruction left: it decides what an opcode from 0 to 15 means.
enum class TLzo_State {
    Plain,              // start of the stream, or a match without trailing literals
    After_Short_Tail,   // a match followed by 1 to 3 literals
    After_Literal_Run,  // a literal run of 4 or more
};

// Decodes the body of a GBX file straight into the expanded image, which holds the header
// and room for the start of the body, and grows as the body needs. Every byte copied stays as
// stored (source and destination share the mask); only instruction bytes are unmasked. Every
// length and distance is tested against what is left before it is used.
class TLzo_Body_Decoder {
public:
    TLzo_Body_Decoder(const std::uint8_t* input, std::size_t input_size,
                      TFlexible_Byte_Array& image, std::size_t body_offset,
                      std::size_t body_size, std::uint8_t mask)
        : input_(input), input_size_(input_size), image_(image), body_offset_(body_offset),
          output_(image.data() + body_offset), room_(image.size() - body_offset),
          output_size_(body_size), mask_(mask)
    {
    }

    // True when the stream expands to exactly the output's size and its instructions end
    // exactly at the end of the input.
    bool Decode()
    {
        TLzo_State state = TLzo_State::Plain;
        if (in_ < input_size_ && Peek() > First_Byte_Run_Base) {
            const std::size_t run = Next() - First_Byte_Run_Base;
            if (!Copy_Literals(run)) {
                return false;
            }
            state = run < 4 ? TLzo_State::After_Short_Tail : TLzo_State::After_Literal_Run;
        }
        while (in_ < input_size_) {
            if (!Decode_Instruction(state)) {
                return false;
            }
        }
        return in_ == input_size_ && out_ == output_size_;
    }

private:
    std::uint32_t Peek() const { return static_cast<std::uint8_t>(input_[in_] ^ mask_); }
    std::uint32_t Next() { return static_cast<std::uint8_t>(input_[in_++] ^ mask_); }

    bool Decode_Instruction(TLzo_State& state)
    {
        const std::uint32_t opcode = Next();
        if (opcode < 16 && state == TLzo_State::Plain) {
            return Decode_Literal_Run(opcode, state);
        }
        std::size_t length = 0;
        std::size_t distance = 0;
        std::uint32_t tail = 0;
        if (!Decode_Match(opcode, state, length, distance, tail) || !Copy_Match(distance, length) ||
            (tail != 0 && !Copy_Literals(tail))) {
            return false;
        }
        state = tail == 0 ? TLzo_State::Plain : TLzo_State::After_Short_Tail;
        return true;
    }

    bool Decode_Literal_Run(std::uint32_t opcode, TLzo_State& state)
    {
        std::size_t run = opcode + 3;
        if (opcode == 0 && !Read_Extended_Length(18, run)) {
            return false;
        }
        state = TLzo_State::After_Literal_Run;
        return Copy_Literals(run);
    }

    bool Decode_Match(std::uint32_t opcode, TLzo_State state, std::size_t& length,
                      std::size_t& distance, std::uint32_t& tail)
    {
        if (opcode >= 64) {
            if (in_ >= input_size_) {
                return false;
            }
            distance = 1 + ((opcode >> 2) & 7) + 8 * std::size_t{Next()};
            length = (opcode >> 5) + 1;
            tail = opcode & 3;
            return true;
        }
        if (opcode < 16) {
            // After literals an opcode below 16 is a short match: 2 bytes after a match's
            // trailing literals, 3 bytes far back after a literal run.
            if (in_ >= input_size_) {
                return false;
            }
            const std::size_t far = 1 + (opcode >> 2) + 4 * std::size_t{Next()};
            const bool after_run = state == TLzo_State::After_Literal_Run;
            distance = after_run ? far + 2048 : far;
            length = after_run ? 3 : 2;
            tail = opcode & 3;
            return true;
        }
        std::size_t base_distance = 0;
        if (opcode >= 32) {
            length = (opcode & 31) + 2;
            if ((opcode & 31) == 0 && !Read_Extended_Length(33, length)) {
                return false;
            }
            base_distance = 1;
        } else {
            length = (opcode & 7) + 2;
            if ((opcode & 7) == 0 && !Read_Extended_Length(9, length)) {
                return false;
            }
            base_distance = 16384 + (std::size_t{opcode & 8} << 11);
        }
        if (input_size_ - in_ < 2) {
            return false;
        }
        const std::uint32_t low = Next();
        const std::uint32_t high = Next();
        distance = base_distance + (low >> 2) + 64 * std::size_t{high};
        tail = low & 3;
        // A far match (opcodes 16 to 31) at exactly 16384 is the end-of-stream instruction: a
        // stream that goes on after it does not end at the end of the file.
        return opcode >= 32 || distance != End_Of_Stream_Distance;
    }

    // A length byte of 0 is followed by zero bytes worth 255 each and a final non-zero byte.
    bool Read_Extended_Length(std::size_t base, std::size_t& length)
    {
        const std::size_t zeros_start = in_;
        while (in_ < input_size_ && Peek() == 0) {
            ++in_;
        }
        if (in_ >= input_size_) {
            return false;
        }
        const std::size_t zeros = in_ - zeros_start;
        length = base + 255 * zeros + Next();
        return true;
    }

    // Makes room for `count` more bytes of body: at least twice the room so far, and at once
    // the whole image with its end marker when that is reached.
    void Make_Room(std::size_t count)
    {
        if (count <= room_ - out_) {
            return;
        }
        std::size_t room = std::max(out_ + count, 2 * room_);
        if (room >= output_size_) {
            room = output_size_ + End_Marker_Size;
        }
        image_.resize(body_offset_ + room);
        output_ = image_.data() + body_offset_;
        room_ = room;
    }

    bool Copy_Literals(std::size_t count)
    {
        const std::size_t input_left = input_size_ - in_;
        if (count > input_left || count > output_size_ - out_) {
            return false;
        }
        Make_Room(count);
        const std::size_t output_left = room_ - out_;
        if (count + Copy_Step <= input_left && count + Copy_Step <= output_left) {
            Copy_In_Steps(output_ + out_, input_ + in_, count);
        } else {
            std::memcpy(output_ + out_, input_ + in_, count);
        }
        in_ += count;
        out_ += count;
        return true;
    }

    // A match may not reach before the start of the body, nor past the expected size.
    bool Copy_Match(std::size_t distance, std::size_t length)
    {
        if (distance > out_ || length > output_size_ - out_) {
            return false;
        }
        Make_Room(length);
        const std::size_t output_left = room_ - out_;
        std::uint8_t* to = output_ + out_;
        const std::uint8_t* from = to - distance;
        if (distance >= Copy_Step && length + Copy_Step <= output_left) {
            // Each step reads bytes at least one step behind those it writes, all final.
            Copy_In_Steps(to, from, length);
        } else {
            // Overlapping: each byte may repeat one that this match has just written.
            for (std::size_t i = 0; i < length; ++i) {
                to[i] = from[i];
            }
        }
        out_ += length;
        return true;
    }

    // Copies `count` bytes in steps of Copy_Step, writing up to Copy_Step - 1 bytes beyond:
    // the callers make sure there is room, and later bytes overwrite them.
    static void Copy_In_Steps(std::uint8_t* to, const std::uint8_t* from, std::size_t count)
    {
        std::memcpy(to, from, Copy_Step);
        for (std::size_t i = Copy_Step; i < count; i += Copy_Step) {
            std::memcpy(to + i, from + i, Copy_Step);
        }
    }

    static constexpr std::size_t Copy_Step = 8;

    const std::uint8_t* input_;
    std::size_t input_size_;
    std::size_t in_ = 0;
    TFlexible_Byte_Array& image_;
    std::size_t body_offset_;
    std::uint8_t* output_;
    std::size_t room_;        // bytes that the image holds from output_ on
    std::size_t output_size_; // the body's stated size
    std::size_t out_ = 0;
    std::uint8_t mask_;
};

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
// False when the image has no body or is not as long as that field says.
bool Image_Run(const TFlexible_Byte_Array& image, const TGbx_Compression_Info& info,
               std::uint32_t& run)
{
    const std::uint64_t stored_size = info.Compressed_Size;
    if (info.Data_Offset == 0 || stored_size < End_Marker_Size ||
        info.Data_Offset + stored_size != image.size()) {
        return false;
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
    destination.resize(static_cast<std::size_t>(body_offset + first_room));
    std::memcpy(destination.data(), source.data(), static_cast<std::size_t>(body_offset));
    TLzo_Body_Decoder decoder(source.data() + body_offset, stream_end - body_offset, destination,
                              static_cast<std::size_t>(body_offset),
                              static_cast<std::size_t>(body_size), mask);
    if (!decoder.Decode()) {
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
    // anything is read past it.
    std::uint32_t run = 0;
    if (!Image_Run(image, info, run)) {
        return Status_Compress_No_Body;
    }
    const std::size_t field_offset = info.Data_Offset - Compressed_Size_Field_Size;
    const std::uint32_t instruction_size = Literal_Run_Instruction_Size(run);
    destination.reserve(image.size() + instruction_size);
    Append_Stored(destination, image, 0, field_offset);
    if (method != 0) {
        return Status_Compress_Bad_Method;
    }
    std::uint32_t cursor = static_cast<std::uint32_t>(field_offset);
    Write_DWord(destination, cursor, instruction_size + run + End_Marker_Size, true, mask);
    Append_Literal_Run_Instruction(destination, run, mask);
    Append_Stored(destination, image, info.Data_Offset, std::size_t{run} + End_Marker_Size);
    return Run_Check_Status(run, info);
}

std::uint32_t Gbx_Packed_Offset_Delta(const TFlexible_Byte_Array& image, const TMemory_Mask& mask,
                                      std::uint32_t& delta)
{
    delta = 0;
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, mask);
    std::uint32_t run = 0;
    if (!Image_Run(image, info, run)) {
        return Status_Compress_No_Body;
    }
    delta = Literal_Run_Instruction_Size(run);
    return Run_Check_Status(run, info);
}

} // namespace plotvane
