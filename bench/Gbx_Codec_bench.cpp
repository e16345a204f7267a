// Expansion and packing of GBX bodies, each beside its reference measured in the same run:
// liblzo2's lzo1x_decompress_safe making the same image from the same stream, and memcpy of
// the same bytes. Expanded: a 1,000,000-block challenge, every real body of the corpus, and a
// 64 MiB body of real bodies in a row.

#include "bench/Bench_Ratios.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"

#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace plotvane {
namespace {

using test::TBytes;

constexpr std::uint8_t Mask = 0x6B;
constexpr std::size_t Large_Body_Size = 64u << 20;
constexpr std::uint32_t Large_Block_Count = 1000000;

// A GBX file in its masked and its plain form, with where its stream starts.
struct TPacked_File {
    TFlexible_Byte_Array masked;
    TBytes stream;
    std::size_t body_size = 0;
};

TPacked_File Packed_File_Of(const TBytes& plain)
{
    TPacked_File file;
    file.masked = test::Masked(plain, Mask);
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(file.masked, Mask);
    if (info.Data_Offset == 0) {
        throw std::runtime_error("not a GBX file");
    }
    file.stream.assign(plain.begin() + info.Data_Offset, plain.end());
    file.body_size = info.Uncompressed_Size;
    return file;
}

TBytes Expanded_Body_Of(const std::string& corpus_name)
{
    const std::string path = test::Corpus_File(corpus_name);
    if (path.empty()) {
        throw std::runtime_error(test::Corpus_Missing_Message());
    }
    TFlexible_Byte_Array image;
    if (Gbx_Uncompress(test::Masked(test::Read_Plain_File(path), Mask), image, Mask) != 0) {
        throw std::runtime_error("cannot expand " + corpus_name);
    }
    const TBytes plain = test::Unmasked(image, Mask);
    const std::size_t body_offset = Gbx_Get_Compression_Info(image, Mask).Data_Offset;
    return TBytes(plain.begin() + body_offset, plain.end() - 3);
}

// Many real challenge bodies in a row, packed by lzo1x_1_compress.
const TPacked_File& Large_File()
{
    static const TPacked_File file = [] {
        const TBytes endurance = Expanded_Body_Of("E02-Endurance.Challenge.Gbx");
        const TBytes speed = Expanded_Body_Of("SpeedNotice.Challenge.Gbx");
        TBytes body;
        body.reserve(Large_Body_Size + endurance.size());
        while (body.size() < Large_Body_Size) {
            body.insert(body.end(), endurance.begin(), endurance.end());
            body.insert(body.end(), speed.begin(), speed.end());
        }
        body.resize(Large_Body_Size);
        return Packed_File_Of(test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, TBytes(64, 0),
                                                      body, false));
    }();
    return file;
}

// The files whose expansion is measured, each under the name of its figures.
struct TExpansion_Case {
    std::string name;
    TPacked_File file;
};

std::vector<TExpansion_Case> Expansion_Cases()
{
    std::vector<TExpansion_Case> cases;
    cases.push_back(
        {"1M_Blocks", Packed_File_Of(test::Make_Large_Challenge_File(Large_Block_Count))});
    for (const char* name : {"E02-Endurance.Challenge.Gbx", "SpeedNotice.Challenge.Gbx",
                             "Turbo001.Replay.Gbx", "Summer2021-04.Replay.Gbx"}) {
        const std::string path = test::Corpus_File(name);
        if (path.empty()) {
            throw std::runtime_error(test::Corpus_Missing_Message());
        }
        const std::string short_name = std::string(name).substr(0, std::string(name).find('.'));
        cases.push_back({short_name, Packed_File_Of(test::Read_Plain_File(path))});
    }
    cases.push_back({"64MiB", Large_File()});
    return cases;
}

// Each iteration makes the image afresh, as a load does: a new array, the header, the body.
void Expand_Benchmark(benchmark::State& state, const TPacked_File& file)
{
    for (auto _ : state) {
        TFlexible_Byte_Array image;
        if (Gbx_Uncompress(file.masked, image, Mask) != 0) {
            state.SkipWithError("expansion failed");
            break;
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.body_size));
}

// The same image made with liblzo2: a new array, the header copied, the body expanded after it
// (the stream's end marker included), the end marker copied.
void Liblzo2_Benchmark(benchmark::State& state, const TPacked_File& file)
{
    const std::size_t header_size = file.masked.size() - file.stream.size();
    for (auto _ : state) {
        TBytes image(header_size + file.body_size + 3);
        std::memcpy(image.data(), file.masked.data(), header_size);
        lzo_uint body_size = file.body_size;
        if (lzo1x_decompress_safe(file.stream.data(), file.stream.size(),
                                  image.data() + header_size, &body_size,
                                  nullptr) != LZO_E_OK) {
            state.SkipWithError("liblzo2 failed");
            break;
        }
        std::memcpy(image.data() + header_size + body_size,
                    file.stream.data() + file.stream.size() - 3, 3);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.body_size));
}

const TFlexible_Byte_Array& Large_Image()
{
    static const TFlexible_Byte_Array image = [] {
        TFlexible_Byte_Array expanded;
        if (Gbx_Uncompress(Large_File().masked, expanded, Mask) != 0) {
            throw std::runtime_error("cannot expand the large file");
        }
        return expanded;
    }();
    return image;
}

void BM_Gbx_Compress_64MiB(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Image();
    TFlexible_Byte_Array packed;
    for (auto _ : state) {
        packed.clear(); // an empty destination that keeps its storage, like memcpy's below
        if (Gbx_Compress(image, packed, 0, Mask) != 0) {
            state.SkipWithError("packing failed");
            break;
        }
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

void BM_Memcpy_64MiB(benchmark::State& state)
{
    const TFlexible_Byte_Array& image = Large_Image();
    TFlexible_Byte_Array copy(image.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), image.data(), image.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

BENCHMARK(BM_Gbx_Compress_64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_64MiB)->Unit(benchmark::kMillisecond);

// Registers, for each file, its expansion beside liblzo2's; returns the pairs of figures.
std::vector<std::pair<std::string, std::string>> Register_Expansion_Benchmarks()
{
    static const std::vector<TExpansion_Case> cases = Expansion_Cases();
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const TExpansion_Case& expansion : cases) {
        const TPacked_File* file = &expansion.file;
        const std::string ours = "BM_Gbx_Uncompress_" + expansion.name;
        const std::string reference = "BM_Lzo1x_Decompress_Safe_" + expansion.name;
        benchmark::RegisterBenchmark(ours.c_str(), [file](benchmark::State& state) {
            Expand_Benchmark(state, *file);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(reference.c_str(), [file](benchmark::State& state) {
            Liblzo2_Benchmark(state, *file);
        })->Unit(benchmark::kMicrosecond);
        pairs.emplace_back(ours, reference);
    }
    return pairs;
}

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    auto pairs = plotvane::Register_Expansion_Benchmarks();
    pairs.emplace_back("BM_Gbx_Compress_64MiB", "BM_Memcpy_64MiB");
    return plotvane::bench::Run_With_Ratios(argc, argv, pairs);
}
