#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "cli/Cli_Edit.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace plotvane {

// Adds `duplicate`, `delete` and `paste`, which add blocks at the end of the list or remove
// them; parsing fills the request of each.
CLI::App* Add_Duplicate_Command(CLI::App& app, TBatch_Edit_Request& request);
CLI::App* Add_Delete_Command(CLI::App& app, TBatch_Edit_Request& request);
CLI::App* Add_Paste_Command(CLI::App& app, TBatch_Edit_Request& request);

// The blocks of a paste's file (standard input for "-"), one JSON object a line as the
// editor's Copy writes them; fails with the file's problem.
std::vector<TNew_Block> Read_Pasted_Blocks(const std::string& file);

// Why the session refused adding or removing blocks (duplicate, delete, paste), in words; empty
// for another edit, and for a refusal that the other edits word alike.
std::string Structure_Refusal_Text(const TEdit_Result& result, const TBatch_Edit& edit,
                                   const TChallenge_Edit_Session& session,
                                   const std::vector<TNew_Block>& pasted);

} // namespace plotvane
