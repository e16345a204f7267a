// What expansion allocates, seen by the allocation watch of this suite.

#include "gbx/Gbx_Memory_Tools.h"
#include "tests/gbx/Allocation_Watch.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"

#include <gtest/gtest.h>

namespace plotvane {
namespace {

using test::TBytes;

constexpr std::uint8_t Mask = 0x3C;

// Expands the file, recording the allocations made meanwhile.
std::uint32_t Watched_Expand(const TFlexible_Byte_Array& file, TFlexible_Byte_Array& image)
{
    test::TAllocation_Watch& watch = test::Allocation_Watch();
    watch.Largest = 0;
    watch.Count = 0;
    const std::uint32_t status = Gbx_Uncompress(file, image, Mask);
    watch.Limit = test::TAllocation_Watch{}.Limit;
    return status;
}

// A header may state up to 256 times its stream's size; a stream that fails early must not
// cost what the header states.
TEST(Gbx_Uncompress_Memory, A_Lying_Header_Costs_About_What_The_Stream_Holds)
{
    const std::size_t stream_size = std::size_t{1} << 20;
    TBytes stream = {0x00, 0x00, 0x00, 0x01}; // a literal run of 18 + 2 * 255 + 1 bytes
    stream.resize(stream_size - 3, 0x20);     // then a match from 2057 bytes back: too far
    stream.insert(stream.end(), {0x11, 0x00, 0x00});
    const TFlexible_Byte_Array file = test::Masked(
        test::Make_Gbx_File(test::Challenge_Class_Id, {}, 256 * stream_size, stream), Mask);

    test::Allocation_Watch().Limit = 64 * stream_size;
    TFlexible_Byte_Array image;
    EXPECT_EQ(Watched_Expand(file, image), Status_Uncompress_Bad_Stream);
    EXPECT_LE(test::Allocation_Watch().Largest, 16 * stream_size);
}

// Growing as the stream expands gives the same bodies, and a real file, however it expands,
// costs one allocation: the image itself.
TEST(Gbx_Uncompress_Memory, Grows_To_The_Same_Body_And_Allocates_A_Real_Image_Once)
{
    for (const std::size_t size : {1, 100, 70001, 1 << 20}) {
        const TBytes zeros(size, 0); // expands far beyond the first guess
        const TBytes file = test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, {}, zeros, false);
        TFlexible_Byte_Array image;
        ASSERT_EQ(Watched_Expand(test::Masked(file, Mask), image), Status_Ok) << size;
        ASSERT_EQ(image.size(), 33 + size + 3) << size;
        const TBytes plain = test::Unmasked(image, Mask);
        EXPECT_EQ(TBytes(plain.begin() + 33, plain.end() - 3), zeros) << size;
    }
    for (const char* name : {"E02-Endurance.Challenge.Gbx", "SpeedNotice.Challenge.Gbx",
                             "Turbo001.Replay.Gbx", "Summer2021-04.Replay.Gbx"}) {
        const std::string path = test::Corpus_File(name);
        if (path.empty()) {
            GTEST_SKIP() << test::Corpus_Missing_Message();
        }
        const TFlexible_Byte_Array file = test::Masked(test::Read_Plain_File(path), Mask);
        TFlexible_Byte_Array image;
        ASSERT_EQ(Watched_Expand(file, image), Status_Ok) << name;
        EXPECT_EQ(test::Allocation_Watch().Count, 1U) << name;
        EXPECT_EQ(test::Allocation_Watch().Largest, image.size()) << name;
    }
}

} // namespace
} // namespace plotvane
