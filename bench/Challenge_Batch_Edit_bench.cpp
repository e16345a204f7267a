// Move, set and replace of every block of a 1,000,000-block challenge (replace both with the
// block that writes the name in place, renamed there, and without it, every reference pointed
// elsewhere), and the undo of each, beside the block walk of the same image measured in the
// same run; a selection by name and
// box beside the walk; and the memory that the undo history keeps for a move of every block.

#include "bench/Bench_Ratios.h"
#include "bench/Peak_Memory.h"
#include "challenge/Block_Selection.h"
#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_IO.h"
#include "tests/support/Large_Challenge.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <string>

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x6B;
constexpr std::uint32_t Block_Count = 1000000;

const TFlexible_Byte_Array& Large_Challenge()
{
    static const TFlexible_Byte_Array image = [] {
        const std::string path =
            (std::filesystem::temp_directory_path() / "plotvane-batch-bench.Challenge.Gbx")
                .string();
        test::Write_Large_Challenge_File(path, Block_Count);
        TFlexible_Byte_Array loaded;
        Gbx_Load_File(path, loaded, Mask);
        std::filesystem::remove(path);
        return loaded;
    }();
    return image;
}

TBlock_Selection Every_Block()
{
    TBlock_Selection blocks(Block_Count);
    std::iota(blocks.begin(), blocks.end(), 0U);
    return blocks;
}

// The copies at the end all refer to the name of the real map's last block; the first block
// writes its own name in place before any of them.
struct TReplace_Names {
    std::string From;
    std::string To;
    std::uint32_t From_In_Place = 0; // the block that writes From in place
};

TReplace_Names Replace_Names(const TChallenge_Edit_Session& session)
{
    const auto& list = session.Blocks();
    const auto block = [&](std::size_t i) {
        return *Challenge_Read_Block(session.Image(), list, i, Mask);
    };
    TReplace_Names names{block(Block_Count - 1).Name, block(0).Name, 0};
    for (std::uint32_t i = 0; i < test::Large_Challenge_Real_Blocks; ++i) {
        const TChallenge_Block real = block(i);
        if (real.Name_In_Place && real.Name == names.From) {
            names.From_In_Place = i;
        }
    }
    return names;
}

using TEdit = std::function<TEdit_Result(TChallenge_Edit_Session&, const TBlock_Selection&)>;

TEdit Move_Edit()
{
    return [](TChallenge_Edit_Session& session, const TBlock_Selection& selection) {
        return session.Move(selection, 0, 1, 0, true);
    };
}

TEdit Set_Edit()
{
    return [](TChallenge_Edit_Session& session, const TBlock_Selection& selection) {
        TBlock_Settings settings;
        settings.Rotation = 2;
        settings.Variations[0] = 1;
        return session.Set(selection, settings, false);
    };
}

// A Replace of the copies' name: the selection and the edit.
struct TReplace_Setup {
    TBlock_Selection Selection;
    TEdit Edit;
};

// Every block: the one that writes the name in place is renamed there, which renames every
// block that refers to it, lengthens the image and walks it again. Without `in_place`, every
// block but that one: each reference is pointed at another entry where it stands.
TReplace_Setup Replace_Setup(const TChallenge_Edit_Session& session, bool in_place)
{
    const TReplace_Names names = Replace_Names(session);
    TBlock_Selection selection = Every_Block();
    if (!in_place) {
        selection.erase(selection.begin() + names.From_In_Place);
    }
    return {std::move(selection),
            [names](TChallenge_Edit_Session& edited, const TBlock_Selection& blocks) {
                return edited.Replace_Name(blocks, names.From, names.To);
            }};
}

void Set_Processed(benchmark::State& state)
{
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * Large_Challenge().size()));
}

// Times the edit, or with `time_undo` its undo; the other half runs outside the timing.
void Run_Edit(benchmark::State& state, const TBlock_Selection& selection, const TEdit& edit,
              TChallenge_Edit_Session& session, bool time_undo)
{
    for (auto _ : state) {
        if (time_undo) {
            state.PauseTiming();
        }
        if (edit(session, selection).Status != TEdit_Status::Done) {
            state.SkipWithError("the edit was refused");
            break;
        }
        if (time_undo) {
            state.ResumeTiming();
        } else {
            state.PauseTiming();
        }
        session.Undo();
        if (!time_undo) {
            state.ResumeTiming();
        }
    }
    Set_Processed(state);
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
    Set_Processed(state);
}

void BM_Move_Every_Block(benchmark::State& state)
{
    TChallenge_Edit_Session session(Large_Challenge(), Mask);
    Run_Edit(state, Every_Block(), Move_Edit(), session, false);
}

void BM_Undo_Move_Every_Block(benchmark::State& state)
{
    TChallenge_Edit_Session session(Large_Challenge(), Mask);
    Run_Edit(state, Every_Block(), Move_Edit(), session, true);
}

void BM_Set_Every_Block(benchmark::State& state)
{
    TChallenge_Edit_Session session(Large_Challenge(), Mask);
    Run_Edit(state, Every_Block(), Set_Edit(), session, false);
}

void BM_Undo_Set_Every_Block(benchmark::State& state)
{
    TChallenge_Edit_Session session(Large_Challenge(), Mask);
    Run_Edit(state, Every_Block(), Set_Edit(), session, true);
}

void Replace(benchmark::State& state, bool in_place, bool time_undo)
{
    TChallenge_Edit_Session session(Large_Challenge(), Mask);
    const TReplace_Setup setup = Replace_Setup(session, in_place);
    Run_Edit(state, setup.Selection, setup.Edit, session, time_undo);
}

void BM_Replace_Every_Block(benchmark::State& state) { Replace(state, true, false); }
void BM_Undo_Replace_Every_Block(benchmark::State& state) { Replace(state, true, true); }
void BM_Replace_References(benchmark::State& state) { Replace(state, false, false); }
void BM_Undo_Replace_References(benchmark::State& state) { Replace(state, false, true); }

// A selection by name and by box, which reads every block's name index and position.
void BM_Select_Blocks_By_Name_And_Box(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Challenge();
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
    TChallenge_Edit_Session session(image, Mask);
    TBlock_Criteria criteria;
    criteria.Names = {Replace_Names(session).From};
    criteria.Boxes = {Grid_Box_Between({0, 0, 0}, {15, 31, 31})};
    for (auto _ : state) {
        const TBlock_Selection selection = Select_Blocks(image, list, criteria, Mask);
        benchmark::DoNotOptimize(selection.data());
    }
    Set_Processed(state);
}

// What the process holds more after a move of every block than before it, once the move's
// passing allocations are given back: the undo history of that one step.
void BM_Move_History_Memory(benchmark::State& state)
{
    const TBlock_Selection selection = Every_Block();
    const TEdit move = Move_Edit();
    double history = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto session = std::make_unique<TChallenge_Edit_Session>(Large_Challenge(), Mask);
        bench::Reset_Peak();
        const double before = bench::Status_Field_Bytes("VmRSS");
        state.ResumeTiming();
        move(*session, selection);
        state.PauseTiming();
        bench::Reset_Peak();
        history = bench::Status_Field_Bytes("VmRSS") - before;
        session.reset();
        state.ResumeTiming();
    }
    constexpr double Limit = 8.0 * Block_Count + 4096;
    state.counters["history_bytes_per_block"] = history / Block_Count;
    state.counters["history_over_limit"] = history / Limit;
}

BENCHMARK(BM_Challenge_Read_Block_List)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Move_Every_Block)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo_Move_Every_Block)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Set_Every_Block)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo_Set_Every_Block)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replace_Every_Block)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo_Replace_Every_Block)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replace_References)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo_Replace_References)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Select_Blocks_By_Name_And_Box)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Move_History_Memory)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    // Each ratio is how many times longer the first took than the second: at most 2 for an
    // edit beside the walk, at most 1 for an undo beside its edit.
    return plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Move_Every_Block", "BM_Challenge_Read_Block_List"},
         {"BM_Undo_Move_Every_Block", "BM_Move_Every_Block"},
         {"BM_Set_Every_Block", "BM_Challenge_Read_Block_List"},
         {"BM_Undo_Set_Every_Block", "BM_Set_Every_Block"},
         {"BM_Replace_Every_Block", "BM_Challenge_Read_Block_List"},
         {"BM_Undo_Replace_Every_Block", "BM_Replace_Every_Block"},
         {"BM_Replace_References", "BM_Challenge_Read_Block_List"},
         {"BM_Undo_Replace_References", "BM_Replace_References"},
         {"BM_Select_Blocks_By_Name_And_Box", "BM_Challenge_Read_Block_List"}});
}
