#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "cli/Cli_Selection.h"
#include "memory/Base_Structure.h"

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>

namespace plotvane {

// One edit of the selected blocks: what it does and with which values.
struct TBatch_Edit {
    enum class TKind { Move, Rotate, Replace, Set, Duplicate, Delete, Paste };
    TKind Kind = TKind::Move;
    // Duplicate and paste: copy a block with an author record without it.
    bool Without_Skin = false;
    // Paste: the file of blocks, one JSON object a line; "-" for standard input.
    std::string Blocks_File;
    int Dx = 0;
    int Dz = 0;
    int Dy = 0;
    int Quarter_Turns = 0;
    std::string From;
    std::string To;
    TBlock_Settings Settings;
};

// What an editing command over a selection was asked to do, as parsed.
struct TBatch_Edit_Request {
    bool Json = false;
    bool Dry_Run = false;
    bool Force = false;
    std::string Game_Folder;
    std::string Map;
    TSelection_Options Selection;
    TBatch_Edit Edit;
};

// Adds the options that every editing command over a selection shares: MAP, --json,
// --game-folder, --dry-run and the selection (without --name when `with_name` is false). The
// help of --json names the report's key for the request's edit, which is set before.
void Add_Batch_Edit_Options(CLI::App& command, TBatch_Edit_Request& request,
                            bool with_name = true);

// Adds `move`, `rotate` and `replace` to `app`; parsing fills the request of each.
CLI::App* Add_Move_Command(CLI::App& app, TBatch_Edit_Request& request);
CLI::App* Add_Rotate_Command(CLI::App& app, TBatch_Edit_Request& request);
CLI::App* Add_Replace_Command(CLI::App& app, TBatch_Edit_Request& request);

// Makes the edit on the selected blocks of a challenge by the local player as one step of an
// edit session, refused whole when any selected block cannot take it. Unless it is a dry run,
// the file is first copied to its next numbered backup and then written once; the changed blocks are printed
// as read back from the written file (a dry run: as a save would write them). Returns the exit
// code; each failure is one line on `err`, nothing written.
int Run_Batch_Edit(const TBatch_Edit_Request& request, const TMemory_Mask& mask,
                   std::ostream& out, std::ostream& err);

} // namespace plotvane
