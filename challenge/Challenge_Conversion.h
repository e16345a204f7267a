#pragma once

#include "memory/Base_Structure.h"

#include <iosfwd>
#include <string>

namespace plotvane {

// Exit codes of the conversion in place. A POSIX exit status keeps their low 8 bits (11 to 15).
constexpr int Exit_Converted = 0;
constexpr int Exit_No_Profile = 9999;
constexpr int Exit_Load_Failed = 9998;
constexpr int Exit_Author_Not_Listed = 9997;
constexpr int Exit_Save_Failed = 9996;
constexpr int Exit_Backup_Failed = 9995;

// How a conversion ended: its exit code and, when it failed, what failed.
struct TConversion_Outcome {
    int Exit_Code = Exit_Converted;
    std::string Failure;
};

// Converts the challenge at `file_name` in place, asking nothing: finds the local online
// profiles, takes the file's lock, loads it, checks that its author is one of those profiles,
// packs the new file and checks it, copies the file to FILE.bak, and writes it back with its
// body stored as one LZO1X literal run. Any failure leaves the file as it was.
TConversion_Outcome Convert_Challenge_In_Place(const std::string& file_name,
                                               const TMemory_Mask& mask);

// The one line a failed conversion writes: "PROGRAM: FILE: FAILURE (exit code N)".
void Report_Conversion_Failure(std::ostream& err, const std::string& program,
                               const std::string& file_name, const TConversion_Outcome& outcome);

} // namespace plotvane
