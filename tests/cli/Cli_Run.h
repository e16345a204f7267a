#pragma once

#include "cli/Cli_Commands.h"

#include <sstream>
#include <string>
#include <vector>

namespace plotvane::test {

// What one run of plotvane-cli gave back.
struct TCli_Run {
    int Exit_Code = -1;
    std::string Out;
    std::string Err;
};

// Runs plotvane-cli with the arguments that follow the program's name.
inline TCli_Run Run_Command(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv = {"plotvane-cli"};
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    const int exit_code = Run_Cli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {exit_code, out.str(), err.str()};
}

} // namespace plotvane::test
