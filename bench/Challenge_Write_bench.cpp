// An in-place rename in a 64 MiB challenge image followed by the walk that every block save
// makes, beside one memmove of the image followed by the same walk, measured in the same run.

#include "bench/Bench_Ratios.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <stdexcept>

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x6B;
// The real map's blocks, then 12-byte copies of its last one: an image of just under 64 MiB.
constexpr std::uint32_t Block_Count = 5587000;
// Block 0 of the real map names its block type in place, near the start of the image, so
// renaming it moves nearly the whole image.
constexpr std::size_t Renamed_Block = 0;
const TBlock_Field_Bytes Renamed_Bytes = {0, 16, 1, 10, 0, 0, 0, 0};

const TFlexible_Byte_Array& Large_Image()
{
    static const TFlexible_Byte_Array image = [] {
        TFlexible_Byte_Array expanded;
        if (Gbx_Uncompress(test::Masked(test::Make_Large_Challenge_File(Block_Count), Mask),
                           expanded, Mask) != 0) {
            throw std::runtime_error("the large challenge does not expand");
        }
        return expanded;
    }();
    return image;
}

const TTMF_Challenge_Block_Address_List& Large_Image_Walk()
{
    static const TTMF_Challenge_Block_Address_List list =
        Challenge_Read_Block_List(Large_Image(), Mask);
    return list;
}

bool Walk_Is_Whole(const TFlexible_Byte_Array& image)
{
    const auto list = Challenge_Read_Block_List(image, Mask);
    benchmark::DoNotOptimize(list.Block_Offsets.data());
    return list.Complete && list.Block_Offsets.size() == Block_Count;
}

// As a block save after the user renamed the name in place: write (the image grows by 8 bytes
// and everything after the name moves), then walk the changed image. Each rename starts from a
// fresh copy of the loaded image: with `room` false it has no spare capacity, so the write
// must move it into a new, larger allocation (the first rename after a load that left no
// room); with `room` true it moves within its own storage (every later rename).
void Rename_In_Place_Then_Walk(benchmark::State& state, bool room)
{
    const TFlexible_Byte_Array& original = Large_Image();
    const TTMF_Challenge_Block_Address_List& list = Large_Image_Walk();
    const std::string name =
        Challenge_Read_Block(original, list, Renamed_Block, Mask)->Name + "Plotvane";
    TFlexible_Byte_Array image;
    for (auto _ : state) {
        state.PauseTiming();
        image.clear();
        image.shrink_to_fit();
        if (room) {
            image.reserve(original.size() + name.size());
        }
        image = original;
        state.ResumeTiming();
        if (Challenge_Write_Block(image, list, Renamed_Block, name, Renamed_Bytes, Mask) !=
                TBlock_Write_Status::Written ||
            !Walk_Is_Whole(image)) {
            state.SkipWithError("the rename or the walk after it failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}

void BM_Rename_In_Place_Then_Walk(benchmark::State& state)
{
    Rename_In_Place_Then_Walk(state, false);
}

void BM_Rename_In_Place_With_Room_Then_Walk(benchmark::State& state)
{
    Rename_In_Place_Then_Walk(state, true);
}

// The reference: the whole image moved by 8 bytes once, then the same walk.
void BM_Memmove_Then_Walk(benchmark::State& state)
{
    const TFlexible_Byte_Array& original = Large_Image();
    TFlexible_Byte_Array moved(original.size() + 8);
    for (auto _ : state) {
        std::memmove(moved.data() + 8, moved.data(), original.size());
        benchmark::DoNotOptimize(moved.data());
        if (!Walk_Is_Whole(original)) {
            state.SkipWithError("the walk failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}

BENCHMARK(BM_Rename_In_Place_Then_Walk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rename_In_Place_With_Room_Then_Walk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmove_Then_Walk)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    return plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Rename_In_Place_Then_Walk", "BM_Memmove_Then_Walk"},
         {"BM_Rename_In_Place_With_Room_Then_Walk", "BM_Memmove_Then_Walk"}});
}
