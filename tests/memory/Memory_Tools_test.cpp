#include "memory/Memory_Tools.h"

#include <gtest/gtest.h>

namespace plotvane {
namespace {

constexpr TMemory_Mask Mask = 0x5A;

TEST(Masked_Accessors, Read_And_Write_Little_Endian_Values_Through_The_Mask)
{
    // The file bytes 34 12 78 56 are stored as 6E 48 22 0C under mask 5A.
    const TFlexible_Byte_Array stored = {0x6E, 0x48, 0x22, 0x0C, 0x6E, 0x48};
    std::uint32_t cursor = 0;
    EXPECT_EQ(Read_Word(stored, cursor, true, Mask), 0x1234);
    EXPECT_EQ(cursor, 2U);
    EXPECT_EQ(Read_DWord(stored, cursor, false, Mask), 0x12345678U);
    EXPECT_EQ(cursor, 2U);

    TFlexible_Byte_Array written;
    cursor = 0;
    Write_Word(written, cursor, 0x1234, true, Mask);
    Write_DWord(written, cursor, 0x56781234, true, Mask);
    EXPECT_EQ(written, (TFlexible_Byte_Array{0x6E, 0x48, 0x6E, 0x48, 0x22, 0x0C}));
    EXPECT_EQ(cursor, 6U);

    // Mask 0 is a plain little-endian reader.
    const TFlexible_Byte_Array plain = {0x01, 0x02, 0x03, 0x04};
    cursor = 0;
    EXPECT_EQ(Read_DWord(plain, cursor, false, 0), 0x04030201U);
}

TEST(Masked_Accessors, Writes_Grow_The_Array_To_Exactly_What_They_Need)
{
    TFlexible_Byte_Array array(10, 0);
    std::uint32_t cursor = 4;
    Write_Word(array, cursor, 0xFFFF, false, Mask);
    EXPECT_EQ(array.size(), 10U) << "a write inside the array does not grow it";
    cursor = 9;
    Write_Word(array, cursor, 0xFFFF, false, Mask);
    EXPECT_EQ(array.size(), 11U);
    cursor = 11;
    Write_Word(array, cursor, 0xFFFF, false, Mask);
    EXPECT_EQ(array.size(), 13U);

    // A write past the end leaves a gap of stored 0, which reads back as the mask value.
    cursor = 16;
    Write_DWord(array, cursor, 0, false, Mask);
    ASSERT_EQ(array.size(), 20U);
    for (std::size_t i = 13; i < 16; ++i) {
        EXPECT_EQ(array[i], 0) << "gap element " << i;
    }
    cursor = 13;
    EXPECT_EQ(Read_Chars(array, cursor, 3, false, Mask), std::string(3, static_cast<char>(Mask)));
}

TEST(Masked_Accessors, Read_Chars_Refuses_A_Read_That_Reaches_The_Last_Byte)
{
    const TFlexible_Byte_Array array(10, Mask);
    std::uint32_t cursor = 7;
    EXPECT_EQ(Read_Chars(array, cursor, 3, true, Mask), "");
    EXPECT_EQ(cursor, 7U) << "a refused read leaves the cursor";
    cursor = 6;
    EXPECT_EQ(Read_Chars(array, cursor, 3, true, Mask), std::string(3, '\0'))
        << "zero bytes are ordinary characters";
    EXPECT_EQ(cursor, 9U);

    // cursor + count is compared without wrapping around 2^32.
    cursor = 0xFFFFFFFF;
    EXPECT_EQ(Read_Chars(array, cursor, 2, true, Mask), "");
    EXPECT_EQ(cursor, 0xFFFFFFFFU);
}

TEST(Masked_Accessors, Empty_Transfers_Change_Nothing)
{
    TFlexible_Byte_Array array = {1, 2, 3};
    std::uint32_t cursor = 5;
    Write_Chars(array, cursor, "", true, Mask);
    Copy_Block(array, 0, array, cursor, 0, true);
    EXPECT_EQ(array, (TFlexible_Byte_Array{1, 2, 3}));
    EXPECT_EQ(cursor, 5U);
}

TEST(Masked_Accessors, Write_Chars_And_Copy_Block_Move_Stored_Bytes)
{
    TFlexible_Byte_Array source;
    std::uint32_t cursor = 0;
    Write_Chars(source, cursor, std::string("ab\0c", 4), true, Mask);
    EXPECT_EQ(source, (TFlexible_Byte_Array{'a' ^ Mask, 'b' ^ Mask, Mask, 'c' ^ Mask}));
    EXPECT_EQ(cursor, 4U);

    TFlexible_Byte_Array destination;
    cursor = 0;
    Copy_Block(source, 1, destination, cursor, 3, true);
    EXPECT_EQ(destination, TFlexible_Byte_Array(source.begin() + 1, source.end()))
        << "copied as stored, to exactly the copied length";
    EXPECT_EQ(cursor, 3U);
}

} // namespace
} // namespace plotvane
