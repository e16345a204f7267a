#pragma once

#include <string>
#include <vector>

namespace plotvane {

// The game user folder: "TrackMania" in the first documents folder that holds one, without a
// trailing separator; the current directory when none does ("." when it has no path any more,
// having been removed). Never fails.
std::string Get_TrackMania_Folder();

// folder + name for every entry of the folder itself whose name matches "*." + extension, in
// the order the file system gives them. `folder` ends with its separator.
std::vector<std::string> List_Files(const std::string& folder, const std::string& extension);

} // namespace plotvane
