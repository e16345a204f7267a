// Replays saved fuzz inputs through a fuzz target without libFuzzer: every regular file of each
// folder (or each file) named on the command line, in name order. A broken invariant or a
// sanitizer report ends the process abnormally, which fails the test.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> Inputs_Of(const std::filesystem::path& argument)
{
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(argument)) {
        for (const auto& entry : std::filesystem::directory_iterator(argument)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path());
            }
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(argument)) {
        inputs.push_back(argument);
    }
    return inputs;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::filesystem::path> inputs = Inputs_Of(argv[i]);
        if (inputs.empty()) {
            std::fprintf(stderr, "no input to replay in %s\n", argv[i]);
            return 1;
        }
        for (const auto& path : inputs) {
            std::ifstream stream(path, std::ios::binary);
            if (!stream.is_open()) {
                std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
                return 1;
            }
            const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)),
                                          std::istreambuf_iterator<char>());
            // libFuzzer never passes a null pointer, not even for an empty input.
            std::vector<std::uint8_t> input(bytes.size() + 1);
            std::copy(bytes.begin(), bytes.end(), input.begin());
            std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.string().c_str(), bytes.size());
            LLVMFuzzerTestOneInput(input.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return replayed == 0 ? 1 : 0;
}
