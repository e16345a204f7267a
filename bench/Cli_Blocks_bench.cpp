// plotvane-cli blocks on a 1,000,000-block challenge, the whole program run as a user runs it
// with its report going to a file, beside loading and walking the same file in this process
// with no output, measured in the same run. Also the peak memory of each run of the program
// beside its limit, four times the expanded image plus 16 MiB. POSIX only: the program is
// started with posix_spawn and its peak memory comes from wait4.

#include "bench/Bench_Ratios.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_IO.h"
#include "tests/support/Challenge_Builder.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>
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

// One real block record repeated after a small challenge's header and strings.
const std::string& Large_Challenge_Path()
{
    static const std::string path = [] {
        const std::string file = Temporary_Path("plotvane-cli-bench.Challenge.Gbx");
        test::TChallenge_Description description;
        description.Blocks.reserve(Block_Count);
        for (std::uint32_t i = 0; i < Block_Count; ++i) {
            description.Blocks.push_back(
                {i == 0 ? test::In_Place("StadiumRoadMain") : test::Reference(5),
                 {0, 16, 1, 10, 0, 0, 0, 0},
                 {}});
        }
        if (test::Write_Challenge_File(file, description) != 0) {
            throw std::runtime_error("cannot write " + file);
        }
        return file;
    }();
    return path;
}

std::uint64_t File_Size(const std::string& path)
{
    return std::filesystem::file_size(path);
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

// Runs the program with its standard output going to a file; returns its exit status and
// peak resident memory in bytes.
int Run_Program(const std::vector<std::string>& arguments, const std::string& output,
                double& peak_bytes)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    peak_bytes = double(usage.ru_maxrss) * 1024.0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Run_Blocks(benchmark::State& state, bool json)
{
    const std::string& path = Large_Challenge_Path();
    const std::string output =
        Temporary_Path(json ? "plotvane-cli-bench.json" : "plotvane-cli-bench.txt");
    std::vector<std::string> arguments = {PLOTVANE_CLI_PATH, "blocks", path};
    if (json) {
        arguments.insert(arguments.begin() + 2, "--json");
    }
    double peak = 0;
    for (auto _ : state) {
        if (Run_Program(arguments, output, peak) != 0) {
            state.SkipWithError("plotvane-cli blocks failed");
            break;
        }
    }
    const double limit = 4.0 * double(Image_Size()) + double(16 << 20);
    state.counters["output_MiB"] = double(File_Size(output)) / (1 << 20);
    state.counters["peak_MiB"] = peak / (1 << 20);
    state.counters["limit_MiB"] = limit / (1 << 20);
    state.counters["peak_over_limit"] = peak / limit;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * File_Size(path)));
    std::filesystem::remove(output);
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
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * File_Size(path)));
}

BENCHMARK(BM_Load_And_Walk)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cli_Blocks_Text)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cli_Blocks_Json)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    // Each ratio is how many times longer the first took than the second.
    const int result = plotvane::bench::Run_With_Time_Ratios(
        argc, argv,
        {{"BM_Cli_Blocks_Json", "BM_Cli_Blocks_Text"}, {"BM_Cli_Blocks_Text", "BM_Load_And_Walk"}});
    std::filesystem::remove(plotvane::Large_Challenge_Path());
    return result;
}
