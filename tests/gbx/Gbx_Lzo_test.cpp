#include "gbx/Gbx_Lzo_Decoder.h"
#include "gbx/Gbx_Lzo_Encoder.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace plotvane {
namespace {

using test::TBytes;

constexpr std::uint8_t Mask = 0x5A;
constexpr std::uint8_t Other_Mask = 0xC3;
const TBytes No_User_Data;
const TBytes End_Marker = {0x11, 0x00, 0x00};

// Header length of the test files: 33 + user data size.
constexpr std::size_t Body_Offset = 33;

std::uint32_t Expand(const TBytes& file, TFlexible_Byte_Array& image, std::uint8_t mask = Mask)
{
    return Gbx_Uncompress(test::Masked(file, mask), image, mask);
}

TBytes Expanded_Body(const TFlexible_Byte_Array& image, std::uint8_t mask = Mask)
{
    const TBytes plain = test::Unmasked(image, mask);
    return TBytes(plain.begin() + Body_Offset, plain.end() - 3);
}

// Packs an image and returns the plain file.
TBytes Pack(const TFlexible_Byte_Array& image, std::uint32_t method = Gbx_Method_Literal_Run)
{
    TFlexible_Byte_Array packed;
    EXPECT_EQ(Gbx_Compress(image, packed, method, Mask), Status_Ok);
    return test::Unmasked(packed, Mask);
}

// Packs an image by `method` and checks the file: the image's header with the stream's length,
// a stream that liblzo2 and Gbx_Uncompress both expand to the image, within the encoder's bound.
// Returns the stream, end marker included.
TBytes Check_Packed(const TFlexible_Byte_Array& image, std::uint32_t method)
{
    const TBytes file = Pack(image, method);
    const TBytes plain_image = test::Unmasked(image, Mask);
    const std::size_t body_offset = Gbx_Get_Compression_Info(image, Mask).Data_Offset;
    const TBytes stream(file.begin() + static_cast<std::ptrdiff_t>(body_offset), file.end());
    const TBytes body(plain_image.begin() + static_cast<std::ptrdiff_t>(body_offset),
                      plain_image.end() - 3);
    EXPECT_EQ(TBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(body_offset) - 4),
              TBytes(plain_image.begin(),
                     plain_image.begin() + static_cast<std::ptrdiff_t>(body_offset) - 4));
    EXPECT_EQ(test::Little_Endian_At(file, body_offset - 4), stream.size());
    EXPECT_LE(stream.size(), Lzo_Encoded_Size_Bound(body.size()) + 3);
    EXPECT_EQ(test::Lzo_Decompress(stream, body.size()), body);
    TFlexible_Byte_Array again;
    EXPECT_EQ(Expand(file, again), Status_Ok);
    EXPECT_EQ(again, image);
    return stream;
}

TFlexible_Byte_Array Image_Of_Body(const TBytes& body)
{
    TFlexible_Byte_Array image;
    TBytes stream = test::Lzo_Compress(body, false);
    EXPECT_EQ(Expand(test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data,
                                         static_cast<std::uint32_t>(body.size()), stream),
                     image),
              Status_Ok);
    return image;
}

TEST(Gbx_Uncompress, Expands_Streams_Of_Both_Liblzo2_Compressors_Like_Liblzo2)
{
    for (const bool optimal : {false, true}) {
        // Bodies around 65536 bytes: the room zeroed before expansion, which must then hold
        // the end marker too when it holds the body.
        for (const std::size_t size :
             {1, 2, 3, 4, 17, 18, 19, 200, 4096, 65533, 65534, 65535, 65536, 70001, 300000}) {
            const TBytes body = test::Compressible_Body(size, static_cast<std::uint32_t>(size));
            const TBytes file =
                test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, No_User_Data, body, optimal);
            TFlexible_Byte_Array image;
            ASSERT_EQ(Expand(file, image), Status_Ok) << size << (optimal ? " optimal" : "");
            EXPECT_EQ(Expanded_Body(image), body) << size << (optimal ? " optimal" : "");
        }
    }
}

// Matches of every short distance and of lengths around the copy steps, as liblzo2 packs
// repeating patterns, and near the end of the body, where the copies have no room to spare.
TEST(Gbx_Uncompress, Expands_Repeating_Patterns_Of_Every_Short_Period_Like_Liblzo2)
{
    for (std::size_t period = 1; period <= 20; ++period) {
        for (const std::size_t size : {5, 11, 17, 23, 40, 333, 5000}) {
            TBytes body;
            for (std::size_t i = 0; i < period; ++i) {
                body.push_back(static_cast<std::uint8_t>(17 * i + 1)); // no shorter period
            }
            while (body.size() < size) {
                body.push_back(body[body.size() - period]);
            }
            for (const bool optimal : {false, true}) {
                const TBytes file =
                    test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, No_User_Data, body, optimal);
                TFlexible_Byte_Array image;
                ASSERT_EQ(Expand(file, image), Status_Ok) << period << " " << size;
                EXPECT_EQ(Expanded_Body(image), body) << period << " " << size;
            }
        }
    }
}

// Each cut of a stream, held in an array of exactly its length (so that the sanitizer sees a
// read past it), is refused, and the whole stream expands: however close to the end of the
// stream an instruction stands, it reads nothing beyond it. The body gives literal runs,
// matches of every kind, and long matches whose length takes extra bytes, each followed by
// a few literals.
TEST(Lzo_Decode_Body, Reads_Nothing_Past_The_End_Of_A_Cut_Stream)
{
    TBytes body = test::Compressible_Body(400, 3);
    for (const std::uint8_t literal : {0xF1, 0xE2, 0xD3}) {
        for (std::size_t i = 0; i < 700; ++i) {
            body.push_back(static_cast<std::uint8_t>("plotvan"[i % 7]));
        }
        body.push_back(literal);
        const TBytes more = test::Compressible_Body(200, literal);
        body.insert(body.end(), more.begin(), more.end());
    }
    for (const bool optimal : {false, true}) {
        TBytes stream = test::Lzo_Compress(body, optimal);
        stream.resize(stream.size() - End_Marker.size());
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            const TBytes exact(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
            TFlexible_Byte_Array image;
            EXPECT_EQ(Lzo_Decode_Body(exact.data(), exact.size(), 0, image, 0, body.size()),
                      cut == stream.size())
                << cut << (optimal ? " optimal" : "");
            if (cut == stream.size()) {
                EXPECT_EQ(TBytes(image.begin(), image.end() - 3), body);
            }
        }
    }
}

TEST(Gbx_Uncompress, Builds_The_Expanded_Image_Layout)
{
    const TBytes user_data = {1, 2, 3, 4, 5};
    const TBytes body = test::Compressible_Body(5000, 7);
    const TBytes file = test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, user_data, body, true);
    TFlexible_Byte_Array image;
    ASSERT_EQ(Expand(file, image), Status_Ok);

    const TBytes plain = test::Unmasked(image, Mask);
    const std::size_t body_offset = 33 + user_data.size();
    ASSERT_EQ(plain.size(), body_offset + body.size() + 3);
    EXPECT_EQ(TBytes(plain.begin(), plain.begin() + 34), TBytes(file.begin(), file.begin() + 34))
        << "the header up to the compressed-size field is copied unchanged";
    EXPECT_EQ(test::Little_Endian_At(plain, body_offset - 4), 5003U);
    EXPECT_EQ(TBytes(plain.end() - 3, plain.end()), End_Marker);
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, Mask);
    EXPECT_EQ(info.Compressed_Size, 5003U);
    EXPECT_EQ(info.Uncompressed_Size, 5000U);
}

// Streams of the decoder's own table: an opcode from 0 to 15 read as a literal run.
TEST(Gbx_Uncompress, Follows_The_Single_Instruction_Table)
{
    // 1 literal 'x', then a match of distance 1 and length 10 (opcode 32 + 8 = 40: length 10;
    // distance bytes 0, 0: distance 1, no trailing literals). The run is opcode 1: 4 literals.
    const TBytes stream = {0x01, 'a', 'b', 'c', 'x', 40, 0x00, 0x00, 0x11, 0x00, 0x00};
    TFlexible_Byte_Array image;
    ASSERT_EQ(Expand(test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 14, stream), image),
              Status_Ok);
    EXPECT_EQ(Expanded_Body(image), TBytes({'a', 'b', 'c', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x',
                                            'x', 'x', 'x'}));

}

// Opcodes below 16 after literals are short matches, as optimal compressors write them.
TEST(Gbx_Uncompress, Reads_Low_Opcodes_After_Literals_As_Short_Matches)
{
    // First byte 17 + 2: two literals; then opcode 0 after those literals is a 2-byte match
    // at distance 1 + 0 + 4 * 0 = 1 with no trailing literals.
    const TBytes after_tail = {19, 'a', 'b', 0x00, 0x00, 0x11, 0x00, 0x00};
    TFlexible_Byte_Array image;
    ASSERT_EQ(Expand(test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4, after_tail),
                     image),
              Status_Ok);
    EXPECT_EQ(Expanded_Body(image), TBytes({'a', 'b', 'b', 'b'}));

    // A literal run of 2065 bytes, then opcode 1 (distance 2049 + 0 + 4 * 0, 3 bytes, one
    // trailing literal 'z').
    TBytes after_run(9, 0x00); // opcode 0 and eight zero bytes: 18 + 255 * 8 + the next byte
    after_run.push_back(7);
    TBytes literals(2065);
    for (std::size_t i = 0; i < literals.size(); ++i) {
        literals[i] = static_cast<std::uint8_t>(i * 7);
    }
    after_run.insert(after_run.end(), literals.begin(), literals.end());
    after_run.insert(after_run.end(), {0x01, 0x00, 'z'});
    after_run.insert(after_run.end(), End_Marker.begin(), End_Marker.end());
    ASSERT_EQ(Expand(test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 2065 + 4,
                                         after_run),
                     image),
              Status_Ok);
    const TBytes body = Expanded_Body(image);
    EXPECT_EQ(TBytes(body.end() - 4, body.end() - 1),
              TBytes(literals.end() - 2049, literals.end() - 2046));
    EXPECT_EQ(body.back(), 'z');
}

TEST(Gbx_Uncompress, Refuses_Broken_Files_And_Leaves_The_Image_Empty)
{
    const TBytes good_stream = {0x01, 'a', 'b', 'c', 'd', 0x11, 0x00, 0x00};
    struct TCase {
        const char* what;
        TBytes file;
        std::uint32_t status;
    };
    TBytes trailing_byte = test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4, good_stream);
    trailing_byte.push_back(0);
    TBytes sizes_past_end = test::Make_Gbx_File(test::Challenge_Class_Id, TBytes(8), 4, {});
    sizes_past_end.resize(13 + 4 + 8 + 12);
    // A literal run of 18 + 255 * 274 + 112 = 70000 bytes (opcode 0, 274 zero bytes, 112), then
    // a match of 33 + 67 = 100 bytes 1 back (opcode 32, 67, distance bytes 0, 0): decoded past
    // the first 61440 stream bytes, where every distance reaches inside the body.
    TBytes deep_stream = {0x00};
    deep_stream.resize(275, 0x00);
    deep_stream.push_back(112);
    const TBytes deep_literals = test::Compressible_Body(70000, 8);
    deep_stream.insert(deep_stream.end(), deep_literals.begin(), deep_literals.end());
    deep_stream.insert(deep_stream.end(), {32, 67, 0x00, 0x00, 0x11, 0x00, 0x00});
    // A first byte of 18: 1 literal. Then 15000 short instructions of 3 bytes, each writing 3
    // (opcode 1 after literals: 2 bytes 1 back, then the 1 literal its low bits count), so that
    // 45000 stream bytes write 45001 body bytes. Then a far match 49151 back (opcode 16 | 8 | 7:
    // 9 bytes from 32768 + 16383 back, distance bytes 0xFC, 0xFF), reaching 4150 bytes before
    // the body, and a literal run of 18 (opcode 15) so that the match is not near the end.
    TBytes short_steps = {18, 'a'};
    for (int i = 0; i < 15000; ++i) {
        short_steps.insert(short_steps.end(), {0x01, 0x00, 'x'});
    }
    short_steps.insert(short_steps.end(), {0x1F, 0xFC, 0xFF, 15});
    short_steps.insert(short_steps.end(), 18, 'y');
    short_steps.insert(short_steps.end(), End_Marker.begin(), End_Marker.end());
    const TCase cases[] = {
        {"empty array", {}, Status_Uncompress_No_Body},
        {"text file", TBytes(100, 'x'), Status_Uncompress_No_Body},
        {"unknown class", test::Make_Gbx_File(0x03043001, No_User_Data, 4, good_stream),
         Status_Uncompress_No_Body},
        {"size fields past the end", sizes_past_end, Status_Uncompress_No_Body},
        {"one byte after the body", trailing_byte, Status_Uncompress_Bad_Stream},
        {"uncompressed size one more",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 5, good_stream),
         Status_Uncompress_Bad_Stream},
        {"uncompressed size one less",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 3, good_stream),
         Status_Uncompress_Bad_Stream},
        // opcode 1 asks for 4 literals; only 3 come before the end marker
        {"literal run into the end marker",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4,
                             {0x01, 'a', 'b', 'c', 0x11, 0x00, 0x00}),
         Status_Uncompress_Bad_Stream},
        // literal 'a', then a match of distance 2 (opcode 64 | (1 << 2)): before the body
        {"match before the start of the body",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 6,
                             {18, 'a', 0x44, 0x00, 0x11, 0x00, 0x00}),
         Status_Uncompress_Bad_Stream},
        // a literal run whose length runs into zero bytes up to the end of the stream
        {"zero run to the end",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4,
                             {0x00, 0x00, 0x00, 0x11, 0x00, 0x00}),
         Status_Uncompress_Bad_Stream},
        // a match instruction that needs two distance bytes, with one left
        {"instruction cut short",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4,
                             {0x01, 'a', 'b', 'c', 'd', 0x21, 0x00, 0x11, 0x00, 0x00}),
         Status_Uncompress_Bad_Stream},
        // the last three bytes read as a far match with 3 trailing literals, not 17, 0, 0
        {"end marker not the end-of-stream instruction",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4,
                             {0x01, 'a', 'b', 'c', 'd', 0x11, 0x7F, 0x02}),
         Status_Uncompress_Bad_Stream},
        {"end marker with its distance bits set",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 4,
                             {0x01, 'a', 'b', 'c', 'd', 0x11, 0x00, 0x01}),
         Status_Uncompress_Bad_Stream},
        {"no room for the end marker",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 0, {0x11, 0x00}),
         Status_Uncompress_Bad_Stream},
        {"a match past the stated size, deep in a long stream",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 70050, deep_stream),
         Status_Uncompress_Bad_Stream},
        // user data longer than the reach, so that a decoder that let the match through would
        // read the header: its refusal is what shows
        {"a far match farther back than the bytes written, after 45 KB of short instructions",
         test::Make_Gbx_File(test::Challenge_Class_Id, TBytes(4200), 45028, short_steps),
         Status_Uncompress_Bad_Stream},
        {"body size beyond what the stream can give",
         test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 0xFFFFFFF0, good_stream),
         Status_Uncompress_Bad_Stream},
    };
    for (const TCase& broken : cases) {
        TFlexible_Byte_Array image;
        EXPECT_EQ(Expand(broken.file, image), broken.status) << broken.what;
        EXPECT_TRUE(image.empty()) << broken.what;
    }
}

// The instruction 17, 0, 0 ends a stream wherever it stands; bytes after it are not part of
// the stream, so the file's stream does not end at the end of the file.
TEST(Gbx_Uncompress, Refuses_A_Stream_That_Goes_On_After_Its_End_Instruction)
{
    TBytes stream(65, 0x00); // a literal run of 18 + 255 * 64 + 62 = 16400 bytes
    stream.push_back(62);
    const TBytes literals = test::Compressible_Body(16400, 4);
    stream.insert(stream.end(), literals.begin(), literals.end());
    const std::size_t run_end = stream.size();
    stream.insert(stream.end(), {0x11, 0x00, 0x00}); // read alone: 3 bytes from 16384 back
    stream.insert(stream.end(), End_Marker.begin(), End_Marker.end());
    TFlexible_Byte_Array image;
    EXPECT_EQ(Expand(test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 16403, stream),
                     image),
              Status_Uncompress_Bad_Stream);
    EXPECT_TRUE(image.empty());

    // The same run followed by a true far match (distance 16385) expands.
    stream[run_end + 1] = 0x04;
    ASSERT_EQ(Expand(test::Make_Gbx_File(test::Challenge_Class_Id, No_User_Data, 16403, stream),
                     image),
              Status_Ok);
    EXPECT_EQ(Expanded_Body(image), test::Lzo_Decompress(stream, 16403));
}

TEST(Gbx_Uncompress, Expands_Profiles_And_Replays_Like_Challenges)
{
    const TBytes body = test::Compressible_Body(300, 3);
    for (const std::uint32_t class_id : {test::Profile_Class_Id, test::Replay_Class_Id}) {
        TFlexible_Byte_Array image;
        ASSERT_EQ(Expand(test::Make_Lzo_Gbx_File(class_id, No_User_Data, body, false), image),
                  Status_Ok);
        EXPECT_EQ(Expanded_Body(image), body);
    }
}

TEST(Gbx_Compress, Writes_The_Published_Literal_Run_Instruction)
{
    struct TCase {
        std::size_t body_size;
        TBytes instruction;
    };
    const TCase cases[] = {
        {0, {}},           {1, {18}},          {3, {20}},          {4, {1}},
        {18, {15}},        {19, {0, 1}},       {273, {0, 255}},    {274, {0, 0, 1}},
        {528, {0, 0, 255}}, {529, {0, 0, 0, 1}},
    };
    for (const TCase& expected : cases) {
        const TBytes body = test::Compressible_Body(expected.body_size, 11);
        const TFlexible_Byte_Array image = Image_Of_Body(body);
        const TBytes packed = Pack(image);
        const std::size_t k = expected.instruction.size();
        ASSERT_EQ(packed.size(), Body_Offset + k + body.size() + 3) << expected.body_size;
        EXPECT_EQ(TBytes(packed.begin() + Body_Offset, packed.begin() + Body_Offset + k),
                  expected.instruction)
            << expected.body_size;
        EXPECT_EQ(test::Little_Endian_At(packed, Body_Offset - 4), k + body.size() + 3)
            << expected.body_size;
        // liblzo2 reads the packed body as the same bytes.
        EXPECT_EQ(test::Lzo_Decompress(TBytes(packed.begin() + Body_Offset, packed.end()),
                                       body.size()),
                  body)
            << expected.body_size;
        // And it expands back to the very same image.
        TFlexible_Byte_Array again;
        ASSERT_EQ(Expand(packed, again), Status_Ok) << expected.body_size;
        EXPECT_EQ(again, image) << expected.body_size;
    }
}

// Bytes in which nothing repeats by more than chance.
TBytes Noise(std::size_t size, std::uint32_t seed)
{
    std::minstd_rand random(seed);
    TBytes bytes(size);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(random() >> 7);
    }
    return bytes;
}

// `length` bytes of noise, zeros up to `distance`, the same `length` bytes again and noise.
TBytes Repeat_At(std::size_t distance, std::size_t length)
{
    TBytes body = Noise(length, static_cast<std::uint32_t>(distance));
    body.resize(distance);
    body.insert(body.end(), body.begin(), body.begin() + static_cast<std::ptrdiff_t>(length));
    const TBytes tail = Noise(32, 1);
    body.insert(body.end(), tail.begin(), tail.end());
    return body;
}

// Six copies of a 12-byte record, `run` bytes of noise after each.
TBytes Records_Between(std::size_t run)
{
    const TBytes record = {0x0B, 0, 0, 0x40, 2, 17, 3, 9, 0, 0, 0x10, 0};
    TBytes body;
    for (std::uint32_t copy = 0; copy < 6; ++copy) {
        body.insert(body.end(), record.begin(), record.end());
        const TBytes noise = Noise(run, copy + 1);
        body.insert(body.end(), noise.begin(), noise.end());
    }
    return body;
}

// The instructions at the limits of the published encoding, by both encoders: each stream
// expands to the body with liblzo2 and with Gbx_Uncompress. `most`: the stream's bytes at
// most, which only the matches asked for keep it within.
TEST(Gbx_Compress, Packs_The_Limits_Of_The_Encoding_As_Any_Decoder_Reads_Them)
{
    struct TCase {
        const char* what;
        TBytes body;
        std::size_t most;
    };
    const TCase cases[] = {
        {"empty body: the end-of-stream instruction alone", {}, 3},
        {"1 byte: a first byte of 18", {7}, 5},
        {"3 bytes", {7, 8, 9}, 7},
        {"238 literals: the longest run of a first byte", Noise(238, 1), 242},
        {"239 literals: a run opcode of its own", Noise(239, 2), 244},
        {"a million zeros: the longest match", TBytes(1000000, 0), 3950},
        // Noise, zeros (a byte per 255), then the match: without it 100 bytes more.
        {"49151 back: the farthest match", Repeat_At(49151, 100), 100 + 193 + 50},
        {"49152 back: one past the farthest, no match", Repeat_At(49152, 100), 0},
        {"16385 back: the nearest match of opcodes 16 to 31", Repeat_At(16385, 100), 100 + 65 + 50},
        {"16384 back: the farthest of opcodes 32 to 63, not the end-of-stream instruction",
         Repeat_At(16384, 100), 100 + 65 + 50},
        {"2048 back, 8 bytes: the farthest and longest 2-byte match", Repeat_At(2048, 8), 0},
        {"2049 back, 8 bytes", Repeat_At(2049, 8), 0},
        {"33 bytes near: the longest in opcodes 32 to 63", Repeat_At(100, 33), 0},
        {"34 bytes near: a length byte", Repeat_At(100, 34), 0},
        {"288 bytes near: a zero length byte more", Repeat_At(300, 289), 0},
        {"9 bytes far: the longest in opcodes 16 to 31", Repeat_At(20000, 9), 0},
        {"10 bytes far: a length byte", Repeat_At(20000, 10), 0},
        {"265 bytes far: a zero length byte more", Repeat_At(20000, 265), 0},
        {"runs of 3 literals after matches: in the matches' last bytes", Records_Between(3), 0},
        {"runs of 4 literals after matches: an opcode", Records_Between(4), 0},
        {"runs of 18 and 19 literals", Records_Between(18), 0},
        {"runs of 19 literals: a length byte", Records_Between(19), 0},
        {"runs of 274 literals: a zero length byte more", Records_Between(274), 0},
        // The optimal parse writes 2-byte matches of opcodes 0 to 15 in it, of both kinds.
        {"a body like a challenge's", test::Compressible_Body(300000, 12), 0},
        // Where the greedy pass's table and the optimal parse's chains change size, and where
        // places no longer fit the greedy table's 16 bits.
        {"4095 bytes", test::Compressible_Body(4095, 13), 0},
        {"4096 bytes", test::Compressible_Body(4096, 14), 0},
        {"65536 bytes", test::Compressible_Body(65536, 15), 0},
        {"65537 bytes", test::Compressible_Body(65537, 16), 0},
    };
    for (const TCase& edge : cases) {
        SCOPED_TRACE(edge.what);
        const TFlexible_Byte_Array image = Image_Of_Body(edge.body);
        for (const std::uint32_t method : {Gbx_Method_Packed, Gbx_Method_Best}) {
            SCOPED_TRACE(method);
            const TBytes stream = Check_Packed(image, method);
            if (edge.most != 0) {
                EXPECT_LE(stream.size(), edge.most) << edge.what << ", method " << method;
            }
        }
    }
}

TEST(Gbx_Compress, Refuses_What_It_Cannot_Pack)
{
    const TFlexible_Byte_Array image = Image_Of_Body(test::Compressible_Body(100, 5));

    TFlexible_Byte_Array packed;
    EXPECT_EQ(Gbx_Compress(image, packed, Gbx_Method_Best + 1, Mask), Status_Compress_Bad_Method);
    EXPECT_EQ(packed.size(), Body_Offset - 4) << "the header before the size field is kept";

    TFlexible_Byte_Array not_gbx(64, 0);
    packed.clear();
    EXPECT_EQ(Gbx_Compress(not_gbx, packed, 0, Mask), Status_Compress_No_Body);
    EXPECT_TRUE(packed.empty());

    TFlexible_Byte_Array cut = image;
    cut.pop_back();
    EXPECT_EQ(Gbx_Compress(cut, packed, 0, Mask), Status_Compress_No_Body)
        << "an image shorter than its compressed-size field says";
    EXPECT_TRUE(packed.empty());

    // Packed as it stands, this would be a file that no decoder accepts.
    TFlexible_Byte_Array bad_marker = image;
    bad_marker[bad_marker.size() - 2] ^= 0x7F;
    EXPECT_EQ(Gbx_Compress(bad_marker, packed, 0, Mask), Status_Compress_No_Body)
        << "an image whose end marker is not 17, 0, 0";
    EXPECT_TRUE(packed.empty());
}

// The uncompressed-size field of an image must agree with its compressed-size field; the
// check that follows a long run catches a disagreement.
TEST(Gbx_Compress, Checks_The_Uncompressed_Size_Of_Long_Runs)
{
    for (const std::size_t size : {18, 19, 1000}) {
        TFlexible_Byte_Array image = Image_Of_Body(test::Compressible_Body(size, 2));
        image[Body_Offset - 8] ^= 1; // the uncompressed-size field, one off
        TFlexible_Byte_Array packed;
        const std::uint32_t expected = size <= 18 ? Status_Ok : Status_Compress_Check_Failed;
        EXPECT_EQ(Gbx_Compress(image, packed, 0, Mask), expected) << size;
        EXPECT_EQ(packed.size(), image.size() + (size <= 18 ? 1 : 2 + (size + 3 - 21) / 255))
            << "the whole file stays in the buffer";
    }
}

// The delta is found from the body's length; packing the image must move the body by as much.
TEST(Gbx_Packed_Offset_Delta, Equals_What_Packing_Adds_For_Every_Run_Length)
{
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 600; ++size) {
        sizes.push_back(size);
    }
    for (const std::size_t further_zeros : {3, 100, 1000}) {
        for (const std::size_t around : {17, 18, 19}) {
            sizes.push_back(255 * further_zeros + around);
        }
    }
    for (const std::size_t size : sizes) {
        TFlexible_Byte_Array image = Image_Of_Body(test::Compressible_Body(size, 9));
        for (const bool size_field_off : {false, true}) {
            if (size_field_off) {
                image[Body_Offset - 8] ^= 1; // the uncompressed-size field
            }
            TFlexible_Byte_Array packed;
            const std::uint32_t status = Gbx_Compress(image, packed, 0, Mask);
            std::uint32_t delta = 99;
            EXPECT_EQ(Gbx_Packed_Offset_Delta(image, Mask, delta), status) << size;
            EXPECT_EQ(delta, packed.size() - image.size()) << size << " " << size_field_off;
        }
    }
}

TEST(Gbx_Packed_Offset_Delta, Refuses_What_Packing_Refuses)
{
    TFlexible_Byte_Array cut = Image_Of_Body(test::Compressible_Body(100, 5));
    TFlexible_Byte_Array bad_marker = cut;
    bad_marker.back() ^= 1;
    cut.pop_back();
    for (const TFlexible_Byte_Array& image : {TFlexible_Byte_Array(64, 0), cut, bad_marker}) {
        std::uint32_t delta = 99;
        EXPECT_EQ(Gbx_Packed_Offset_Delta(image, Mask, delta), Status_Compress_No_Body);
        EXPECT_EQ(delta, 0U);
    }
}

// Every real file: expand, pack by each method, expand again; liblzo2 agrees; the masks do not
// matter.
TEST(Gbx_Corpus, Round_Trips_Every_Recognised_Real_File)
{
    for (const char* name :
         {"E02-Endurance.Challenge.Gbx", "SpeedNotice.Challenge.Gbx", "Turbo001.Replay.Gbx",
          "Summer2021-04.Replay.Gbx", "campaign/Alpine-SnowA5.Challenge.Gbx",
          "campaign/Bay-BayA5.Challenge.Gbx", "campaign/Coast-CoastA5.Challenge.Gbx",
          "campaign/Island-IslandA2.Challenge.Gbx", "campaign/Rally-RallyA3.Challenge.Gbx",
          "campaign/Speed-DesertA5.Challenge.Gbx", "campaign/Stadium-A01-Race.Challenge.Gbx",
          "campaign/Stadium-B13-Obstacle.Challenge.Gbx",
          "campaign/Stadium-C08-Obstacle.Challenge.Gbx",
          "campaign/Stadium-D07-Race.Challenge.Gbx"}) {
        PLOTVANE_REQUIRE_CORPUS_FILE(path, name);
        const TBytes file = test::Read_Plain_File(path);
        TFlexible_Byte_Array image;
        ASSERT_EQ(Expand(file, image), Status_Ok) << name;
        const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, Mask);
        const std::size_t body_offset = info.Data_Offset;

        // liblzo2 gives the same body.
        const TBytes plain_image = test::Unmasked(image, Mask);
        EXPECT_EQ(test::Lzo_Decompress(TBytes(file.begin() + static_cast<std::ptrdiff_t>(body_offset), file.end()),
                                       info.Uncompressed_Size),
                  TBytes(plain_image.begin() + static_cast<std::ptrdiff_t>(body_offset), plain_image.end() - 3))
            << name;

        const TBytes packed = Pack(image);
        EXPECT_EQ(TBytes(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(body_offset) - 4),
                  TBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(body_offset) - 4))
            << name << ": the header is unchanged but for the compressed-size field";
        EXPECT_EQ(test::Lzo_Decompress(TBytes(packed.begin() + static_cast<std::ptrdiff_t>(body_offset), packed.end()),
                                       info.Uncompressed_Size),
                  TBytes(plain_image.begin() + static_cast<std::ptrdiff_t>(body_offset), plain_image.end() - 3))
            << name;
        TFlexible_Byte_Array again;
        ASSERT_EQ(Expand(packed, again), Status_Ok) << name;
        EXPECT_EQ(again, image) << name;

        TFlexible_Byte_Array other_image;
        ASSERT_EQ(Expand(file, other_image, Other_Mask), Status_Ok) << name;
        EXPECT_EQ(test::Unmasked(other_image, Other_Mask), plain_image) << name;
        TFlexible_Byte_Array other_packed;
        ASSERT_EQ(Gbx_Compress(other_image, other_packed, 0, Other_Mask), Status_Ok);
        EXPECT_EQ(test::Unmasked(other_packed, Other_Mask), packed) << name;

        for (const std::uint32_t method : {Gbx_Method_Packed, Gbx_Method_Best}) {
            const TBytes stream = Check_Packed(image, method);
            if (std::string(name).find(".Challenge.") != std::string::npos) {
                EXPECT_LT(stream.size(), plain_image.size() - body_offset) << name << method;
            }
            other_packed.clear();
            ASSERT_EQ(Gbx_Compress(other_image, other_packed, method, Other_Mask), Status_Ok);
            EXPECT_EQ(test::Unmasked(other_packed, Other_Mask), Pack(image, method)) << name;
        }
    }
}

TEST(Gbx_Corpus, Gives_The_Documented_Sizes_And_Refusals)
{
    {
        PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
        TFlexible_Byte_Array image;
        ASSERT_EQ(Expand(test::Read_Plain_File(path), image), Status_Ok);
        EXPECT_EQ(image.size(), 68801U);
    }
    for (const char* name : {"StuntC1-Early.Challenge.Gbx", "RaceF7-FirstEdition.Challenge.Gbx"}) {
        PLOTVANE_REQUIRE_CORPUS_FILE(path, name);
        TFlexible_Byte_Array image;
        EXPECT_EQ(Expand(test::Read_Plain_File(path), image), Status_Uncompress_No_Body) << name;
    }
}

} // namespace
} // namespace plotvane
