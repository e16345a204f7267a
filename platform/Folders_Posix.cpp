#include "platform/Folders.h"

#include "platform/File_System.h"
#include "platform/Folders_Internal.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace plotvane {

namespace fs = std::filesystem;

// An unset variable and an empty one mean the same: use the default.
std::string Environment_Value(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

namespace {

const passwd* Own_Account()
{
    return getpwuid(getuid());
}

// An environment variable, or when it is empty the own account's field (its entry in the
// password database).
std::string Environment_Or_Account(const char* variable, char* passwd::*field)
{
    std::string value = Environment_Value(variable);
    if (value.empty()) {
        const passwd* account = Own_Account();
        if (account != nullptr && account->*field != nullptr) {
            value = account->*field;
        }
    }
    return value;
}

std::string Home_Folder()
{
    return Environment_Or_Account("HOME", &passwd::pw_dir);
}

// Wine names the user's folder in the prefix after $USER, falling back to the login name.
std::string User_Name()
{
    return Environment_Or_Account("USER", &passwd::pw_name);
}

// The text between the double quotes that open at `open_quote`, with backslash escapes
// resolved; nothing when the closing quote is missing.
std::optional<std::string> Quoted_Text(const std::string& line, std::size_t open_quote)
{
    std::string text;
    for (std::size_t i = open_quote + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            return text;
        }
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
        }
        text += line[i];
    }
    return std::nullopt;
}

// Reads a line as xdg-user-dirs writes it: XDG_DOCUMENTS_DIR="$HOME/Documents", or an absolute
// path in the quotes. Anything else (comments, other folders, relative paths) gives nothing.
std::optional<std::string> Documents_Entry(const std::string& line, const std::string& home)
{
    static const std::string key = "XDG_DOCUMENTS_DIR";
    std::size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string::npos || line.compare(pos, key.size(), key) != 0) {
        return std::nullopt;
    }
    pos = line.find_first_not_of(" \t", pos + key.size());
    if (pos == std::string::npos || line[pos] != '=') {
        return std::nullopt;
    }
    pos = line.find_first_not_of(" \t", pos + 1);
    if (pos == std::string::npos || line[pos] != '"') {
        return std::nullopt;
    }
    const std::optional<std::string> value = Quoted_Text(line, pos);
    if (!value) {
        return std::nullopt;
    }
    static const std::string home_variable = "$HOME";
    if (value->compare(0, home_variable.size(), home_variable) == 0 &&
        (value->size() == home_variable.size() || (*value)[home_variable.size()] == '/')) {
        if (home.empty()) {
            return std::nullopt;
        }
        return home + value->substr(home_variable.size());
    }
    if (value->empty() || value->front() != '/') {
        return std::nullopt;
    }
    return value;
}

// The XDG documents folder: the last valid XDG_DOCUMENTS_DIR line of user-dirs.dirs (as GLib
// reads it), else ~/Documents; empty when neither can be formed.
std::string Xdg_Documents_Folder(const std::string& home)
{
    fs::path config = Environment_Value("XDG_CONFIG_HOME");
    if (config.empty() || config.is_relative()) {
        if (home.empty()) {
            return {};
        }
        config = fs::path(home) / ".config";
    }
    std::ifstream input(config / "user-dirs.dirs");
    std::optional<std::string> documents;
    for (std::string line; std::getline(input, line);) {
        if (std::optional<std::string> entry = Documents_Entry(line, home)) {
            documents = std::move(entry);
        }
    }
    if (documents) {
        return *documents;
    }
    return home.empty() ? std::string() : (fs::path(home) / "Documents").string();
}

void Add_Wine_Candidates(std::vector<std::string>& candidates, const std::string& home)
{
    fs::path prefix = Environment_Value("WINEPREFIX");
    if (prefix.empty()) {
        if (home.empty()) {
            return;
        }
        prefix = fs::path(home) / ".wine";
    }
    const fs::path user_folder = prefix / "drive_c" / "users" / User_Name();
    candidates.push_back((user_folder / "Documents").string());
    candidates.push_back((user_folder / "My Documents").string());
}

// Proton gives each game its own prefix, named after its Steam app id: TrackMania Nations
// Forever is 11020, TrackMania United Forever 7200.
void Add_Proton_Candidates(std::vector<std::string>& candidates, const std::string& home)
{
    if (home.empty()) {
        return;
    }
    const fs::path steam_roots[] = {fs::path(home) / ".steam" / "steam",
                                    fs::path(home) / ".local" / "share" / "Steam"};
    for (const fs::path& root : steam_roots) {
        for (const char* app_id : {"11020", "7200"}) {
            candidates.push_back((root / "steamapps" / "compatdata" / app_id / "pfx" / "drive_c" /
                                  "users" / "steamuser" / "Documents")
                                     .string());
        }
    }
}

} // namespace

void Add_System_Documents_Candidates(std::vector<std::string>& candidates)
{
    const std::string home = Home_Folder();
    const std::string xdg_documents = Xdg_Documents_Folder(home);
    if (!xdg_documents.empty()) {
        candidates.push_back(xdg_documents);
    }
    Add_Wine_Candidates(candidates, home);
    Add_Proton_Candidates(candidates, home);
}

std::vector<std::string> Folder_Entry_Names(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        names.push_back(entry->path().filename().string());
    }
    return names;
}

void Create_Folders(const std::string& folder)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        Raise_In_Out_Error_From_Errno(error.value());
    }
}

} // namespace plotvane
