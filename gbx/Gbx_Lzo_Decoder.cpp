// The LZO1X decoder of GBX bodies. Speed matters here (bodies of millions of short matches),
// so the copies follow lz4's and zstd's decoders, within bounds checked before each copy.

#include "gbx/Gbx_Lzo_Decoder.h"

#include <algorithm>
#include <cassert>
#include <cstring>

// The short-distance copies build patterns in words whose first byte is the lowest.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The LZO1X decoder expects a little-endian processor"
#endif

namespace plotvane {

namespace {

// The helpers of the decoding loop are inlined into it, so that the cursor, a local of the
// loop, stays in registers: behind a reference that a byte store could reach, the compiler
// would have to reload it after every byte written.
#define PLOTVANE_HOT [[gnu::always_inline]] inline

// Which way a test usually goes, so that the compiler lays the usual path out in a straight
// line: a block of repeating records decodes at the speed of its taken jumps otherwise.
#if defined(__GNUC__)
#define PLOTVANE_USUALLY(condition) __builtin_expect(static_cast<bool>(condition), 1)
#define PLOTVANE_RARELY(condition) __builtin_expect(static_cast<bool>(condition), 0)
#else
#define PLOTVANE_USUALLY(condition) (condition)
#define PLOTVANE_RARELY(condition) (condition)
#endif

constexpr std::size_t End_Marker_Size = 3;
// A first byte above 17 is a literal run of (byte - 17) literals.
constexpr std::uint32_t First_Byte_Run_Base = 17;
// The distance that marks the end-of-stream instruction (17, 0, 0 and its longer forms).
constexpr std::size_t End_Of_Stream_Distance = 16384;
// The farthest distance that any instruction states.
constexpr std::size_t Farthest_Distance = 49151;
// After the first byte, every instruction writes at least 4 body bytes for each 5 stream bytes
// it takes (a run of 4 literals after its opcode; every other instruction writes at least as
// many as it takes). So once this many stream bytes are decoded, the body written is longer
// than the farthest distance, and every match starts inside it.
constexpr std::size_t Deep_Stream_Bytes = (Farthest_Distance + 1) * 5 / 4;
// Copies made in whole steps may write up to this many bytes past their end, where later
// bytes overwrite them.
constexpr std::ptrdiff_t Spare = 16;
// Literal runs up to this length are copied in 16-byte steps, longer ones by memcpy.
constexpr std::size_t Short_Run = 64;
// The image grows within its storage by this much at least (see Grow_Image).
constexpr std::size_t Zero_Step = std::size_t{1} << 16;

// Far from the end of the stream: at least this many bytes follow the opcode, as many as any
// instruction reads but a literal run and a match whose length takes extra bytes (opcode, two
// distance bytes, the 4 bytes read for up to 3 trailing literals). Those two check each read.
constexpr std::size_t Far_From_End = 8;

// What the previous instruction left: it decides what an opcode from 0 to 15 means.
enum class TLzo_State {
    Plain,              // start of the stream, or a match without trailing literals
    After_Short_Tail,   // a match followed by 1 to 3 literals
    After_Literal_Run,  // a literal run of 4 or more
};

struct TLzo_Stream {
    const std::uint8_t* end;
    std::uint8_t mask;
    std::uint32_t mask_pair; // the mask of two bytes read as one little-endian value
};

// The image that the body is written into, and the body's place and stated size there.
struct TLzo_Image {
    TFlexible_Byte_Array& bytes;
    std::size_t body_offset;
    std::size_t body_size;
};

// Where a decoding stands. It lives in locals of the decoding loop, never behind a pointer
// that a byte store could reach, so that the compiler keeps it in registers.
struct TLzo_Cursor {
    const std::uint8_t* in = nullptr; // the next stream byte
    std::uint8_t* out = nullptr;      // the next body byte
    std::uint8_t* body = nullptr;     // the first body byte
    // Copies that end here or before lie inside the body and leave Spare bytes of the image
    // after them.
    std::uint8_t* fast_end = nullptr;
};

// One match as its instruction states it.
struct TLzo_Match {
    std::size_t length = 0;
    std::size_t distance = 0;
    std::uint32_t tail = 0; // literals that follow the match
    bool long_form = false; // its length took extra bytes, as many as the stream says
};

PLOTVANE_HOT std::size_t Input_Left(const TLzo_Stream& stream, const TLzo_Cursor& cursor)
{
    return static_cast<std::size_t>(stream.end - cursor.in);
}

// True when `count` more stream bytes are there; always, far from the end of the stream.
template <bool Near_End>
PLOTVANE_HOT bool Has_Input(const TLzo_Stream& stream, const TLzo_Cursor& cursor,
                            std::size_t count)
{
    return !Near_End || Input_Left(stream, cursor) >= count;
}

PLOTVANE_HOT std::size_t Written(const TLzo_Cursor& cursor)
{
    return static_cast<std::size_t>(cursor.out - cursor.body);
}

PLOTVANE_HOT bool Fits_Fast(const TLzo_Cursor& cursor, std::size_t count)
{
    return cursor.fast_end - cursor.out >= static_cast<std::ptrdiff_t>(count);
}

PLOTVANE_HOT std::uint32_t Next_Byte(const TLzo_Stream& stream, TLzo_Cursor& cursor)
{
    return static_cast<std::uint8_t>(*cursor.in++ ^ stream.mask);
}

// A length byte of 0 is followed by zero bytes worth 255 each and a final non-zero byte.
PLOTVANE_HOT bool Read_Extended_Length(const TLzo_Stream& stream, TLzo_Cursor& cursor,
                                       std::size_t base, std::size_t& length)
{
    const std::uint8_t* zeros_start = cursor.in;
    while (cursor.in < stream.end && *cursor.in == stream.mask) {
        ++cursor.in;
    }
    if (cursor.in >= stream.end) {
        return false;
    }
    length = base + 255 * static_cast<std::size_t>(cursor.in - zeros_start) +
             Next_Byte(stream, cursor);
    return true;
}

// Resizes the image to hold at least `needed` body bytes, and at once the whole image with its
// end marker when that is reached. Within the storage it has, by Zero_Step at least: the new
// bytes are zeroed a piece at a time, just ahead of the copies, which then find them in the
// processor's cache rather than in memory. Beyond it, to twice its room so far at least. Rare,
// so kept out of line; it takes plain values, so that the cursor never leaves the registers.
[[gnu::noinline]] void Grow_Image(TFlexible_Byte_Array& bytes, std::size_t body_offset,
                                  std::size_t body_size, std::size_t needed)
{
    const std::size_t room = bytes.size() - body_offset;
    const std::size_t storage = bytes.capacity() - body_offset;
    std::size_t new_room = needed <= storage ? std::min(storage, std::max(needed, room + Zero_Step))
                                             : std::max(needed, 2 * room);
    if (new_room >= body_size) {
        new_room = body_size + End_Marker_Size;
    }
    bytes.resize(body_offset + new_room);
}

// Points the cursor into the image as it now lies, `written` body bytes on.
PLOTVANE_HOT void Set_Room(const TLzo_Image& image, TLzo_Cursor& cursor, std::size_t written)
{
    const std::size_t room = image.bytes.size() - image.body_offset;
    const std::size_t fast_room =
        room < static_cast<std::size_t>(Spare) ? 0 : room - static_cast<std::size_t>(Spare);
    cursor.body = image.bytes.data() + image.body_offset;
    cursor.out = cursor.body + written;
    cursor.fast_end = cursor.body + std::min(image.body_size, fast_room);
}

// Makes room for `count` more body bytes, which must lie inside the body.
PLOTVANE_HOT void Make_Room(const TLzo_Image& image, TLzo_Cursor& cursor, std::size_t count)
{
    const std::size_t written = Written(cursor);
    if (count > image.bytes.size() - image.body_offset - written) {
        Grow_Image(image.bytes, image.body_offset, image.body_size, written + count);
        Set_Room(image, cursor, written);
    }
}

// Copies exactly `count` bytes in an 8-byte step, 4-byte steps, then a 2- and a 1-byte step,
// each read lying 8 or more bytes behind the bytes it is written to. Writing exactly as many
// bytes as asked, in small pieces, keeps each later read of these bytes (the next copy of a
// repeating record) within one earlier write, which the processor then hands over at once
// instead of waiting for the writes to reach the cache: bodies of many short matches at short
// distances run at the speed of that hand-over.
PLOTVANE_HOT void Copy_Exact(std::uint8_t* to, const std::uint8_t* from, std::size_t count)
{
    if (count >= 8) {
        std::memcpy(to, from, 8);
        to += 8;
        from += 8;
        count -= 8;
    }
    while (count >= 4) {
        std::memcpy(to, from, 4);
        to += 4;
        from += 4;
        count -= 4;
    }
    if (count & 2) {
        std::memcpy(to, from, 2);
        to += 2;
        from += 2;
    }
    if (count & 1) {
        *to = *from;
    }
}

// Copies `count` bytes in steps of `step` (8 or 16) bytes, each read lying at least a step
// behind the bytes it is written to; writes up to step - 1 bytes beyond.
PLOTVANE_HOT void Copy_Wide(std::uint8_t* to, const std::uint8_t* from, std::size_t count,
                            std::size_t step)
{
    for (std::size_t i = 0; i < count; i += step) {
        std::memcpy(to + i, from + i, step);
    }
}

// A match whose source starts fewer than 8 bytes back repeats a pattern of `distance` bytes.
// Copied in steps, each step would read bytes that the steps before have just written in other
// pieces, which the processor cannot hand over from its pending stores: every such read waits
// for them to reach the cache. So the pattern is read once, into a register, and each 8-byte
// piece is built there: the pattern turned to the piece's phase, repeated by a multiplication
// (its copies lie in separate bytes, so no carry mixes them). Writes up to 7 bytes beyond.
PLOTVANE_HOT void Copy_Short_Distance(std::uint8_t* to, std::size_t distance, std::size_t length)
{
    // For each distance d: the low d bytes of a word; d-byte copies at 0, d, 2d, ... below 8;
    // how far the phase moves from one piece to the next.
    static constexpr std::uint64_t Pattern_Mask[8] = {
        0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFFFF};
    static constexpr std::uint64_t Repeat[8] = {
        0, 0x0101010101010101, 0x0001000100010001, 0x0001000001000001, 0x0000000100000001,
        0x0000010000000001, 0x0001000000000001, 0x0100000000000001};
    static constexpr std::uint8_t Phase_Step[8] = {0, 0, 0, 2, 0, 3, 2, 1};
    std::uint64_t read = 0;
    std::memcpy(&read, to - distance, sizeof read);
    const std::uint64_t pattern = read & Pattern_Mask[distance];
    const unsigned width = 8 * static_cast<unsigned>(distance);
    unsigned phase = 0; // the pattern byte that the next piece starts with
    for (std::size_t i = 0; i < length; i += 8) {
        const std::uint64_t turned =
            ((pattern >> (8 * phase)) | (pattern << (width - 8 * phase))) & Pattern_Mask[distance];
        const std::uint64_t piece = turned * Repeat[distance];
        std::memcpy(to + i, &piece, sizeof piece);
        phase += Phase_Step[distance];
        if (phase >= distance) {
            phase -= static_cast<unsigned>(distance);
        }
    }
}

// Copies a match that has Spare bytes of room after it: from 16 or more back in 8-byte steps
// when short (a smaller read lies within one earlier write more often) and in 16-byte steps
// when long; from 8 to 15 back, a short one exactly (Copy_Exact) and a long one in 8-byte
// steps; from fewer than 8 back by building its pattern in a register.
PLOTVANE_HOT void Copy_Match_Steps(std::uint8_t* to, std::size_t distance, std::size_t length)
{
    if (PLOTVANE_RARELY(distance < 8)) {
        Copy_Short_Distance(to, distance, length);
    } else if (distance >= 16) {
        if (length <= 16) {
            Copy_Wide(to, to - distance, length, 8);
        } else {
            Copy_Wide(to, to - distance, length, 16);
        }
    } else if (length <= 16) {
        Copy_Exact(to, to - distance, length);
    } else {
        Copy_Wide(to, to - distance, length, 8);
    }
}

// Appends `count` literals of the stream to the body, after checking what is left of both.
PLOTVANE_HOT bool Copy_Literals(const TLzo_Stream& stream, const TLzo_Image& image,
                                TLzo_Cursor& cursor, std::size_t count)
{
    if (count > Input_Left(stream, cursor)) {
        return false;
    }
    if (Fits_Fast(cursor, count)) {
        if (count <= Short_Run && Input_Left(stream, cursor) >= count + Spare) {
            // The whole steps read and write up to 15 bytes past the run, still inside the
            // stream and the image.
            Copy_Wide(cursor.out, cursor.in, count, 16);
            cursor.in += count;
            cursor.out += count;
            return true;
        }
    } else {
        if (count > image.body_size - Written(cursor)) {
            return false;
        }
        Make_Room(image, cursor, count);
    }
    if (count <= 16) {
        Copy_Exact(cursor.out, cursor.in, count);
    } else {
        std::memcpy(cursor.out, cursor.in, count);
    }
    cursor.in += count;
    cursor.out += count;
    return true;
}

// Appends a match, after checking that it starts inside the body and ends inside its stated
// size.
PLOTVANE_HOT bool Copy_Match(const TLzo_Image& image, TLzo_Cursor& cursor, const TLzo_Match& match)
{
    const std::size_t length = match.length;
    const std::size_t distance = match.distance;
    if (distance > Written(cursor)) {
        return false;
    }
    if (!Fits_Fast(cursor, length)) {
        if (length > image.body_size - Written(cursor)) {
            return false;
        }
        Make_Room(image, cursor, length);
        if (!Fits_Fast(cursor, length)) {
            // At the end of the image: in steps up to where the room allows, then byte by
            // byte, each byte possibly one just written.
            const std::size_t fast = cursor.fast_end > cursor.out
                ? static_cast<std::size_t>(cursor.fast_end - cursor.out) : 0;
            if (fast > 0) {
                Copy_Match_Steps(cursor.out, distance, fast);
            }
            const std::uint8_t* from = cursor.out - distance;
            for (std::size_t i = fast; i < length; ++i) {
                cursor.out[i] = from[i];
            }
            cursor.out += length;
            return true;
        }
    }
    Copy_Match_Steps(cursor.out, distance, length);
    cursor.out += length;
    return true;
}

// Reads the distance bytes of a match of opcodes 16 to 63 (2 bytes: 14 bits of distance, 2 of
// trailing literals), its length already read.
template <bool Near_End>
PLOTVANE_HOT bool Read_Distance(const TLzo_Stream& stream, TLzo_Cursor& cursor, std::size_t base,
                                TLzo_Match& match)
{
    if (!Has_Input<Near_End>(stream, cursor, 2)) {
        return false;
    }
    // Both bytes in one read: the low one first.
    std::uint16_t pair = 0;
    std::memcpy(&pair, cursor.in, sizeof pair);
    cursor.in += sizeof pair;
    const std::uint32_t bits = pair ^ stream.mask_pair;
    match.distance = base + (bits >> 2);
    match.tail = bits & 3;
    return true;
}

// Reads a match whose length field is 0: the length is in the extra bytes that follow, then
// come the distance bytes, every read checked.
PLOTVANE_HOT bool Read_Long_Form(const TLzo_Stream& stream, TLzo_Cursor& cursor,
                                 std::size_t base_length, std::size_t base_distance,
                                 TLzo_Match& match)
{
    match.long_form = true;
    return Read_Extended_Length(stream, cursor, base_length, match.length) &&
           Read_Distance<true>(stream, cursor, base_distance, match);
}

// Reads the match of an opcode from 16 to 255, the most frequent first.
template <bool Near_End>
PLOTVANE_HOT bool Read_Match(const TLzo_Stream& stream, TLzo_Cursor& cursor, std::uint32_t opcode,
                             TLzo_Match& match)
{
    if (opcode >= 64) {
        if (!Has_Input<Near_End>(stream, cursor, 1)) {
            return false;
        }
        match.distance = 1 + ((opcode >> 2) & 7) + 8 * std::size_t{Next_Byte(stream, cursor)};
        match.length = (opcode >> 5) + 1;
        match.tail = opcode & 3;
        return true;
    }
    if (opcode >= 32) {
        if (PLOTVANE_RARELY((opcode & 31) == 0)) {
            return Read_Long_Form(stream, cursor, 33, 1, match);
        }
        match.length = (opcode & 31) + 2;
        return Read_Distance<Near_End>(stream, cursor, 1, match);
    }
    const std::size_t far = 16384 + (std::size_t{opcode & 8} << 11);
    if (PLOTVANE_RARELY((opcode & 7) == 0)) {
        if (!Read_Long_Form(stream, cursor, 9, far, match)) {
            return false;
        }
    } else {
        match.length = (opcode & 7) + 2;
        if (!Read_Distance<Near_End>(stream, cursor, far, match)) {
            return false;
        }
    }
    // A far match at exactly 16384 is the end-of-stream instruction: a stream that goes on
    // after it does not end at the end of the file.
    return match.distance != End_Of_Stream_Distance;
}

// Reads the short match of an opcode below 16 after literals: 2 bytes after a match's
// trailing literals, 3 bytes from 2049 or more back after a literal run.
template <bool Near_End>
PLOTVANE_HOT bool Read_Short_Match(const TLzo_Stream& stream, TLzo_Cursor& cursor,
                                   std::uint32_t opcode, TLzo_State state, TLzo_Match& match)
{
    if (!Has_Input<Near_End>(stream, cursor, 1)) {
        return false;
    }
    const std::size_t near = 1 + (opcode >> 2) + 4 * std::size_t{Next_Byte(stream, cursor)};
    const bool after_run = state == TLzo_State::After_Literal_Run;
    match.distance = after_run ? near + 2048 : near;
    match.length = after_run ? 3 : 2;
    match.tail = opcode & 3;
    return true;
}

// Reads and copies the literal run of an opcode below 16 in the plain state.
PLOTVANE_HOT bool Copy_Literal_Run(const TLzo_Stream& stream, const TLzo_Image& image,
                                   TLzo_Cursor& cursor, std::uint32_t opcode)
{
    std::size_t run = opcode + 3;
    return (opcode != 0 || Read_Extended_Length(stream, cursor, 18, run)) &&
           Copy_Literals(stream, image, cursor, run);
}

// The state that a match leaves, by the number of literals that follow it.
PLOTVANE_HOT TLzo_State State_After_Match(std::uint32_t tail)
{
    return tail == 0 ? TLzo_State::Plain : TLzo_State::After_Short_Tail;
}

// Moves both cursors past the 0 to 3 literals that follow a match, once they are copied, and
// sets the state they leave. The count decides where the next instruction starts, so it is
// taken as a branch, which the processor predicts and runs ahead of, rather than added as a
// value, which it must wait to load: a body of repeating records decodes at the speed of
// prediction instead of one dependent load after another.
PLOTVANE_HOT void Skip_Tail(TLzo_Cursor& cursor, std::uint32_t tail, TLzo_State& state)
{
    switch (tail) {
    case 0:
        state = TLzo_State::Plain;
        return;
    case 1:
        cursor.in += 1;
        cursor.out += 1;
        break;
    case 2:
        cursor.in += 2;
        cursor.out += 2;
        break;
    default:
        cursor.in += 3;
        cursor.out += 3;
        break;
    }
    state = TLzo_State::After_Short_Tail;
}

// Appends a match and the 0 to 3 literals that follow it, and sets the state they leave. Far
// from the ends of the stream and of the image (the usual case), both are copied in whole
// steps after one test of each bound; near them, with every count tested. `Deep`: the body
// written so far is longer than the farthest distance, so that every match starts inside it.
template <bool Near_End, bool Deep>
PLOTVANE_HOT bool Copy_Match_And_Tail(const TLzo_Stream& stream, const TLzo_Image& image,
                                      TLzo_Cursor& cursor, const TLzo_Match& match,
                                      TLzo_State& state)
{
    // The 4 bytes read for the literals are there unless the match came near the end.
    const bool tail_readable =
        (!Near_End && !match.long_form) || Input_Left(stream, cursor) >= 4;
    assert(!Deep || match.distance <= Written(cursor));
    if (PLOTVANE_USUALLY(Fits_Fast(cursor, match.length + 3) && tail_readable &&
                         (Deep || match.distance <= Written(cursor)))) {
        Copy_Match_Steps(cursor.out, match.distance, match.length);
        cursor.out += match.length;
        std::memcpy(cursor.out, cursor.in, 4);
        Skip_Tail(cursor, match.tail, state);
        return true;
    }
    state = State_After_Match(match.tail);
    return Copy_Match(image, cursor, match) &&
           (match.tail == 0 || Copy_Literals(stream, image, cursor, match.tail));
}

// Decodes one instruction, from its opcode on. `Near_End` false: far from the end of the
// stream, where the reads of most instructions need no test. `Deep`: see Copy_Match_And_Tail.
template <bool Near_End, bool Deep>
PLOTVANE_HOT bool Decode_Instruction(const TLzo_Stream& stream, const TLzo_Image& image,
                                     TLzo_Cursor& cursor, TLzo_State& state)
{
    const std::uint32_t opcode = Next_Byte(stream, cursor);
    TLzo_Match match;
    if (PLOTVANE_USUALLY(opcode >= 16)) {
        if (!Read_Match<Near_End>(stream, cursor, opcode, match)) {
            return false;
        }
    } else if (state == TLzo_State::Plain) {
        state = TLzo_State::After_Literal_Run;
        return Copy_Literal_Run(stream, image, cursor, opcode);
    } else if (!Read_Short_Match<Near_End>(stream, cursor, opcode, state, match)) {
        return false;
    }
    return Copy_Match_And_Tail<Near_End, Deep>(stream, image, cursor, match, state);
}

} // namespace

bool Lzo_Decode_Body(const std::uint8_t* stream_bytes, std::size_t stream_size, std::uint8_t mask,
                     TFlexible_Byte_Array& bytes, std::size_t body_offset, std::size_t body_size)
{
    const TLzo_Stream stream{stream_bytes + stream_size, mask, 0x0101u * mask};
    const TLzo_Image image{bytes, body_offset, body_size};
    TLzo_Cursor cursor;
    cursor.in = stream_bytes;
    Set_Room(image, cursor, 0);
    TLzo_State state = TLzo_State::Plain;
    if (stream_size > 0 && (*cursor.in ^ mask) > First_Byte_Run_Base) {
        const std::size_t run = Next_Byte(stream, cursor) - First_Byte_Run_Base;
        if (!Copy_Literals(stream, image, cursor, run)) {
            return false;
        }
        state = run < 4 ? TLzo_State::After_Short_Tail : TLzo_State::After_Literal_Run;
    }
    const std::uint8_t* const far_end =
        stream_size > Far_From_End ? stream.end - Far_From_End : stream_bytes;
    // Past this point of the stream every match starts inside the body: its test is saved.
    const std::size_t far_bytes =
        far_end > cursor.in ? static_cast<std::size_t>(far_end - cursor.in) : 0;
    const std::uint8_t* const deep = cursor.in + std::min(far_bytes, Deep_Stream_Bytes);
    while (cursor.in < deep) {
        if (!Decode_Instruction<false, false>(stream, image, cursor, state)) {
            return false;
        }
    }
    while (cursor.in < far_end) {
        if (!Decode_Instruction<false, true>(stream, image, cursor, state)) {
            return false;
        }
    }
    while (cursor.in < stream.end) {
        if (!Decode_Instruction<true, false>(stream, image, cursor, state)) {
            return false;
        }
    }
    return Written(cursor) == body_size;
}

} // namespace plotvane
