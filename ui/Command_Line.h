#pragma once

#include "memory/Base_Structure.h"

#include <optional>
#include <string>
#include <vector>

namespace plotvane {

// The option that names a challenge to open in the window: plotvane --open CHALLENGE.
extern const char* const Open_Option;

// Whether the program's own arguments (as the system gave them, before Qt took its options out)
// ask for the conversion in place: exactly one, other than --open alone. --open alone is what a
// desktop entry's "--open %f" leaves when it is started without a file: the window, never a
// conversion.
bool Asks_For_Conversion(const std::vector<std::string>& arguments);

// The challenge that the argument after the first --open names, if there is one, made absolute
// from the current directory.
std::optional<std::string> Challenge_To_Open(const std::vector<std::string>& arguments);

// The conversion in place that one argument asks for, as "plotvane CHALLENGE" runs it: its one
// line on standard error when it fails, and its exit code. It needs no Qt at all, so that it
// runs where no Qt platform can start (on a server, beside a display that does not answer, in
// a Windows build that holds only the platform of a screen) and never shows a box.
int Convert_From_Command_Line(const std::string& file_name, TMemory_Mask mask);

} // namespace plotvane
