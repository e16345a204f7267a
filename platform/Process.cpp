#include "platform/Process.h"

#include "platform/Process_Internal.h"

#include <chrono>

namespace plotvane {

TProgram_Arguments::TProgram_Arguments(int argc, const char* const* argv)
    : texts_(Utf8_Arguments(argc, argv))
{
    for (const std::string& text : texts_) {
        values_.push_back(text.c_str());
    }
}

std::vector<std::string> Command_Line_Arguments(int argc, const char* const* argv)
{
    const TProgram_Arguments arguments(argc, argv);
    if (arguments.Texts().empty()) {
        return {};
    }
    return std::vector<std::string>(arguments.Texts().begin() + 1, arguments.Texts().end());
}

std::uint64_t Clock_Value()
{
    return static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

} // namespace plotvane
