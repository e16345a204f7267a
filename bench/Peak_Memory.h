#pragma once

#include <string>

namespace plotvane::bench {

// A field of /proc/self/status, in bytes (Linux only; 0 when the field is not there).
double Status_Field_Bytes(const std::string& field);

// Gives freed memory back and resets the peak (VmHWM) to what the process holds now.
void Reset_Peak();

} // namespace plotvane::bench
