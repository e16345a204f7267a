#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>

namespace plotvane {
namespace {

using test::TBytes;

constexpr std::uint8_t Mask = 0x5A;
const TBytes Signature = {0x47, 0x42, 0x58, 0x06, 0x00, 0x42, 0x55, 0x43, 0x52};

TBytes Header_With_Class(std::uint32_t class_id)
{
    TBytes header = Signature;
    for (int i = 0; i < 4; ++i) {
        header.push_back(static_cast<std::uint8_t>(class_id >> (8 * i)));
    }
    return header;
}

TEST(Gbx_Get_Type, Tells_Kinds_By_Signature_And_Whole_Class_Id)
{
    EXPECT_EQ(Gbx_Get_Type({}, Mask), Gbx_Kind_Unknown);
    TBytes twelve_bytes = Header_With_Class(0x03043000);
    twelve_bytes.pop_back();
    EXPECT_EQ(Gbx_Get_Type(test::Masked(twelve_bytes, Mask), Mask), Gbx_Kind_Unknown)
        << "12 bytes are too short even with the signature";
    EXPECT_EQ(Gbx_Get_Type(test::Masked(Header_With_Class(0x03043000), Mask), Mask), Gbx_Kind_Challenge);
    EXPECT_EQ(Gbx_Get_Type(test::Masked(Header_With_Class(0x240B5000), Mask), Mask), Gbx_Kind_Profile);
    EXPECT_EQ(Gbx_Get_Type(test::Masked(Header_With_Class(0x03093000), Mask), Mask), Gbx_Kind_Replay);
    EXPECT_EQ(Gbx_Get_Type(test::Masked(Header_With_Class(0x03043001), Mask), Mask), Gbx_Kind_Unknown);
    EXPECT_EQ(Gbx_Get_Type(test::Masked(Header_With_Class(0x24003000), Mask), Mask), Gbx_Kind_Unknown);
    for (std::size_t i = 0; i < Signature.size(); ++i) {
        TBytes header = Header_With_Class(0x03043000);
        header[i] ^= 0x01;
        EXPECT_EQ(Gbx_Get_Type(test::Masked(header, Mask), Mask), Gbx_Kind_Unknown) << "byte " << i;
    }
    // The same bytes under mask 0 read as plain bytes.
    EXPECT_EQ(Gbx_Get_Type(Header_With_Class(0x03043000), 0), Gbx_Kind_Challenge);
}

TEST(Gbx_Get_Compression_Info, Reads_The_Sizes_After_The_User_Data)
{
    const TBytes file = test::Make_Gbx_File(0x03043000, TBytes(100, 0xEE), 5000, TBytes(40, 1));
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(test::Masked(file, Mask), Mask);
    EXPECT_EQ(info.Data_Offset, 133U);
    EXPECT_EQ(info.Uncompressed_Size, 5000U);
    EXPECT_EQ(info.Compressed_Size, 40U);

    const TBytes empty_user_data = test::Make_Gbx_File(0x03093000, {}, 7, {});
    EXPECT_EQ(Gbx_Get_Compression_Info(test::Masked(empty_user_data, 0x11), 0x11).Data_Offset, 33U);
}

TEST(Gbx_Get_Compression_Info, Finds_No_Body_In_Unknown_Or_Cut_Headers)
{
    const TBytes file = test::Make_Gbx_File(0x03043000, TBytes(100, 0xEE), 5000, {});
    for (const std::size_t length : {std::size_t{0}, std::size_t{13}, std::size_t{16}, std::size_t{132}}) {
        const TBytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        const TGbx_Compression_Info info = Gbx_Get_Compression_Info(test::Masked(cut, Mask), Mask);
        EXPECT_EQ(info.Data_Offset, 0U) << length;
        EXPECT_EQ(info.Compressed_Size, 0U) << length;
        EXPECT_EQ(info.Uncompressed_Size, 0U) << length;
    }
    // A user data size that would wrap a 32-bit offset.
    TBytes huge = Header_With_Class(0x03043000);
    huge.insert(huge.end(), {0xF0, 0xFF, 0xFF, 0xFF});
    huge.resize(64, 0);
    EXPECT_EQ(Gbx_Get_Compression_Info(test::Masked(huge, Mask), Mask).Data_Offset, 0U);
}

TGbx_Compress_Data_Type Decode(const TBytes& plain, std::uint32_t& cursor)
{
    return Gbx_Read_Compress_Data_Type(test::Masked(plain, Mask), cursor, true, Mask);
}

TEST(Gbx_Read_Compress_Data_Type, Decodes_Each_Opcode_Class)
{
    struct TCase {
        TBytes bytes;
        TGbx_Compress_Data_Type expected;
    };
    const TCase cases[] = {
        {{0, 0, 0, 7}, {10, 4, 0, 0, 18 + 255 * 2 + 7}},
        {{1}, {20, 1, 0, 0, 4}},
        {{15}, {20, 1, 0, 0, 18}},
        {{16, 0, 3, 0x05, 0x02}, {30, 5, 16384 + 1 + 128, 9 + 255 + 3, 1}},
        {{17, 0x04, 0x01}, {98, 3, 16384 + 1 + 64, 3, 0}},
        {{23, 0x03, 0x00}, {31, 3, 16384, 9, 3}},
        {{24, 0, 1, 0x08, 0x00}, {32, 5, 32768 + 2, 265, 0}},
        {{31, 0x00, 0x01}, {33, 3, 32768 + 64, 9, 0}},
        {{32, 5, 0x02, 0x00}, {40, 4, 1, 38, 2}},
        {{63, 0xFF, 0xFF}, {50, 3, 1 + 63 + 64 * 255, 33, 3}},
        {{0xFF, 0x10}, {60, 2, 1 + 7 + 8 * 16, 8, 3}},
        {{64, 0x00}, {60, 2, 1, 3, 0}},
    };
    for (const TCase& c : cases) {
        std::uint32_t cursor = 0;
        const TGbx_Compress_Data_Type got = Decode(c.bytes, cursor);
        const int opcode = c.bytes[0];
        EXPECT_EQ(got.Kind, c.expected.Kind) << opcode;
        EXPECT_EQ(got.Size, c.expected.Size) << opcode;
        EXPECT_EQ(got.Distance, c.expected.Distance) << opcode;
        EXPECT_EQ(got.Match_Length, c.expected.Match_Length) << opcode;
        EXPECT_EQ(got.Literal_Length, c.expected.Literal_Length) << opcode;
        EXPECT_EQ(cursor, c.expected.Size) << opcode;
    }
}

TEST(Gbx_Read_Compress_Data_Type, Reads_Every_Low_Opcode_As_A_Literal_Run)
{
    // Opcode 5, eight literals, then opcode 7: two runs, of 8 and of 10 bytes.
    TBytes stream = {5, 1, 2, 3, 4, 5, 6, 7, 8, 7};
    std::uint32_t cursor = 0;
    EXPECT_EQ(Decode(stream, cursor).Literal_Length, 8U);
    cursor += 8;
    const TGbx_Compress_Data_Type second = Decode(stream, cursor);
    EXPECT_EQ(second.Kind, 20U);
    EXPECT_EQ(second.Literal_Length, 10U);

    std::uint32_t unmoved = 0;
    Gbx_Read_Compress_Data_Type(test::Masked(stream, Mask), unmoved, false, Mask);
    EXPECT_EQ(unmoved, 0U);
}

TEST(Gbx_Read_Compress_Data_Type, Reports_An_Instruction_Cut_By_The_End_Past_It)
{
    std::uint32_t cursor = 0;
    EXPECT_GT(Decode({0, 0, 0}, cursor).Size, 3U) << "a zero run reaching the end";
    cursor = 0;
    EXPECT_GT(Decode({24, 0, 1}, cursor).Size, 3U) << "distance bytes missing";
    cursor = 1;
    EXPECT_GT(cursor + Decode({1, 0xFF}, cursor).Size, 2U) << "a two-byte opcode at the last byte";
}

TGbx_Indexed_String Read_String(const TBytes& plain, std::uint32_t& cursor, bool advance = true)
{
    return Gbx_Read_Indexed_String(test::Masked(plain, Mask), cursor, advance, Mask);
}

TEST(Gbx_Read_Indexed_String, Reads_References_And_Texts_In_Place)
{
    std::uint32_t cursor = 0;
    TGbx_Indexed_String reference = Read_String({0x05, 0x00, 0x00, 0x40, 0xAA}, cursor);
    EXPECT_EQ(reference.Index, 5U);
    EXPECT_EQ(reference.Flags, 16384U);
    EXPECT_EQ(reference.Text, "");
    EXPECT_EQ(cursor, 4U);

    cursor = 0;
    TGbx_Indexed_String in_place =
        Read_String({0x00, 0x00, 0x00, 0x40, 3, 0, 0, 0, 'a', '\0', 'c', 0xAA}, cursor);
    EXPECT_EQ(in_place.Index, 0U);
    EXPECT_EQ(in_place.Flags, 16384U);
    EXPECT_EQ(in_place.Text, std::string("a\0c", 3));
    EXPECT_EQ(cursor, 11U);

    cursor = 0;
    EXPECT_EQ(Read_String({0, 0, 0, 0, 0, 0, 0, 0, 0xAA}, cursor).Text, "");
    EXPECT_EQ(cursor, 8U);

    cursor = 0;
    const TGbx_Indexed_String all_ones = Read_String({0xFF, 0xFF, 0xFF, 0xFF}, cursor);
    EXPECT_EQ(all_ones.Index, 65535U);
    EXPECT_EQ(all_ones.Flags, 65535U);
    EXPECT_EQ(cursor, 4U);

    cursor = 0;
    EXPECT_EQ(Read_String({0, 0, 0, 0, 1, 0, 0, 0, 'z', 0xAA}, cursor, false).Text, "z");
    EXPECT_EQ(cursor, 0U) << "a look ahead leaves the cursor";
}

TEST(Gbx_Read_Indexed_String, Reads_Nothing_Past_The_End)
{
    std::uint32_t cursor = 0;
    EXPECT_EQ(Read_String({0x05, 0x00, 0x00}, cursor).Index, 0U);
    EXPECT_EQ(cursor, 0U) << "a value that does not fit is not read";

    cursor = 0;
    const TGbx_Indexed_String cut_length = Read_String({0, 0, 0, 0, 9, 0}, cursor);
    EXPECT_EQ(cut_length.Text, "");
    EXPECT_EQ(cursor, 4U);

    // The text would end on the last byte: refused, cursor after the length field.
    cursor = 0;
    EXPECT_EQ(Read_String({0, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}, cursor).Text, "");
    EXPECT_EQ(cursor, 8U);

    cursor = 0;
    EXPECT_EQ(Read_String({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, cursor).Text, "");
    EXPECT_EQ(cursor, 8U);
}

} // namespace
} // namespace plotvane
