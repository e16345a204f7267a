#include "bench/Peak_Memory.h"

#include <malloc.h>

#include <fstream>

namespace plotvane::bench {

double Status_Field_Bytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stod(line.substr(field.size() + 1)) * 1024.0;
        }
    }
    return 0.0;
}

void Reset_Peak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace plotvane::bench
