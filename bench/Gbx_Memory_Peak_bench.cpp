// Peak memory of loading and saving a challenge whose expanded image is 64 MiB, as a multiple
// of the image's size. Linux only: the peak comes from /proc/self/status (VmHWM), reset
// through /proc/self/clear_refs right before the measured work.

#include "bench/Peak_Memory.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Gbx_Test_Files.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace plotvane {
namespace {

constexpr std::uint8_t Mask = 0x3C;
constexpr std::size_t Image_Size = 64u << 20;

using bench::Reset_Peak;
using bench::Status_Field_Bytes;

std::string Write_Large_Challenge()
{
    const std::string path =
        (std::filesystem::temp_directory_path() / "plotvane-peak.Challenge.Gbx").string();
    const std::size_t body_size = Image_Size - 33 - 3;
    test::Write_Plain_File(path, test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, {},
                                                         test::Compressible_Body(body_size, 1),
                                                         false));
    return path;
}

// Loads and saves twice: the first load reads the lzo1x_1 file, the second the literal run
// that the first save wrote, which is the larger of the two.
void BM_Gbx_Load_And_Save_Peak_Memory(benchmark::State& state)
{
    const std::string path = Write_Large_Challenge();
    for (auto _ : state) {
        Reset_Peak();
        const double baseline = Status_Field_Bytes("VmRSS");
        for (int round = 0; round < 2; ++round) {
            TFlexible_Byte_Array image;
            if (Gbx_Load_File(path, image, Mask) != 0 || image.size() != Image_Size ||
                Gbx_Save_File(path, image, 0, Mask) != 0) {
                state.SkipWithError("load or save failed");
                break;
            }
        }
        const double peak = Status_Field_Bytes("VmHWM") - baseline;
        state.counters["image_MiB"] = double(Image_Size) / (1 << 20);
        state.counters["peak_MiB"] = peak / (1 << 20);
        state.counters["peak_over_image"] = peak / double(Image_Size);
    }
    std::filesystem::remove(path);
}

BENCHMARK(BM_Gbx_Load_And_Save_Peak_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plotvane

BENCHMARK_MAIN();
