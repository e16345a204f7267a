#include "tests/support/Corpus.h"

#include <algorithm>
#include <filesystem>

namespace plotvane::test {

std::string Corpus_File(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(PLOTVANE_CORPUS_DIR) / name;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) ? path.string() : std::string();
}

std::string Corpus_Missing_Message()
{
    return "the shared corpus of real GBX files is not at " PLOTVANE_CORPUS_DIR;
}

std::vector<std::string> Corpus_Challenges()
{
    std::vector<std::string> names;
    for (const char* folder : {"", "campaign/"}) {
        std::error_code error;
        const std::filesystem::path path = std::filesystem::path(PLOTVANE_CORPUS_DIR) / folder;
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 14 && name.compare(name.size() - 14, 14, ".Challenge.Gbx") == 0) {
                names.push_back(folder + name);
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace plotvane::test
