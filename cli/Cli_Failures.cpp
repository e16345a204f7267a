#include "cli/Cli_Failures.h"

#include "cli/Cli_Reports.h"
#include "gbx/Gbx_IO.h"

#include <ostream>

namespace plotvane {

void Report_Failure(std::ostream& err, const std::string& subject, const std::string& text)
{
    err << Cli_Program_Name << ": " << subject << ": " << text << '\n';
}

std::string Status_Text(std::uint32_t status)
{
    return std::to_string(status) + ": " + Status_Meaning(status);
}

std::string Read_Failure_Text(const std::string& path, std::uint32_t status)
{
    const std::string other_kind = Not_A_Regular_File(path);
    return other_kind.empty() ? "error " + Status_Text(status) : other_kind;
}

std::string Not_A_Challenge_Text(std::uint8_t kind)
{
    return "a " + Kind_Name(kind) + ", not a challenge";
}

} // namespace plotvane
