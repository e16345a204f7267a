#include "platform/Folders.h"

#include "platform/Folders_Internal.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace plotvane {

namespace {

char Lower_Ascii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool Ends_With_Ignoring_Case(const std::string& text, const std::string& suffix)
{
    if (suffix.size() > text.size()) {
        return false;
    }
    const std::size_t start = text.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (Lower_Ascii(text[start + i]) != Lower_Ascii(suffix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<std::string> Documents_Folder_Candidates()
{
    std::vector<std::string> candidates;
    const std::string named = Environment_Value("PLOTVANE_DOCUMENTS");
    if (!named.empty()) {
        candidates.push_back(named);
    }
    Add_System_Documents_Candidates(candidates);
    return candidates;
}

// Windows matches wildcards without regard to letter case, and the game sees its files that
// way even under Wine, whose folders keep whatever case the files were written or copied
// with; matching the same way everywhere finds every file the game itself would find.
std::vector<std::string> Folder_Entries_Matching(const std::string& folder,
                                                 const std::string& extension)
{
    const std::string suffix = "." + extension;
    std::vector<std::string> names;
    for (std::string& name : Folder_Entry_Names(folder)) {
        if (Ends_With_Ignoring_Case(name, suffix)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

} // namespace plotvane
