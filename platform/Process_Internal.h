#pragma once

// What Process.cpp shares with each system's form (Process_Posix.cpp, Process_Windows.cpp);
// included by those three alone.

#include <string>
#include <vector>

namespace plotvane {

// The command line as UTF-8 text, the program's name first.
std::vector<std::string> Utf8_Arguments(int argc, const char* const* argv);

} // namespace plotvane
