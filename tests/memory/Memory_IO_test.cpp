#include "memory/Memory_IO.h"

#include "tests/support/File_Faults.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace plotvane {
namespace {

constexpr TMemory_Mask Mask = 0xA5;

// A position-dependent pattern whose period (251) divides no block size, so a block stored at
// the wrong place shows.
test::TBytes Pattern(std::size_t size)
{
    test::TBytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 251);
    }
    return bytes;
}

TEST(Load_File_To_Memory, Treats_Missing_Files_And_Folders_Alike_And_Empties_The_Array)
{
    const test::TScratch_Folder folder;
    TFlexible_Byte_Array array = {1, 2, 3};
    EXPECT_EQ(Load_File_To_Memory(folder.Path() + "/missing", array, Mask), 1U);
    EXPECT_TRUE(array.empty());

    array = {1, 2, 3};
    EXPECT_EQ(Load_File_To_Memory(folder.Path(), array, Mask), 1U);
    EXPECT_TRUE(array.empty());
}

TEST(Load_File_To_Memory, Masks_Every_Byte_Across_Block_Boundaries)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, Load_Block_Size - 1,
                                   Load_Block_Size, Load_Block_Size + 1, 2 * Load_Block_Size,
                                   std::size_t{70000}}) {
        SCOPED_TRACE(size);
        const test::TBytes bytes = Pattern(size);
        test::Write_Plain_File(path, bytes);
        // A longer array left from before must not show through.
        TFlexible_Byte_Array array(100000, 0xEE);
        ASSERT_EQ(Load_File_To_Memory(path, array, Mask), 0U);
        EXPECT_EQ(test::Unmasked(array, Mask), bytes);
    }
}

TEST(Load_File_To_Memory, Gives_3_When_The_File_Delivers_Less_Than_Its_Size)
{
    const std::string path = test::File_Reading_Short_Of_Its_Size();
    if (path.empty()) {
        GTEST_SKIP() << "no file here reads short of its size";
    }
    TFlexible_Byte_Array array;
    EXPECT_EQ(Load_File_To_Memory(path, array, Mask), 3U);
    EXPECT_TRUE(array.empty());
}

TEST(Load_File_To_Memory, Stores_No_More_Than_The_Size_Measured_At_Opening)
{
    // The system measures this file at 0 bytes although reading it delivers text.
    const std::string path = "/proc/self/status";
    if (test::Read_Plain_File(path).empty()) {
        GTEST_SKIP() << path << " is not readable here";
    }
    TFlexible_Byte_Array array;
    EXPECT_EQ(Load_File_To_Memory(path, array, Mask), 0U);
    EXPECT_TRUE(array.empty());
}

TEST(Load_File_Prefix_To_Memory, Reads_The_First_Bytes_Or_The_Whole_Shorter_File)
{
    const test::TScratch_Folder folder;
    const std::string path = folder.Path() + "/file";
    const test::TBytes bytes = Pattern(70000);
    test::Write_Plain_File(path, bytes);
    for (const std::uint64_t count :
         {std::uint64_t{0}, std::uint64_t{33}, std::uint64_t{Load_Block_Size + 1},
          std::uint64_t{69999}, std::uint64_t{70000}, std::uint64_t{70001},
          std::uint64_t{1} << 40}) {
        SCOPED_TRACE(count);
        TFlexible_Byte_Array array(100000, 0xEE);
        ASSERT_EQ(Load_File_Prefix_To_Memory(path, count, array, Mask), 0U);
        const std::size_t expected = static_cast<std::size_t>(std::min<std::uint64_t>(count, 70000));
        EXPECT_EQ(test::Unmasked(array, Mask),
                  test::TBytes(bytes.begin(), bytes.begin() + static_cast<long>(expected)));
    }
    TFlexible_Byte_Array array = {1, 2, 3};
    EXPECT_EQ(Load_File_Prefix_To_Memory(folder.Path(), 10, array, Mask), 1U);
    EXPECT_TRUE(array.empty());
}

} // namespace
} // namespace plotvane
