// Expansion and packing of GBX bodies, each beside its reference measured in the same run:
// liblzo2's lzo1x_decompress_safe making the same image from the same stream, lzo1x_1_compress
// making the same file from the same image, and memcpy of the same bytes. The bodies: a
// 1,000,000-block challenge, every real body of the corpus and of its campaign folder, and (for
// expansion) a 64 MiB body of real bodies in a row. After the times, the sizes of the packed
// streams beside liblzo2's (lzo1x_1_compress for method 1, lzo1x_999_compress for method 2).

#include "bench/Bench_Ratios.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"

#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <cstdio>
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
constexpr std::size_t End_Marker_Size = 3;

const char* const Corpus_Names[] = {
    "E02-Endurance.Challenge.Gbx",
    "SpeedNotice.Challenge.Gbx",
    "Turbo001.Replay.Gbx",
    "Summer2021-04.Replay.Gbx",
    "campaign/Alpine-SnowA5.Challenge.Gbx",
    "campaign/Bay-BayA5.Challenge.Gbx",
    "campaign/Coast-CoastA5.Challenge.Gbx",
    "campaign/Island-IslandA2.Challenge.Gbx",
    "campaign/Rally-RallyA3.Challenge.Gbx",
    "campaign/Speed-DesertA5.Challenge.Gbx",
    "campaign/Stadium-A01-Race.Challenge.Gbx",
    "campaign/Stadium-B13-Obstacle.Challenge.Gbx",
    "campaign/Stadium-C08-Obstacle.Challenge.Gbx",
    "campaign/Stadium-D07-Race.Challenge.Gbx",
};

// A GBX file in its masked form, with its plain stream (end marker included).
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

TFlexible_Byte_Array Expanded(const TPacked_File& file)
{
    TFlexible_Byte_Array image;
    if (Gbx_Uncompress(file.masked, image, Mask) != 0) {
        throw std::runtime_error("cannot expand a file of the benchmarks");
    }
    return image;
}

TBytes Corpus_File_Bytes(const std::string& name)
{
    const std::string path = test::Corpus_File(name);
    if (path.empty()) {
        throw std::runtime_error(test::Corpus_Missing_Message());
    }
    return test::Read_Plain_File(path);
}

TBytes Expanded_Body_Of(const std::string& corpus_name)
{
    const TBytes plain =
        test::Unmasked(Expanded(Packed_File_Of(Corpus_File_Bytes(corpus_name))), Mask);
    const std::size_t body_offset =
        Gbx_Get_Compression_Info(test::Masked(plain, Mask), Mask).Data_Offset;
    return TBytes(plain.begin() + static_cast<std::ptrdiff_t>(body_offset),
                  plain.end() - End_Marker_Size);
}

// Many real challenge bodies in a row, packed by lzo1x_1_compress.
TPacked_File Large_File()
{
    const TBytes endurance = Expanded_Body_Of("E02-Endurance.Challenge.Gbx");
    const TBytes speed = Expanded_Body_Of("SpeedNotice.Challenge.Gbx");
    TBytes body;
    body.reserve(Large_Body_Size + endurance.size());
    while (body.size() < Large_Body_Size) {
        body.insert(body.end(), endurance.begin(), endurance.end());
        body.insert(body.end(), speed.begin(), speed.end());
    }
    body.resize(Large_Body_Size);
    return Packed_File_Of(
        test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, TBytes(64, 0), body, false));
}

// The files measured, each under the name of its figures; `packs`: packing by method 1 is
// measured too, else packing as one literal run.
struct TCodec_Case {
    std::string name;
    TPacked_File file;
    bool packs = true;
    TFlexible_Byte_Array image;
    // The file packed by Gbx_Compress method 1.
    TPacked_File packed;
};

std::vector<TCodec_Case> Codec_Cases()
{
    std::vector<TCodec_Case> cases;
    cases.push_back(
        {"1M_Blocks", Packed_File_Of(test::Make_Large_Challenge_File(Large_Block_Count)), true,
         {}, {}});
    for (const char* name : Corpus_Names) {
        std::string short_name(name);
        short_name = short_name.substr(short_name.rfind('/') + 1);
        short_name = short_name.substr(0, short_name.find('.'));
        cases.push_back({short_name, Packed_File_Of(Corpus_File_Bytes(name)), true, {}, {}});
    }
    cases.push_back({"64MiB", Large_File(), false, {}, {}});
    for (TCodec_Case& codec_case : cases) {
        codec_case.image = Expanded(codec_case.file);
        if (!codec_case.packs) {
            continue;
        }
        TFlexible_Byte_Array packed;
        if (Gbx_Compress(codec_case.image, packed, Gbx_Method_Packed, Mask) != 0) {
            throw std::runtime_error("cannot pack " + codec_case.name);
        }
        codec_case.packed = Packed_File_Of(test::Unmasked(packed, Mask));
    }
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
void Liblzo2_Expand_Benchmark(benchmark::State& state, const TPacked_File& file)
{
    const std::size_t header_size = file.masked.size() - file.stream.size();
    for (auto _ : state) {
        TBytes image(header_size + file.body_size + End_Marker_Size);
        std::memcpy(image.data(), file.masked.data(), header_size);
        lzo_uint body_size = file.body_size;
        if (lzo1x_decompress_safe(file.stream.data(), file.stream.size(),
                                  image.data() + header_size, &body_size,
                                  nullptr) != LZO_E_OK) {
            state.SkipWithError("liblzo2 failed");
            break;
        }
        std::memcpy(image.data() + header_size + body_size,
                    file.stream.data() + file.stream.size() - End_Marker_Size, End_Marker_Size);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.body_size));
}

// Each iteration packs the image into an emptied array that keeps its storage, as a save
// does.
void Pack_Benchmark(benchmark::State& state, const TFlexible_Byte_Array& image)
{
    TFlexible_Byte_Array packed;
    for (auto _ : state) {
        packed.clear();
        if (Gbx_Compress(image, packed, Gbx_Method_Packed, Mask) != 0) {
            state.SkipWithError("packing failed");
            break;
        }
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

// The same file made with liblzo2 into an array that keeps its storage: the header copied up
// to the compressed-size field, the body packed by lzo1x_1_compress after it, the field set,
// the end marker copied.
void Liblzo2_Pack_Benchmark(benchmark::State& state, const TFlexible_Byte_Array& image)
{
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, Mask);
    const std::size_t body_size = info.Uncompressed_Size;
    TBytes file(image.size() + image.size() / 16 + 64);
    TBytes work(LZO1X_1_MEM_COMPRESS);
    for (auto _ : state) {
        std::memcpy(file.data(), image.data(), info.Data_Offset);
        lzo_uint stream_size = file.size() - info.Data_Offset;
        if (lzo1x_1_compress(image.data() + info.Data_Offset, body_size,
                             file.data() + info.Data_Offset, &stream_size,
                             work.data()) != LZO_E_OK) {
            state.SkipWithError("liblzo2 failed");
            break;
        }
        const std::uint32_t field = static_cast<std::uint32_t>(stream_size) + End_Marker_Size;
        std::memcpy(file.data() + info.Data_Offset - 4, &field, sizeof field);
        std::memcpy(file.data() + info.Data_Offset + stream_size,
                    image.data() + info.Data_Offset + body_size, End_Marker_Size);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

// Packing an image as one literal run, into an emptied array that keeps its storage, like
// memcpy's below.
void Literal_Run_Benchmark(benchmark::State& state, const TFlexible_Byte_Array& image)
{
    TFlexible_Byte_Array packed;
    for (auto _ : state) {
        packed.clear();
        if (Gbx_Compress(image, packed, Gbx_Method_Literal_Run, Mask) != 0) {
            state.SkipWithError("packing failed");
            break;
        }
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

void Memcpy_Benchmark(benchmark::State& state, const TFlexible_Byte_Array& image)
{
    TFlexible_Byte_Array copy(image.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), image.data(), image.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

using TPairs = std::vector<std::pair<std::string, std::string>>;

// Registers a figure beside its reference and notes the pair.
template <typename TFigure, typename TReference>
void Register_Pair(TPairs& pairs, const std::string& figure, TFigure run_figure,
                   const std::string& reference, TReference run_reference)
{
    benchmark::RegisterBenchmark(figure.c_str(), run_figure)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(reference.c_str(), run_reference)
        ->Unit(benchmark::kMicrosecond);
    pairs.emplace_back(figure, reference);
}

// Registers, for each file, its expansion beside liblzo2's; its packing by method 1 beside
// lzo1x_1_compress, and the expansion of that packed file beside liblzo2's; for the 64 MiB
// body, its packing as one literal run beside memcpy.
TPairs Register_Codec_Benchmarks(const std::vector<TCodec_Case>& cases)
{
    TPairs pairs;
    for (const TCodec_Case& codec_case : cases) {
        const TCodec_Case* c = &codec_case;
        Register_Pair(
            pairs, "BM_Gbx_Uncompress_" + c->name,
            [c](benchmark::State& state) { Expand_Benchmark(state, c->file); },
            "BM_Lzo1x_Decompress_Safe_" + c->name,
            [c](benchmark::State& state) { Liblzo2_Expand_Benchmark(state, c->file); });
        if (!c->packs) {
            Register_Pair(
                pairs, "BM_Gbx_Compress_Literal_Run_" + c->name,
                [c](benchmark::State& state) { Literal_Run_Benchmark(state, c->image); },
                "BM_Memcpy_" + c->name,
                [c](benchmark::State& state) { Memcpy_Benchmark(state, c->image); });
            continue;
        }
        Register_Pair(
            pairs, "BM_Gbx_Compress_Packed_" + c->name,
            [c](benchmark::State& state) { Pack_Benchmark(state, c->image); },
            "BM_Lzo1x_1_Compress_" + c->name,
            [c](benchmark::State& state) { Liblzo2_Pack_Benchmark(state, c->image); });
        Register_Pair(
            pairs, "BM_Gbx_Uncompress_Packed_" + c->name,
            [c](benchmark::State& state) { Expand_Benchmark(state, c->packed); },
            "BM_Lzo1x_Decompress_Safe_Packed_" + c->name,
            [c](benchmark::State& state) { Liblzo2_Expand_Benchmark(state, c->packed); });
    }
    return pairs;
}

// Bytes of the stream (end marker included) that Gbx_Compress writes for the image.
std::size_t Packed_Stream_Size(const TFlexible_Byte_Array& image, std::uint32_t method)
{
    TFlexible_Byte_Array packed;
    if (Gbx_Compress(image, packed, method, Mask) != 0) {
        throw std::runtime_error("packing failed");
    }
    return packed.size() - Gbx_Get_Compression_Info(image, Mask).Data_Offset;
}

// Prints, for each packed file, the size of the stream of each method over liblzo2's.
void Print_Size_Ratios(const std::vector<TCodec_Case>& cases)
{
    std::printf("\n%-24s %-50s %s\n", "body", "figure size / reference size", "ratio");
    for (const TCodec_Case& codec_case : cases) {
        if (!codec_case.packs) {
            continue;
        }
        const TGbx_Compression_Info info = Gbx_Get_Compression_Info(codec_case.image, Mask);
        const TBytes plain = test::Unmasked(codec_case.image, Mask);
        const TBytes body(plain.begin() + info.Data_Offset, plain.end() - End_Marker_Size);
        const struct {
            std::uint32_t method;
            bool optimal;
            const char* label;
        } rows[] = {
            {Gbx_Method_Packed, false, "Gbx_Compress method 1 / lzo1x_1_compress"},
            {Gbx_Method_Best, true, "Gbx_Compress method 2 / lzo1x_999_compress"},
        };
        for (const auto& row : rows) {
            const auto ours =
                static_cast<double>(Packed_Stream_Size(codec_case.image, row.method));
            const auto reference =
                static_cast<double>(test::Lzo_Compress(body, row.optimal).size());
            std::printf("%-24s %-50s %.4fx (%.0f / %.0f bytes)\n", codec_case.name.c_str(),
                        row.label, ours / reference, ours, reference);
        }
    }
}

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    const std::vector<plotvane::TCodec_Case> cases = plotvane::Codec_Cases();
    const auto pairs = plotvane::Register_Codec_Benchmarks(cases);
    const int status = plotvane::bench::Run_With_Ratios(argc, argv, pairs);
    plotvane::Print_Size_Ratios(cases);
    return status;
}
