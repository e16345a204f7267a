#include "challenge/TMF_Base_Tools.h"

#include "platform/File_System.h"
#include "platform/Folders.h"
#include "platform/Utf8_Paths.h"

#include <filesystem>

namespace plotvane {

std::string Get_TrackMania_Folder()
{
    for (const std::string& documents : Documents_Folder_Candidates()) {
        const std::string game_folder = Utf8_From_Path(Path_From_Utf8(documents) / "TrackMania");
        if (Directory_Exists(game_folder)) {
            return game_folder;
        }
    }
    // The current directory may have been removed, leaving it without a path; "." still names
    // it for every later file operation, so the game folder is never missing.
    try {
        return Current_Directory();
    } catch (const EInOutError&) {
        return ".";
    }
}

std::vector<std::string> List_Files(const std::string& folder, const std::string& extension)
{
    std::vector<std::string> paths;
    for (const std::string& name : Folder_Entries_Matching(folder, extension)) {
        paths.push_back(folder + name);
    }
    return paths;
}

} // namespace plotvane
