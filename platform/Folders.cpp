#include "platform/Folders.h"

#include "platform/File_System.h"
#include "platform/Utf8_Paths.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#else
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#endif

namespace plotvane {

namespace fs = std::filesystem;

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

#ifdef _WIN32

// An unset variable and an empty one mean the same: use the default. Read as UTF-16, so that a
// folder named outside the ANSI code page comes through whole.
std::string Environment_Value(const char* name)
{
    const std::wstring wide_name = Wide_From_Utf8(name);
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                                     static_cast<DWORD>(value.size()));
        if (length < value.size()) {
            value.resize(length); // 0 when it is unset
            return Utf8_From_Wide(value);
        }
        value.resize(length); // the room it needs, its end included
    }
}

#else

// An unset variable and an empty one mean the same: use the default.
std::string Environment_Value(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

const passwd* Own_Account()
{
    return getpwuid(getuid());
}

std::string Home_Folder()
{
    std::string home = Environment_Value("HOME");
    if (home.empty()) {
        const passwd* account = Own_Account();
        if (account != nullptr && account->pw_dir != nullptr) {
            home = account->pw_dir;
        }
    }
    return home;
}

// Wine names the user's folder in the prefix after $USER, falling back to the login name.
std::string User_Name()
{
    std::string user = Environment_Value("USER");
    if (user.empty()) {
        const passwd* account = Own_Account();
        if (account != nullptr && account->pw_name != nullptr) {
            user = account->pw_name;
        }
    }
    return user;
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

#endif

} // namespace

#ifdef _WIN32

std::vector<std::string> Documents_Folder_Candidates()
{
    std::vector<std::string> candidates;
    const std::string named = Environment_Value("PLOTVANE_DOCUMENTS");
    if (!named.empty()) {
        candidates.push_back(named);
    }
    PWSTR documents = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &documents))) {
        candidates.push_back(Utf8_From_Wide(documents));
    }
    // The shell asks for this whether the call succeeded or not.
    CoTaskMemFree(documents);
    return candidates;
}

std::vector<std::string> Folder_Entry_Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileExW(
        Win32_Path(Utf8_From_Path(Path_From_Utf8(folder) / L"*")).c_str(), FindExInfoBasic, &entry,
        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(Utf8_From_Wide(name));
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

// One folder at a time from the top, each through CreateDirectoryW, which takes long paths in
// their extended form (std::filesystem's does not).
void Create_Folders(const std::string& folder)
{
    const fs::path path = Path_From_Utf8(folder);
    if (!path.has_relative_path() || Directory_Exists(folder)) {
        return; // a drive or share root is never made
    }
    Create_Folders(Utf8_From_Path(path.parent_path()));
    if (!CreateDirectoryW(Win32_Path(folder).c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || !Directory_Exists(folder)) {
            Raise_In_Out_Error_From_Windows_Error(error);
        }
    }
}

#else

std::vector<std::string> Documents_Folder_Candidates()
{
    std::vector<std::string> candidates;
    const std::string named = Environment_Value("PLOTVANE_DOCUMENTS");
    if (!named.empty()) {
        candidates.push_back(named);
    }
    const std::string home = Home_Folder();
    const std::string xdg_documents = Xdg_Documents_Folder(home);
    if (!xdg_documents.empty()) {
        candidates.push_back(xdg_documents);
    }
    Add_Wine_Candidates(candidates, home);
    Add_Proton_Candidates(candidates, home);
    return candidates;
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

#endif

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
