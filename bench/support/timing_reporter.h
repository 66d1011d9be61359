// Console output as usual, plus the CPU time of each benchmark and argument (the
// median when repetitions are asked for), handed to a summary printed at the end.
// CPU time: the build machine is shared, so wall time there is partly waiting.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillan::bench {

// Seconds of CPU time per iteration, by benchmark name, then by its argument.
using Timings = std::map<std::string, std::map<int64_t, double>>;

class TimingReporter : public benchmark::ConsoleReporter {
public:
    explicit TimingReporter(std::function<void(const Timings&)> summary) : summary_(std::move(summary)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            std::string name = run.run_name.str();
            size_t slash = name.find('/');
            if (slash == std::string::npos) continue;
            double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            timings_[name.substr(0, slash)][std::stoll(name.substr(slash + 1))] = seconds;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (summary_) summary_(timings_);
    }

private:
    std::function<void(const Timings&)> summary_;
    Timings timings_;
};

// Runs the registered benchmarks with a TimingReporter; the body of main().
inline int RunWithSummary(int argc, char** argv, std::function<void(const Timings&)> summary) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TimingReporter reporter(std::move(summary));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace quillan::bench
