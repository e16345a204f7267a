#include "tests/support/Corpus.h"

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

} // namespace plotvane::test
