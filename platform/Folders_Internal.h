#pragma once

// What Folders.cpp shares with each system's form (Folders_Posix.cpp, Folders_Windows.cpp);
// included by those three alone.

#include <string>
#include <vector>

namespace plotvane {

// The value of the environment variable `name`; "" when it is unset.
std::string Environment_Value(const char* name);

// Adds the documents folders that the system names, after $PLOTVANE_DOCUMENTS, to
// Documents_Folder_Candidates' list.
void Add_System_Documents_Candidates(std::vector<std::string>& candidates);

} // namespace plotvane
