// plotvane-cli on a 1,000,000-block challenge in the game's own format, the whole program run
// as a user runs it. `blocks` (its report going to a new file) beside loading and walking the
// same file in this process with no output, beside writing as many bytes as its text report to
// a file on its own, and beside both. The edits of every block (`move`, `rotate`, `set`,
// `replace`, their reports going to /dev/null) beside `set` of one block followed by `blocks`
// of the same challenge: the same load, backup, save and listing. Times are CPU time, user and
// system (of the program for its runs, of this process for the others), which a busy machine
// disturbs least; the program's real time is a counter. The peak memory of each run of the
// program is given beside the challenge's expanded body and beside its limit. POSIX only: the
// program is started with posix_spawn and measured with wait4.

#include "bench/Bench_Ratios.h"
#include "bench/Peak_Memory.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Output.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x6B;
constexpr std::uint32_t Block_Count = 1000000;
constexpr double MiB = 1 << 20;

std::string Temporary_Path(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

const std::string& Large_Challenge_Path()
{
    static const std::string path = [] {
        const std::string file = Temporary_Path("plotvane-cli-bench.Challenge.Gbx");
        test::Write_Large_Challenge_File(file, Block_Count);
        return file;
    }();
    return path;
}

std::int64_t File_Size(const std::string& path)
{
    return static_cast<std::int64_t>(std::filesystem::file_size(path));
}

// The size of the challenge's expanded body, which the memory limits are multiples of.
double Body_Size()
{
    static const double size = [] {
        TFlexible_Byte_Array image;
        Gbx_Load_File(Large_Challenge_Path(), image, Mask);
        return double(Gbx_Get_Compression_Info(image, Mask).Uncompressed_Size);
    }();
    return size;
}

double Seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) * 1e-6;
}

double Process_Cpu_Seconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct TProgram_Run {
    int Exit_Status = -1;
    double Cpu_Seconds = 0;
    double Real_Seconds = 0;
    double Peak_Bytes = 0;
};

// Runs the program with its standard output going to `output`, created when missing. The
// program starts as a copy of this process, whose own peak would count as the program's: it is
// reset to what this process holds now first.
TProgram_Run Run_Program(const std::vector<std::string>& arguments, const std::string& output)
{
    bench::Reset_Peak();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    TProgram_Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return run;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    run.Real_Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.Exit_Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Cpu_Seconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.Peak_Bytes = double(usage.ru_maxrss) * 1024.0;
    return run;
}

// The peak beside the body and beside its limit, `bodies` times the body and 16 MiB.
void Set_Peak_Counters(benchmark::State& state, double peak, double bodies,
                       double body = Body_Size())
{
    state.counters["body_MiB"] = body / MiB;
    state.counters["peak_MiB"] = peak / MiB;
    state.counters["peak_over_body"] = peak / body;
    state.counters["peak_over_limit"] = peak / (bodies * body + 16 * MiB);
}

std::string Output_Path(bool json)
{
    return Temporary_Path(json ? "plotvane-cli-bench.json" : "plotvane-cli-bench.txt");
}

// Runs `blocks` with `options` on the large challenge, its report going to a new file.
void Run_Blocks(benchmark::State& state, bool json, const std::vector<std::string>& options = {})
{
    const std::string& path = Large_Challenge_Path();
    const std::string output = Output_Path(json);
    std::vector<std::string> arguments = {PLOTVANE_CLI_PATH, "blocks"};
    if (json) {
        arguments.push_back("--json");
    }
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(path);
    TProgram_Run run;
    double real_seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove(output);
        run = Run_Program(arguments, output);
        if (run.Exit_Status != 0) {
            state.SkipWithError("plotvane-cli blocks failed");
            break;
        }
        state.SetIterationTime(run.Cpu_Seconds);
        real_seconds += run.Real_Seconds;
    }
    state.counters["real_ms"] = 1000 * real_seconds / double(state.iterations());
    state.counters["output_MiB"] = double(File_Size(output)) / MiB;
    Set_Peak_Counters(state, run.Peak_Bytes, 4);
    state.SetBytesProcessed(state.iterations() * File_Size(path));
}

void BM_Cli_Blocks_Text(benchmark::State& state)
{
    Run_Blocks(state, false);
}

void BM_Cli_Blocks_Json(benchmark::State& state)
{
    Run_Blocks(state, true);
}

// The listing of the first block alone: what the program costs before it writes its lines,
// loading and walking in a process of its own (whose memory is all new to it) and picking the
// block, beside the same load and walk in this process.
void BM_Cli_Blocks_Text_First_Block(benchmark::State& state)
{
    Run_Blocks(state, false, {"--index", "0"});
}

// The name of the copies that fill the large challenge, which its real blocks write in place.
const char* const Copies_Name = "StadiumRoadMain";

// A copy of the large challenge, edited again and again, in a game folder whose profile is its
// author's.
struct TEdit_Setup {
    TEdit_Setup() : Original(test::Read_Plain_File(Large_Challenge_Path()))
    {
        test::Write_Profile_File(Game.Make_Folder("Profiles") + "/Nadeo.Profile.Gbx",
                                 test::TProfile_Description("Nadeo"));
    }
    // Puts the challenge back as it was and removes the backups that the edits made.
    void Restore() const
    {
        test::Write_Plain_File(Map, Original);
        for (int number = 1; number <= 9; ++number) {
            std::filesystem::remove(Map + ".bak" + std::to_string(number));
        }
    }

    test::TScratch_Folder Game;
    std::string Map = Game.Path() + "/Million.Challenge.Gbx";
    test::TBytes Original;
};

// Made by the first benchmark that needs it, removed before the program ends.
std::unique_ptr<TEdit_Setup> Edit_Setup_Storage;

TEdit_Setup& Edit_Setup()
{
    if (!Edit_Setup_Storage) {
        Edit_Setup_Storage = std::make_unique<TEdit_Setup>();
    }
    return *Edit_Setup_Storage;
}

using TCommand = std::vector<std::string>;

// An editing command on the copy, as the local player (the arguments after the command's
// name and the map).
TCommand Edit_Command(const std::string& name, const TCommand& options)
{
    const TEdit_Setup& setup = Edit_Setup();
    TCommand command = {PLOTVANE_CLI_PATH, name, setup.Map};
    command.insert(command.end(), options.begin(), options.end());
    command.insert(command.end(), {"--game-folder", setup.Game.Path()});
    return command;
}

// Runs the commands in turn on the challenge as it was, their reports going to /dev/null; the
// CPU time of all of them is an iteration's time. The peak is the highest of any run. The
// preparing commands run first, neither timed nor measured. The peak's limit is over the larger
// of the bodies before and after.
void Run_Edits(benchmark::State& state, const std::vector<TCommand>& commands,
               const std::vector<TCommand>& preparing = {}, double larger_body = Body_Size())
{
    TEdit_Setup& setup = Edit_Setup();
    double peak = 0;
    for (auto _ : state) {
        setup.Restore();
        for (const TCommand& command : preparing) {
            if (Run_Program(command, "/dev/null").Exit_Status != 0) {
                state.SkipWithError(("plotvane-cli " + command[1] + " failed").c_str());
                return;
            }
        }
        double seconds = 0;
        for (const TCommand& command : commands) {
            const TProgram_Run run = Run_Program(command, "/dev/null");
            if (run.Exit_Status != 0) {
                state.SkipWithError(("plotvane-cli " + command[1] + " failed").c_str());
                return;
            }
            seconds += run.Cpu_Seconds;
            peak = std::max(peak, run.Peak_Bytes);
        }
        state.SetIterationTime(seconds);
    }
    Set_Peak_Counters(state, peak, 3, larger_body);
    state.SetBytesProcessed(state.iterations() * File_Size(Large_Challenge_Path()));
}

TCommand Set_One_Block()
{
    return Edit_Command("set", {std::to_string(Block_Count / 2), "--rotation", "2"});
}

void BM_Cli_Set_One_Block(benchmark::State& state)
{
    Run_Edits(state, {Set_One_Block()});
}

// What an edit of every block does besides the edit: load, backup, save, then the listing.
void BM_Cli_Set_One_Block_Then_Blocks(benchmark::State& state)
{
    Run_Edits(state, {Set_One_Block(), {PLOTVANE_CLI_PATH, "blocks", Edit_Setup().Map}});
}

void BM_Cli_Move_Every_Block(benchmark::State& state)
{
    Run_Edits(state, {Edit_Command("move", {"--dz", "1", "--force"})});
}

void BM_Cli_Rotate_Every_Block(benchmark::State& state)
{
    Run_Edits(state, {Edit_Command("rotate", {"--quarter-turns", "1"})});
}

void BM_Cli_Set_Every_Block(benchmark::State& state)
{
    Run_Edits(state, {Edit_Command("set", {"--rotation", "2"})});
}

// The name written in place renamed there, which renames every block.
void BM_Cli_Replace_Every_Block(benchmark::State& state)
{
    Run_Edits(state, {Edit_Command("replace", {"--from", Copies_Name, "--to",
                                               std::string(Copies_Name) + "Turbo", "--force"})});
}

// The body once every block is copied: each copy a record of 12 bytes (a name by reference
// and the eight bytes).
double Body_With_Copies()
{
    return Body_Size() + 12.0 * Block_Count;
}

TCommand Duplicate_Every_Block()
{
    return Edit_Command("duplicate", {"--dz", "1", "--force", "--without-skin"});
}

// A copy of every block, one level up, appended: the list and the body twice as long.
void BM_Cli_Duplicate_Every_Block(benchmark::State& state)
{
    Run_Edits(state, {Duplicate_Every_Block()}, {}, Body_With_Copies());
}

// The million copies that a duplicate of every block appended, deleted again.
void BM_Cli_Delete_The_Copies(benchmark::State& state)
{
    Run_Edits(state,
              {Edit_Command("delete", {"--index", std::to_string(Block_Count) + "-" +
                                                      std::to_string(2 * Block_Count - 1)})},
              {Duplicate_Every_Block()}, Body_With_Copies());
}

// What the program cannot do without: loads and expands the file, then walks its blocks.
// False when either fails.
bool Load_And_Walk()
{
    TFlexible_Byte_Array image;
    if (Gbx_Load_File(Large_Challenge_Path(), image, Mask) != 0) {
        return false;
    }
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
    benchmark::DoNotOptimize(list.Block_Offsets.data());
    return list.Block_Offsets.size() == Block_Count;
}

// The size of the text report, as the program writes it.
std::size_t Text_Report_Size()
{
    static const std::size_t size = [] {
        const std::string output = Output_Path(false);
        std::filesystem::remove(output);
        Run_Program({PLOTVANE_CLI_PATH, "blocks", Large_Challenge_Path()}, output);
        const std::size_t written = std::filesystem::file_size(output);
        std::filesystem::remove(output);
        return written;
    }();
    return size;
}

// Writes as many bytes as the text report to a new file, in the pieces that the program
// writes: what the report costs the system alone. False when a write fails.
bool Write_Text_Report_Size()
{
    const std::string output = Output_Path(false);
    std::filesystem::remove(output);
    const std::size_t size = Text_Report_Size();
    static const std::vector<char> piece(TOutput_Buffer::Flush_Size, 'x');
    const int descriptor = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool written_whole = descriptor >= 0;
    for (std::size_t written = 0; written_whole && written < size; written += piece.size()) {
        const std::size_t count = std::min(piece.size(), size - written);
        written_whole = ::write(descriptor, piece.data(), count) >= 0;
    }
    ::close(descriptor);
    return written_whole;
}

// Times `work` in this process's CPU time; `what` names it when it fails.
template <typename TWork>
void Run_In_Process(benchmark::State& state, const char* what, TWork work)
{
    Text_Report_Size(); // measured before the timing
    for (auto _ : state) {
        const double start = Process_Cpu_Seconds();
        if (!work()) {
            state.SkipWithError(what);
            break;
        }
        state.SetIterationTime(Process_Cpu_Seconds() - start);
    }
    std::filesystem::remove(Output_Path(false));
    state.SetBytesProcessed(state.iterations() * File_Size(Large_Challenge_Path()));
}

void BM_Load_And_Walk(benchmark::State& state)
{
    Run_In_Process(state, "the load or the walk failed", Load_And_Walk);
}

void BM_Write_Text_Report_Size(benchmark::State& state)
{
    Run_In_Process(state, "a write failed", Write_Text_Report_Size);
}

// Both: what the text listing cannot do without.
void BM_Load_Walk_And_Write_Text_Report_Size(benchmark::State& state)
{
    Run_In_Process(state, "the load, the walk or a write failed",
                   [] { return Load_And_Walk() && Write_Text_Report_Size(); });
}

BENCHMARK(BM_Load_And_Walk)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Write_Text_Report_Size)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Load_Walk_And_Write_Text_Report_Size)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK(BM_Cli_Blocks_Text)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Blocks_Json)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Blocks_Text_First_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Set_One_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Set_One_Block_Then_Blocks)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Move_Every_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Rotate_Every_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Set_Every_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Replace_Every_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Duplicate_Every_Block)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Delete_The_Copies)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    // Each ratio is how many times longer the first took than the second.
    const int result = plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Cli_Blocks_Json", "BM_Cli_Blocks_Text"},
         {"BM_Cli_Blocks_Text", "BM_Load_And_Walk"},
         {"BM_Cli_Blocks_Text", "BM_Write_Text_Report_Size"},
         {"BM_Cli_Blocks_Text", "BM_Load_Walk_And_Write_Text_Report_Size"},
         {"BM_Cli_Blocks_Text_First_Block", "BM_Load_And_Walk"},
         {"BM_Cli_Move_Every_Block", "BM_Cli_Set_One_Block_Then_Blocks"},
         {"BM_Cli_Rotate_Every_Block", "BM_Cli_Set_One_Block_Then_Blocks"},
         {"BM_Cli_Set_Every_Block", "BM_Cli_Set_One_Block_Then_Blocks"},
         {"BM_Cli_Replace_Every_Block", "BM_Cli_Set_One_Block_Then_Blocks"}});
    plotvane::Edit_Setup_Storage.reset();
    std::filesystem::remove(plotvane::Large_Challenge_Path());
    std::filesystem::remove(plotvane::Output_Path(false));
    std::filesystem::remove(plotvane::Output_Path(true));
    return result;
}
