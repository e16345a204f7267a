// Adding and removing block records on a challenge of 1,000,000 blocks, as an edit session makes
// them (the new records, the spliced image, the walk after it), beside one memmove of the image
// followed by one walk, measured in the same run.

#include "bench/Bench_Ratios.h"
#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <optional>
#include <stdexcept>

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x5D;
constexpr std::uint32_t Block_Count = 1000000;
// 1,000 blocks spread over the copies of the large map (all named by reference).
constexpr std::uint32_t First_Edited = 10000;
constexpr std::uint32_t Edited_Step = 900;
constexpr std::uint32_t Edited_Count = 1000;

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

TBlock_Selection Edited_Blocks()
{
    TBlock_Selection blocks;
    for (std::uint32_t k = 0; k < Edited_Count; ++k) {
        blocks.push_back(First_Edited + k * Edited_Step);
    }
    return blocks;
}

// Times `edit` on a fresh session of the large image (made outside the timing).
template <typename TEdit>
void Time_Session_Edit(benchmark::State& state, const TEdit& edit)
{
    const TBlock_Selection blocks = Edited_Blocks();
    std::optional<TChallenge_Edit_Session> session;
    for (auto _ : state) {
        state.PauseTiming();
        session.reset();
        session.emplace(Large_Image(), Mask);
        state.ResumeTiming();
        if (edit(*session, blocks).Status != TEdit_Status::Done) {
            state.SkipWithError("the edit was refused");
            break;
        }
        benchmark::DoNotOptimize(session->Blocks().Block_Offsets.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Large_Image().size()));
}

void BM_Duplicate_1000_Blocks_1M(benchmark::State& state)
{
    Time_Session_Edit(state, [](TChallenge_Edit_Session& session, const TBlock_Selection& blocks) {
        return session.Duplicate(blocks, 0, 1, 0, true, true);
    });
}

void BM_Delete_1000_Blocks_1M(benchmark::State& state)
{
    Time_Session_Edit(state, [](TChallenge_Edit_Session& session, const TBlock_Selection& blocks) {
        return session.Delete(blocks);
    });
}

// The reference: the whole image moved by 12 bytes once, then one walk of it.
void BM_Memmove_Then_Walk_1M(benchmark::State& state)
{
    const TFlexible_Byte_Array& original = Large_Image();
    TFlexible_Byte_Array moved(original.size() + 12);
    for (auto _ : state) {
        std::memmove(moved.data() + 12, moved.data(), original.size());
        benchmark::DoNotOptimize(moved.data());
        const auto list = Challenge_Read_Block_List(original, Mask);
        if (!list.Complete) {
            state.SkipWithError("the walk failed");
            break;
        }
        benchmark::DoNotOptimize(list.Block_Offsets.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}

BENCHMARK(BM_Duplicate_1000_Blocks_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Delete_1000_Blocks_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memmove_Then_Walk_1M)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    return plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Duplicate_1000_Blocks_1M", "BM_Memmove_Then_Walk_1M"},
         {"BM_Delete_1000_Blocks_1M", "BM_Memmove_Then_Walk_1M"}});
}
