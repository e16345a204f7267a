#pragma once

#include "memory/Base_Structure.h"

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>

namespace plotvane {

// What `plotvane-cli pack` was asked to do, as parsed.
struct TPack_Request {
    bool Json = false;
    bool Dry_Run = false;
    bool Best = false;
    bool Check = false;
    std::string Game_Folder;
    std::string Map;
};

// Adds `pack` to `app`; parsing fills `request`.
CLI::App* Add_Pack_Command(CLI::App& app, TPack_Request& request);

// Re-saves a challenge by the local player with its body packed (Gbx_Compress method 1, or 2
// with --best) as the editing commands save it: the author checked, the map locked, the new
// file packed and checked, the map copied to its next numbered backup, then written once; and
// prints its size before and after. A map that packing would not make smaller is left as it
// is. --dry-run writes nothing; --check says, of any challenge, whether its body is packed and
// how large packing would make it, writing nothing. Returns the exit code; each failure is one
// line on `err`, nothing written.
int Run_Pack(const TPack_Request& request, const TMemory_Mask& mask, std::ostream& out,
             std::ostream& err);

} // namespace plotvane
