#pragma once

#include <string>
#include <vector>

namespace plotvane {

// The folders that may be the user's documents folder, most likely first; callers take the
// first one that holds what they look for. The first is $PLOTVANE_DOCUMENTS when it is set. On
// Windows the shell's documents folder follows (none when the shell cannot name it).
// Elsewhere the game runs under Wine or Steam's Proton, so the list goes on: the XDG documents
// folder; the Wine prefix's Documents, then My Documents; the Proton prefixes of both editions
// below both usual Steam roots. Paths use the native separator and are not resolved: Wine's
// folders are often symbolic links, and every test made on them follows the link.
std::vector<std::string> Documents_Folder_Candidates();

// Names of the entries of `folder` itself, "." and ".." left out, in the order the file system
// gives them. A folder that is missing or cannot be read has no entries.
std::vector<std::string> Folder_Entry_Names(const std::string& folder);

// Names of the entries of `folder` itself (subfolders are not searched) that match "*." +
// extension, in the order the file system gives them. Entries of every kind count, folders
// too. A folder that is missing or cannot be read has no entries.
std::vector<std::string> Folder_Entries_Matching(const std::string& folder,
                                                 const std::string& extension);

// Makes `folder` and every missing folder above it; raises EInOutError when one cannot be made.
void Create_Folders(const std::string& folder);

} // namespace plotvane
