#pragma once

#include "challenge/Block_Selection.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace plotvane {

// The selection options of a command as parsed: --index, --name and --within, each repeatable.
struct TSelection_Options {
    std::vector<std::string> Indexes;
    std::vector<std::string> Names;
    std::vector<int> Within; // six values per box
    CLI::Option* Index_Option = nullptr;
    CLI::Option* Name_Option = nullptr;
    CLI::Option* Within_Option = nullptr;

    bool Given() const;
    // The criteria they give; call after a successful parse.
    TBlock_Criteria Criteria() const;
};

// Adds --index, --within and, unless the command has a --name of its own, --name to `command`.
void Add_Selection_Options(CLI::App& command, TSelection_Options& options, bool with_name = true);

} // namespace plotvane
