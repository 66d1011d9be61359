// Console output as usual, plus the CPU time of each benchmark and argument (the
// median when repetitions are asked for), handed to a summary printed at the end.
// CPU time: the build machine is shared, so wall time there is partly waiting. The wall
// time is kept beside it for the measures whose cost is waiting (a flush to the disk).
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

using Summary = std::function<void(const Timings& cpu, const Timings& wall)>;

class TimingReporter : public benchmark::ConsoleReporter {
public:
    explicit TimingReporter(Summary summary) : summary_(std::move(summary)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            std::string name = run.run_name.str();
            size_t slash = name.find('/');
            if (slash == std::string::npos) continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string base = name.substr(0, slash);
            const int64_t arg = std::stoll(name.substr(slash + 1));
            timings_[base][arg] = run.GetAdjustedCPUTime() / unit;
            wall_[base][arg] = run.GetAdjustedRealTime() / unit;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (summary_) summary_(timings_, wall_);
    }

private:
    Summary summary_;
    Timings timings_;
    Timings wall_;
};

// Runs the registered benchmarks with a TimingReporter; the body of main().
inline int RunWithSummary(int argc, char** argv, Summary summary) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TimingReporter reporter(std::move(summary));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

inline int RunWithSummary(int argc, char** argv, std::function<void(const Timings& cpu)> summary) {
    return RunWithSummary(argc, argv, Summary([summary](const Timings& cpu, const Timings&) { summary(cpu); }));
}

}  // namespace quillan::bench
