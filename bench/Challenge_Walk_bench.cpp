// The block walk of a 1,000,000-block challenge beside a pass that reads every byte of the same
// image once, measured in the same run; then what the map and the find box build over a walk
// (the column index, the whole map with its marks and extent, the blocks matching a name part),
// each beside the walk; and a click's hit test on that map beside the same on 1,000 blocks.

#include "bench/Bench_Ratios.h"
#include "challenge/Block_Columns.h"
#include "challenge/Block_Find.h"
#include "challenge/Challenge_Map.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "tests/support/Challenge_Builder.h"

#include <benchmark/benchmark.h>

#include <string>

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x6B;
constexpr std::uint32_t Block_Count = 1000000;
// About as many distinct names as a large challenge uses, each written in place once.
constexpr std::uint16_t Distinct_Names = 30;
// One block in so many carries an author record, every other one of them an attached record.
constexpr std::uint32_t Author_Record_Period = 50;

constexpr std::uint16_t Nadeo_Index = 1;

test::TFixture_Block Bench_Block(std::uint32_t i, std::uint16_t first_name_index)
{
    test::TFixture_Block block;
    const auto name = static_cast<std::uint16_t>(i % Distinct_Names);
    block.Name = i < Distinct_Names
        ? test::In_Place("StadiumRoadMainBlock" + std::to_string(name))
        : test::Reference(static_cast<std::uint16_t>(first_name_index + name));
    block.Bytes = {static_cast<std::uint8_t>(i % 4), static_cast<std::uint8_t>(i),
                   static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i >> 16),
                   0, 0, 0, 0};
    if (i % Author_Record_Period == 0) {
        block.Bytes[5] = 0x80; // the flag that says an author record follows
        block.Author_Record = test::TFixture_Author_Record{};
        block.Author_Record->Author = test::Reference(Nadeo_Index);
        if (i % (2 * Author_Record_Period) == 0) {
            block.Author_Record->Attached = test::TFixture_Attached_Record{};
        }
    }
    return block;
}

// The blocks stand at X = i, Z = i >> 8, Y = i >> 16 (each byte wrapping).
TFlexible_Byte_Array Challenge_Of(std::uint32_t block_count)
{
    test::TChallenge_Description description;
    // "Nadeo" is string 1; the strings up to the blocks take 2 to 5, names start at 6.
    description.Entries = {test::In_Place("Nadeo")};
    const std::uint16_t first_name_index = 6;
    description.Blocks.reserve(block_count);
    for (std::uint32_t i = 0; i < block_count; ++i) {
        description.Blocks.push_back(Bench_Block(i, first_name_index));
    }
    return test::Build_Challenge(description, Mask).Image;
}

const TFlexible_Byte_Array& Large_Challenge()
{
    static const TFlexible_Byte_Array image = Challenge_Of(Block_Count);
    return image;
}

void BM_Challenge_Read_Block_List(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Challenge();
    for (auto _ : state) {
        const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
        if (!list.Complete || list.Block_Offsets.size() != Block_Count) {
            state.SkipWithError("the walk did not list every block");
            break;
        }
        benchmark::DoNotOptimize(list.Block_Offsets.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

// Unmasks and adds up every byte once: the least that any pass over the image costs.
void BM_Unmasked_Byte_Sum(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Challenge();
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (const std::uint8_t stored : image) {
            sum += static_cast<std::uint8_t>(stored ^ Mask);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

const TTMF_Challenge_Block_Address_List& Large_Challenge_Walk()
{
    static const TTMF_Challenge_Block_Address_List list =
        Challenge_Read_Block_List(Large_Challenge(), Mask);
    return list;
}

void BM_Block_Columns(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Challenge();
    const TTMF_Challenge_Block_Address_List& list = Large_Challenge_Walk();
    for (auto _ : state) {
        const TBlock_Columns columns(image, list, Mask);
        benchmark::DoNotOptimize(columns.Count_At(0, 0));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

// The column index, then the marks and the extent: what the map builds at every change.
void BM_Challenge_Map(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Challenge();
    const TTMF_Challenge_Block_Address_List& list = Large_Challenge_Walk();
    for (auto _ : state) {
        const TChallenge_Map map(image, list, Mask);
        benchmark::DoNotOptimize(map.Width());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

// A click on the map: the topmost block of a column, for each of the 256 columns of Y = 0,
// which every challenge of 256 blocks or more fills; per click, whatever the block count.
void Hit_Test(benchmark::State& state, const TBlock_Columns& columns)
{
    for (auto _ : state) {
        for (unsigned x = 0; x < 256; ++x) {
            benchmark::DoNotOptimize(columns.Top_Block_At(static_cast<std::uint8_t>(x), 0));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 256);
}

void BM_Hit_Test_1M(benchmark::State& state)
{
    Hit_Test(state, TBlock_Columns(Large_Challenge(), Large_Challenge_Walk(), Mask));
}

void BM_Hit_Test_1K(benchmark::State& state)
{
    const TFlexible_Byte_Array image = Challenge_Of(1000);
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
    Hit_Test(state, TBlock_Columns(image, list, Mask));
}

// A part of one name in three, as typed in the find box.
void BM_Find_Blocks_By_Name_Part(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Challenge();
    const TTMF_Challenge_Block_Address_List& list = Large_Challenge_Walk();
    std::string error;
    const TBlock_Find find = *Parse_Block_Find("roadmainblock1", error);
    for (auto _ : state) {
        const std::vector<std::uint32_t> found = Find_Blocks(image, list, find, Mask);
        benchmark::DoNotOptimize(found.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

BENCHMARK(BM_Challenge_Read_Block_List)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Block_Columns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Challenge_Map)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find_Blocks_By_Name_Part)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hit_Test_1M);
BENCHMARK(BM_Hit_Test_1K);
BENCHMARK(BM_Unmasked_Byte_Sum)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    return plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Challenge_Read_Block_List", "BM_Unmasked_Byte_Sum"},
         {"BM_Block_Columns", "BM_Challenge_Read_Block_List"},
         {"BM_Challenge_Map", "BM_Challenge_Read_Block_List"},
         {"BM_Find_Blocks_By_Name_Part", "BM_Challenge_Read_Block_List"},
         {"BM_Hit_Test_1M", "BM_Hit_Test_1K"}});
}
