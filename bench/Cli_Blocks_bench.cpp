// plotvane-cli blocks on a 1,000,000-block challenge in the game's own format, the whole program
// run as a user runs it with its report going to a new file, beside loading and walking the
// same file in this process with no output, measured in the same run. Times are CPU time, user
// and system (of the program for its runs, of this process for the others), which a busy
// machine disturbs least; the program's real time is a counter. Also the peak memory of each
// run of the program beside its limit, four times the expanded image plus 16 MiB, and, for
// scale, the time that writing as many bytes as the text report to a file takes on its own.
// POSIX only: the program is started with posix_spawn and measured with wait4.

#include "bench/Bench_Ratios.h"
#include "bench/Peak_Memory.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Output.h"
#include "gbx/Gbx_IO.h"
#include "tests/support/Large_Challenge.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x6B;
constexpr std::uint32_t Block_Count = 1000000;

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

// The expanded image's size, which the memory limit is a multiple of.
std::size_t Image_Size()
{
    static const std::size_t size = [] {
        TFlexible_Byte_Array image;
        Gbx_Load_File(Large_Challenge_Path(), image, Mask);
        return image.size();
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

// Runs the program with its standard output going to a new file. The program starts as a copy
// of this process, whose own peak would count as the program's: it is reset to what this
// process holds now first.
TProgram_Run Run_Program(const std::vector<std::string>& arguments, const std::string& output)
{
    std::filesystem::remove(output);
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

std::string Output_Path(bool json)
{
    return Temporary_Path(json ? "plotvane-cli-bench.json" : "plotvane-cli-bench.txt");
}

void Run_Blocks(benchmark::State& state, bool json)
{
    const std::string& path = Large_Challenge_Path();
    const std::string output = Output_Path(json);
    std::vector<std::string> arguments = {PLOTVANE_CLI_PATH, "blocks", path};
    if (json) {
        arguments.insert(arguments.begin() + 2, "--json");
    }
    TProgram_Run run;
    double real_seconds = 0;
    for (auto _ : state) {
        run = Run_Program(arguments, output);
        if (run.Exit_Status != 0) {
            state.SkipWithError("plotvane-cli blocks failed");
            break;
        }
        state.SetIterationTime(run.Cpu_Seconds);
        real_seconds += run.Real_Seconds;
    }
    const double limit = 4.0 * double(Image_Size()) + double(16 << 20);
    state.counters["real_ms"] = 1000 * real_seconds / double(state.iterations());
    state.counters["output_MiB"] = double(File_Size(output)) / (1 << 20);
    state.counters["image_MiB"] = double(Image_Size()) / (1 << 20);
    state.counters["peak_MiB"] = run.Peak_Bytes / (1 << 20);
    state.counters["peak_over_limit"] = run.Peak_Bytes / limit;
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

// What the program cannot do without: load and expand the file, then walk its blocks.
void BM_Load_And_Walk(benchmark::State& state)
{
    const std::string& path = Large_Challenge_Path();
    for (auto _ : state) {
        const double start = Process_Cpu_Seconds();
        TFlexible_Byte_Array image;
        if (Gbx_Load_File(path, image, Mask) != 0) {
            state.SkipWithError("the file does not load");
            break;
        }
        const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, Mask);
        if (list.Block_Offsets.size() != Block_Count) {
            state.SkipWithError("the walk did not list every block");
            break;
        }
        benchmark::DoNotOptimize(list.Block_Offsets.data());
        state.SetIterationTime(Process_Cpu_Seconds() - start);
    }
    state.SetBytesProcessed(state.iterations() * File_Size(path));
}

// Writes as many bytes as the text report to a new file, in the pieces that the program
// writes: what the report costs the system alone.
void BM_Write_Text_Report_Size(benchmark::State& state)
{
    const std::string output = Output_Path(false);
    Run_Program({PLOTVANE_CLI_PATH, "blocks", Large_Challenge_Path()}, output);
    const std::size_t size = std::filesystem::file_size(output);
    const std::vector<char> piece(TOutput_Buffer::Flush_Size, 'x');
    for (auto _ : state) {
        std::filesystem::remove(output);
        const double start = Process_Cpu_Seconds();
        const int descriptor = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (std::size_t written = 0; written < size; written += piece.size()) {
            if (::write(descriptor, piece.data(), std::min(piece.size(), size - written)) < 0) {
                state.SkipWithError("write failed");
                break;
            }
        }
        ::close(descriptor);
        state.SetIterationTime(Process_Cpu_Seconds() - start);
    }
    std::filesystem::remove(output);
    state.SetBytesProcessed(state.iterations() * File_Size(Large_Challenge_Path()));
}

BENCHMARK(BM_Load_And_Walk)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Write_Text_Report_Size)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Blocks_Text)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Cli_Blocks_Json)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    // Each ratio is how many times longer the first took than the second.
    const int result = plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Cli_Blocks_Json", "BM_Cli_Blocks_Text"},
         {"BM_Cli_Blocks_Text", "BM_Load_And_Walk"},
         {"BM_Cli_Blocks_Text", "BM_Write_Text_Report_Size"}});
    std::filesystem::remove(plotvane::Large_Challenge_Path());
    std::filesystem::remove(plotvane::Output_Path(false));
    std::filesystem::remove(plotvane::Output_Path(true));
    return result;
}
