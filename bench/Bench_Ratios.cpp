#include "bench/Bench_Ratios.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace plotvane::bench {

namespace {

// The console reporter, remembering each run's throughput (the median when repeated): bytes
// a second, or items a second for a figure that counts items.
class TRatio_Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto bytes = run.counters.find("bytes_per_second");
            if (bytes == run.counters.end()) {
                bytes = run.counters.find("items_per_second");
            }
            if (bytes == run.counters.end()) {
                continue;
            }
            const bool is_median = run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || is_median) {
                auto& slot = throughput_[run.run_name.function_name];
                if (is_median || slot.second == false) {
                    slot = {bytes->second.value, is_median};
                }
            }
        }
    }

    double Throughput(const std::string& name) const
    {
        const auto found = throughput_.find(name);
        return found == throughput_.end() ? 0.0 : found->second.first;
    }

private:
    std::map<std::string, std::pair<double, bool>> throughput_;
};

} // namespace

int Run_With_Ratios(int argc, char** argv,
                    const std::vector<std::pair<std::string, std::string>>& pairs)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    TRatio_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-40s %-40s %s\n", "figure", "reference", "figure time / reference time");
    for (const auto& [figure, reference] : pairs) {
        const double figure_speed = reporter.Throughput(figure);
        const double reference_speed = reporter.Throughput(reference);
        if (figure_speed > 0 && reference_speed > 0) {
            std::printf("%-40s %-40s %.2fx\n", figure.c_str(), reference.c_str(),
                        reference_speed / figure_speed);
        }
    }
    benchmark::Shutdown();
    return 0;
}

} // namespace plotvane::bench
