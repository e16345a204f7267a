#pragma once

#include "cli/Cli_Edit.h"
#include "memory/Base_Structure.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace plotvane {

// What `plotvane-cli set` was asked to change; an option not given keeps the block's value.
// Without INDEX, the rotation and variations go to every block of the selection.
struct TSet_Request {
    bool Json = false;
    bool Force = false;
    bool Dry_Run = false;
    std::string Game_Folder;
    std::string Map;
    std::uint32_t Index = 0;
    std::string Name;
    int Rotation = 0;
    int X = 0;
    int Z = 0;
    int Y = 0;
    std::vector<int> Variations; // four when given
    TSelection_Options Selection;
    CLI::Option* Index_Option = nullptr;
    CLI::Option* Name_Option = nullptr;
    CLI::Option* Rotation_Option = nullptr;
    CLI::Option* X_Option = nullptr;
    CLI::Option* Z_Option = nullptr;
    CLI::Option* Y_Option = nullptr;
    CLI::Option* Variations_Option = nullptr;
};

// Adds the `set` subcommand to `app`; parsing fills `request`.
CLI::App* Add_Set_Command(CLI::App& app, TSet_Request& request);

// Changes one block of a challenge by the local player, as the block editor does: the new file
// is packed and checked, the file copied to its next numbered backup (MAP.bak1 to MAP.bak9),
// then written whole; the block is then shown as read back from the written file. Without INDEX, sets the selected blocks as Run_Batch_Edit does. Returns the
// exit code; each failure is one line on `err`, nothing written.
int Run_Set(const TSet_Request& request, const TMemory_Mask& mask, std::ostream& out,
            std::ostream& err);

} // namespace plotvane
