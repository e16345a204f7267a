// Expansion and packing of GBX bodies, each beside its reference measured in the same run:
// liblzo2's lzo1x_decompress_safe on the same streams, and memcpy of the same bytes.

#include "bench/Bench_Ratios.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"

#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <cstring>
#include <stdexcept>

namespace plotvane {
namespace {

using test::TBytes;

constexpr std::uint8_t Mask = 0x6B;
constexpr std::size_t Large_Body_Size = 64u << 20;

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

const TPacked_File& E02_File()
{
    static const TPacked_File file = [] {
        const std::string path = test::Corpus_File("E02-Endurance.Challenge.Gbx");
        if (path.empty()) {
            throw std::runtime_error(test::Corpus_Missing_Message());
        }
        return Packed_File_Of(test::Read_Plain_File(path));
    }();
    return file;
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

void Expand_Benchmark(benchmark::State& state, const TPacked_File& file)
{
    TFlexible_Byte_Array image;
    for (auto _ : state) {
        image.clear();
        if (Gbx_Uncompress(file.masked, image, Mask) != 0) {
            state.SkipWithError("expansion failed");
            break;
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.body_size));
}

void Liblzo2_Benchmark(benchmark::State& state, const TPacked_File& file)
{
    TBytes body(file.body_size);
    for (auto _ : state) {
        lzo_uint body_size = body.size();
        if (lzo1x_decompress_safe(file.stream.data(), file.stream.size(), body.data(), &body_size,
                                  nullptr) != LZO_E_OK) {
            state.SkipWithError("liblzo2 failed");
            break;
        }
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.body_size));
}

void BM_Gbx_Uncompress_E02(benchmark::State& state) { Expand_Benchmark(state, E02_File()); }
void BM_Lzo1x_Decompress_Safe_E02(benchmark::State& state) { Liblzo2_Benchmark(state, E02_File()); }
void BM_Gbx_Uncompress_64MiB(benchmark::State& state) { Expand_Benchmark(state, Large_File()); }
void BM_Lzo1x_Decompress_Safe_64MiB(benchmark::State& state) { Liblzo2_Benchmark(state, Large_File()); }

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

BENCHMARK(BM_Gbx_Uncompress_E02);
BENCHMARK(BM_Lzo1x_Decompress_Safe_E02);
BENCHMARK(BM_Gbx_Uncompress_64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lzo1x_Decompress_Safe_64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gbx_Compress_64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_64MiB)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    return plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Gbx_Uncompress_E02", "BM_Lzo1x_Decompress_Safe_E02"},
         {"BM_Gbx_Uncompress_64MiB", "BM_Lzo1x_Decompress_Safe_64MiB"},
         {"BM_Gbx_Compress_64MiB", "BM_Memcpy_64MiB"}});
}
