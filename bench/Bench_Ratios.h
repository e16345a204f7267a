#pragma once

#include <string>
#include <utility>
#include <vector>

namespace plotvane::bench {

// Runs the registered benchmarks, then prints for each pair (figure, reference) the ratio of
// their throughputs as measured in this very run, so that the ratio holds on a noisy machine.
int Run_With_Ratios(int argc, char** argv,
                    const std::vector<std::pair<std::string, std::string>>& pairs);

// The same, but for each pair (figure, reference) prints how many times longer the figure took
// than the reference: the form of a limit on a whole program's time.
int Run_With_Time_Ratios(int argc, char** argv,
                         const std::vector<std::pair<std::string, std::string>>& pairs);

} // namespace plotvane::bench
