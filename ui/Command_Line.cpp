#include "ui/Command_Line.h"

#include "challenge/Challenge_Conversion.h"
#include "platform/Utf8_Paths.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace plotvane {

const char* const Open_Option = "--open";

bool Asks_For_Conversion(const std::vector<std::string>& arguments)
{
    return arguments.size() == 1 && arguments.front() != Open_Option;
}

std::optional<std::string> Challenge_To_Open(const std::vector<std::string>& arguments)
{
    const auto option = std::find(arguments.begin(), arguments.end(), Open_Option);
    if (option == arguments.end() || option + 1 == arguments.end()) {
        return std::nullopt;
    }
    // Made absolute as the open dialog's names are, so that the open challenge's folder is known.
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(Path_From_Utf8(*(option + 1)), error);
    return error ? *(option + 1) : Utf8_From_Path(absolute);
}

int Convert_From_Command_Line(const std::string& file_name, TMemory_Mask mask)
{
    const TConversion_Outcome outcome = Convert_Challenge_In_Place(file_name, mask);
    if (outcome.Exit_Code != Exit_Converted) {
        Report_Conversion_Failure(std::cerr, "plotvane", file_name, outcome);
    }
    return outcome.Exit_Code;
}

} // namespace plotvane
