#pragma once

#include <string>
#include <vector>

namespace plotvane::test {

// Path of a file in the shared corpus of real GBX files, or "" when the corpus is absent;
// tests then skip with GTEST_SKIP() << Corpus_Missing_Message().
std::string Corpus_File(const std::string& name);
std::string Corpus_Missing_Message();
// The names of every challenge of the corpus and of its campaign folder, as Corpus_File takes
// them; none when the corpus is absent.
std::vector<std::string> Corpus_Challenges();

} // namespace plotvane::test

// Skips the current test when the named corpus file is not there.
#define PLOTVANE_REQUIRE_CORPUS_FILE(variable, name)                                     \
    const std::string variable = ::plotvane::test::Corpus_File(name);                    \
    if (variable.empty()) {                                                              \
        GTEST_SKIP() << ::plotvane::test::Corpus_Missing_Message() << " (" << name << ")"; \
    }
