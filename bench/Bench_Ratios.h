#pragma once

#include <string>
#include <utility>
#include <vector>

namespace plotvane::bench {

// Runs the registered benchmarks, then prints for each pair (figure, reference) how many times
// longer the figure took than its reference, both measured in this very run, so that the
// ratio holds on a noisy machine: below 1 the figure is the faster. Each time is per byte (or
// per item, for a benchmark that counts items), the median when runs are repeated.
int Run_With_Ratios(int argc, char** argv,
                    const std::vector<std::pair<std::string, std::string>>& pairs);

} // namespace plotvane::bench
