// The crash reporter's costs:
//  1. a C++ throw caught five calls up, with the throw-site record (registers, stack pointer,
//     raise address, a copy of the stack above the throw) and without it, side by side in one run;
//  2. from an exception to its report appended to the log, through the application's exception
//     handling with the configuration the program carries (log only).
// Usage: capture_bench.exe [folder for the log]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "crash/capture/throw_site_win.h"
#include "crash/log/log_file.h"
#include "crash/options/carried_options.h"
#include "crash/options/current_options.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"
#include "bench/support/clock.h"
#include "bench/support/result.h"

namespace {

volatile int g_sink = 0;

[[gnu::noinline]] void Depth5(int n) {
    if (n >= 0) throw std::runtime_error("depth 5");
}
[[gnu::noinline]] void Depth4(int n) {
    Depth5(n + 1);
    g_sink = g_sink + 1;
}
[[gnu::noinline]] void Depth3(int n) {
    Depth4(n + 1);
    g_sink = g_sink + 1;
}
[[gnu::noinline]] void Depth2(int n) {
    Depth3(n + 1);
    g_sink = g_sink + 1;
}
[[gnu::noinline]] void Depth1(int n) {
    Depth2(n + 1);
    g_sink = g_sink + 1;
}

// Microseconds per throw over count throws caught at depth 0.
double ThrowRound(int count) {
    const double start = quillan::bench::MonotonicMs();
    for (int i = 0; i < count; ++i) {
        try {
            Depth1(i);
        } catch (const std::runtime_error&) {
            g_sink = g_sink + 1;
        }
    }
    return (quillan::bench::MonotonicMs() - start) * 1000.0 / count;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

[[gnu::noinline]] void FailInHandler(int n) { throw quillan::Exception("Report number " + std::to_string(n) + "."); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace quillan;
    // 1. The throw, recorded and not, in alternating rounds.
    // Paired rounds, so that the machine's drift falls on both sides of each difference.
    std::vector<double> plain, recorded, difference;
    ThrowRound(2000);  // warm up the unwinder's caches
    for (int round = 0; round < 201; ++round) {
        // Which side goes first alternates, so that neither gains from the other's warm caches.
        for (int side = 0; side < 2; ++side) {
            const bool record = (side + round) % 2 == 1;
            crash::SetThrowRecording(record);
            (record ? recorded : plain).push_back(ThrowRound(250));
        }
        difference.push_back(recorded.back() - plain.back());
    }
    crash::SetThrowRecording(true);
    const double plainUs = Median(plain), recordedUs = Median(recorded);
    size_t copied = 0;
    try {
        Depth1(0);
    } catch (const std::runtime_error& e) {
        crash::TThrowRecord record;
        if (crash::FindThrowRecord(&e, &typeid(e), record) && record.Stack) copied = record.Stack->size();
    }
    std::printf("throw caught at depth 5, 201 paired rounds of 250 throws:\n");
    // The best round of each side is the one the machine disturbed least.
    const double bestPlain = *std::min_element(plain.begin(), plain.end());
    const double bestRecorded = *std::min_element(recorded.begin(), recorded.end());
    std::printf("  without the throw-site record: median %.3f us, best %.3f us per throw\n", plainUs, bestPlain);
    std::printf("  with the throw-site record:    median %.3f us, best %.3f us per throw\n", recordedUs, bestRecorded);
    std::printf(
        "  record cost per throw: %.3f us between the best rounds, %.3f us median of the paired differences "
        "(goal: at most 1 us); %zu bytes of stack copied per throw\n",
        bestRecorded - bestPlain, Median(difference), copied);
    quillan::bench::PrintResult("throw-site record, cost per throw", Median(difference), 1, "limit", "us",
                                "at most the limit");

    // 2. From the exception to its report in the log (the carried configuration).
    std::string folder = argc > 1 ? win::Narrow(argv[1]) : ".";
    if (folder.back() != '\\') folder += '\\';
    crash::TMishapModuleOptionsEx& options = crash::CurrentMishapLogOptions();
    crash::ApplyCarriedOptions(options);
    options.SetOutputPath(folder);
    const std::string log = folder + "capture_bench.mlf";
    RemoveFile(log);
    std::vector<double> times;
    for (int i = 0; i < 25; ++i) {
        const double start = quillan::bench::MonotonicMs();
        win::Guarded([i] { FailInHandler(i); });
        times.push_back(quillan::bench::MonotonicMs() - start);
    }
    crash::TLogFile check;
    check.LoadFromBytes(ReadFileBytes(log));
    std::printf("exception to report appended (carried configuration, modules listed), 25 reports:\n");
    std::printf(
        "  median %.1f ms, first %.1f ms, best %.1f ms, worst %.1f ms; %d reports in the log (goal: under 50 ms)\n",
        Median(times), times.front(), *std::min_element(times.begin(), times.end()),
        *std::max_element(times.begin(), times.end()), check.Count());
    quillan::bench::PrintResult("exception to report in the log", Median(times), 50, "limit", "ms", "under the limit");
    // The same with the modules and processes lists off (LogFlags bit 4).
    options.SetLogFlags(options.LogFlags() & ~crash::lfGatherModules);
    times.clear();
    for (int i = 25; i < 50; ++i) {
        const double start = quillan::bench::MonotonicMs();
        win::Guarded([i] { FailInHandler(i); });
        times.push_back(quillan::bench::MonotonicMs() - start);
    }
    std::printf("  without the modules list: median %.1f ms\n", Median(times));
    return check.Count() == 25 ? 0 : 1;
}
