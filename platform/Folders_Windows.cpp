#include "platform/Folders.h"

#include "platform/File_System.h"
#include "platform/Folders_Internal.h"
#include "platform/Utf8_Paths.h"

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace plotvane {

namespace fs = std::filesystem;

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

void Add_System_Documents_Candidates(std::vector<std::string>& candidates)
{
    PWSTR documents = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &documents))) {
        candidates.push_back(Utf8_From_Wide(documents));
    }
    // The shell asks for this whether the call succeeded or not.
    CoTaskMemFree(documents);
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

} // namespace plotvane
