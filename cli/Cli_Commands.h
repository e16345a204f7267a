#pragma once

#include "memory/Base_Structure.h"

#include <iosfwd>

namespace plotvane {

// Exit codes of plotvane-cli.
constexpr int Cli_Exit_Ok = 0;
constexpr int Cli_Exit_Failure = 1; // a file could not be read, or was not what was asked for
constexpr int Cli_Exit_Usage = 2;
// `convert` ends with the codes of the editor's conversion in place, 9995 to 9999
// (challenge/Challenge_Conversion.h).

// A memory mask from 0 to 254, drawn at random; each program draws one per run.
TMemory_Mask Draw_Memory_Mask();

// Runs plotvane-cli on its command line (argv[0] is the program's name): reports and --help go
// to `out`, each failure as one line to `err`, usage errors to `err` as CLI11 words them.
// Returns the exit code, 1 also when `out` could not take the report. Only the editing commands
// (`set`, `move`, `rotate`, `replace`, `duplicate`, `delete`, `paste`, `pack`) and `convert`
// change a file.
// The memory mask is drawn here, once per run.
int Run_Cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace plotvane
