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
#include <vector>

#include "crash/capture/throw_site_win.h"
#include "crash/log/log_file.h"
#include "crash/options/carried_options.h"
#include "crash/options/current_options.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/application.h"
#include "framework/win/text.h"

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

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
    const double start = NowMs();
    for (int i = 0; i < count; ++i) {
        try {
            Depth1(i);
        } catch (const std::runtime_error&) {
            g_sink = g_sink + 1;
        }
    }
    return (NowMs() - start) * 1000.0 / count;
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
    std::vector<double> plain, recorded;
    ThrowRound(2000);  // warm up the unwinder's caches
    for (int round = 0; round < 15; ++round) {
        crash::SetThrowRecording(false);
        plain.push_back(ThrowRound(4000));
        crash::SetThrowRecording(true);
        recorded.push_back(ThrowRound(4000));
    }
    const double plainUs = Median(plain), recordedUs = Median(recorded);
    std::printf("throw caught at depth 5, median of 15 rounds of 4000:\n");
    std::printf("  without the throw-site record: %.3f us per throw\n", plainUs);
    std::printf("  with the throw-site record:    %.3f us per throw\n", recordedUs);
    std::printf("  record cost: %.3f us per throw (goal: at most 1 us)\n", recordedUs - plainUs);

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
        const double start = NowMs();
        win::Guarded([i] { FailInHandler(i); });
        times.push_back(NowMs() - start);
    }
    crash::TLogFile check;
    check.LoadFromBytes(ReadFileBytes(log));
    std::printf("exception to report appended (carried configuration, modules listed), 25 reports:\n");
    std::printf(
        "  median %.1f ms, first %.1f ms, best %.1f ms, worst %.1f ms; %d reports in the log (goal: under 50 ms)\n",
        Median(times), times.front(), *std::min_element(times.begin(), times.end()),
        *std::max_element(times.begin(), times.end()), check.Count());
    // The same with the modules and processes lists off (LogFlags bit 4).
    options.SetLogFlags(options.LogFlags() & ~crash::lfGatherModules);
    times.clear();
    for (int i = 25; i < 50; ++i) {
        const double start = NowMs();
        win::Guarded([i] { FailInHandler(i); });
        times.push_back(NowMs() - start);
    }
    std::printf("  without the modules list: median %.1f ms\n", Median(times));
    return check.Count() == 25 ? 0 : 1;
}
