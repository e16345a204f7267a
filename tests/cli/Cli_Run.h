#pragma once

#include "cli/Cli_Commands.h"

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace plotvane::test {

// What one run of plotvane-cli gave back.
struct TCli_Run {
    int Exit_Code = -1;
    std::string Out;
    std::string Err;
};

// An output that takes no byte, as standard output sent to a full disk or /dev/full.
class TFull_Output_Buffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// Runs plotvane-cli with the arguments that follow the program's name; with `output_is_full`,
// its standard output takes nothing.
inline TCli_Run Run_Command(const std::vector<std::string>& arguments,
                            bool output_is_full = false)
{
    std::vector<const char*> argv = {"plotvane-cli"};
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::ostringstream out;
    TFull_Output_Buffer full_buffer;
    std::ostream full(&full_buffer);
    std::ostringstream err;
    const int exit_code = Run_Cli(static_cast<int>(argv.size()), argv.data(),
                                  output_is_full ? full : out, err);
    return {exit_code, out.str(), err.str()};
}

} // namespace plotvane::test
