#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace plotvane {

// The program's name, which begins each failure line.
constexpr const char* Cli_Program_Name = "plotvane-cli";

// Writes "plotvane-cli: SUBJECT: TEXT" as one line.
void Report_Failure(std::ostream& err, const std::string& subject, const std::string& text);

// "N: meaning" for a status of the file functions.
std::string Status_Text(std::uint32_t status);

// Why the file at `path` could not be read, given the failed status of reading it: what the
// path names when it is not a regular file (a missing-file status also comes back for a
// folder, a FIFO or a device), else "error N: meaning".
std::string Read_Failure_Text(const std::string& path, std::uint32_t status);

// "a profile, not a challenge" and the like.
std::string Not_A_Challenge_Text(std::uint8_t kind);

} // namespace plotvane
