// (1) Adding one report to an error log of 300 reports of about 8 KB (read, limit, duplicate
// check, atomic save), beside reading and writing the same bytes with plain stdio calls, with and
// without a flush to the disk. (2) Building one report text from 40 stack entries and 30 modules.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/support/result.h"
#include "bench/support/timing_reporter.h"
#include "crash/log/log_file.h"
#include "crash/options/options.h"
#include "crash/report/date_text.h"
#include "crash/report/report_text.h"
#include "framework/core/file_io.h"

namespace {

using namespace quillan::crash;

TReportContext MakeContext(const TMishapModuleOptions& options, int seed, int entries, int modules) {
    TReportContext context;
    context.Options = &options;
    context.Layout = &kLayout32;
    for (size_t i = 0; i < context.Values.Values.size(); ++i) context.Values.Values[i] = "value " + std::to_string(i);
    context.Values[TReportItem::ExceptionAddress] = HexText(0x401000u + static_cast<unsigned>(seed), 8);
    context.Values[TReportItem::ExceptionMessage] = "Access violation at address " + std::to_string(seed) +
                                                    ".\r\nRead of address 00000000: in module 'quillan.exe'.";
    for (int i = 0; i < entries; ++i) {
        TMishapStackEntry e;
        e.Kind = i % 5 == 4 ? TStackKind::PlainExport : TStackKind::LineTable;
        e.ThreadId = i < entries / 2 ? 100 : 200 + static_cast<uint32_t>(i % 3);
        e.RunningThread = e.ThreadId == 201;
        e.Address = 0x401000u + static_cast<unsigned>(i * 0x37);
        e.ModuleFile = i % 5 == 4 ? "C:\\Windows\\system32\\user32.dll" : "C:\\Program Files\\Quillan\\quillan.exe";
        e.UnitName = "Unit" + std::to_string(i % 7);
        e.ClassName = i % 3 ? "TClass" + std::to_string(i) : "";
        e.ProcedureName = "Procedure" + std::to_string(i);
        e.Line = i % 4 ? 100 + i : 0;
        e.LineOffset = i % 6;
        context.Stack.push_back(e);
    }
    context.Threads = {{100, "0", "", true}, {200, "1", "TWorker", false}, {201, "2", "TExceptionThread", false}};
    for (int i = 0; i < modules; ++i) {
        context.Modules.push_back({0x10000000u + static_cast<unsigned>(i) * 0x100000u,
                                   "C:\\Windows\\system32\\module" + std::to_string(i) + ".dll",
                                   "Description of module " + std::to_string(i), "6.1.7601." + std::to_string(i),
                                   123456u + static_cast<unsigned>(i), EncodeDateTime(2010, 11, 20, 12, 19, i)});
    }
    context.Cpu.HasRegisters = true;
    context.Cpu.HasDump = true;
    return context;
}

struct LogFixture {
    std::string folder;
    std::string path;
    std::string bytes;
    std::string newReport;
    LogFixture() {
        folder =
            (std::filesystem::temp_directory_path() / ("crashlog-bench-" + std::to_string(getpid()))).string() + "/";
        std::filesystem::create_directories(folder);
        path = folder + "quillan.mlf";
        TMishapModuleOptions options;
        TLogFile log;
        log.LoadFromBytes("");
        for (int i = 0; i < 300; ++i) log.Add(BuildReportText(MakeContext(options, i, 24, 14)), 300);
        bytes = log.Bytes();
        newReport = BuildReportText(MakeContext(options, 1000, 24, 14));
    }
    ~LogFixture() { std::filesystem::remove_all(folder); }
    void Reset() const {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
};

const LogFixture& Fixture() {
    static LogFixture fixture;
    return fixture;
}

void BM_LogAppend(benchmark::State& state) {
    const LogFixture& f = Fixture();
    f.Reset();
    for (auto _ : state) {
        TLogFile log;
        log.Open(f.path, {}, 300);
        bool duplicate = log.IsDuplicateOf(f.newReport);
        benchmark::DoNotOptimize(duplicate);
        log.Add(f.newReport, 300);
        log.Save();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void PlainReadWrite(benchmark::State& state, bool flush) {
    const LogFixture& f = Fixture();
    f.Reset();
    for (auto _ : state) {
        // A fresh buffer each time, as one append in a crashing program has.
        std::string buffer;
        FILE* in = std::fopen(f.path.c_str(), "rb");
        std::fseek(in, 0, SEEK_END);
        buffer.resize(static_cast<size_t>(std::ftell(in)));
        std::fseek(in, 0, SEEK_SET);
        size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        std::fclose(in);
        FILE* out = std::fopen(f.path.c_str(), "wb");
        std::fwrite(buffer.data(), 1, got, out);
        if (flush) {
            std::fflush(out);
            fsync(fileno(out));
        }
        std::fclose(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_PlainIo(benchmark::State& state) { PlainReadWrite(state, false); }
void BM_PlainIoFlushed(benchmark::State& state) { PlainReadWrite(state, true); }

void BM_ReportText(benchmark::State& state) {
    TMishapModuleOptions options;
    TReportContext context = MakeContext(options, 1, 40, 30);
    size_t size = 0;
    for (auto _ : state) {
        std::string text = BuildReportText(context);
        size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(size);
}

// Arg 300: the number of stored reports; arg 40: the number of stack entries.
BENCHMARK(BM_LogAppend)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainIo)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainIoFlushed)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportText)->Arg(40)->Unit(benchmark::kMicrosecond);

void PrintSummary(const quillan::bench::Timings& t, const quillan::bench::Timings& wall) {
    auto from = [](const quillan::bench::Timings& times, const char* name, int64_t arg) {
        auto it = times.find(name);
        return it == times.end() || !it->second.count(arg) ? 0.0 : it->second.at(arg);
    };
    auto get = [&](const char* name, int64_t arg) { return from(t, name, arg); };
    double append = get("BM_LogAppend", 300), plain = get("BM_PlainIo", 300);
    double flushed = get("BM_PlainIoFlushed", 300), text = get("BM_ReportText", 40);
    std::printf(
        "\nlog of 300 reports (%zu bytes): append %.2f ms, plain read+write %.2f ms (ratio %.2f), "
        "plain read+write+flush %.2f ms (ratio %.2f)\n",
        Fixture().bytes.size(), append * 1e3, plain * 1e3, plain > 0 ? append / plain : 0.0, flushed * 1e3,
        flushed > 0 ? append / flushed : 0.0);
    // The append ends with a flush to the disk, whose cost is waiting, not CPU.
    double appendWall = from(wall, "BM_LogAppend", 300), flushedWall = from(wall, "BM_PlainIoFlushed", 300);
    std::printf("wall time with the flush: append %.2f ms, plain read+write+flush %.2f ms (ratio %.2f)\n",
                appendWall * 1e3, flushedWall * 1e3, flushedWall > 0 ? appendWall / flushedWall : 0.0);
    std::printf("report text from 40 stack entries and 30 modules: %.1f us (goal under 1000 us)\n", text * 1e6);
    using quillan::bench::PrintResult;
    PrintResult("log append, 300 reports, CPU", append * 1e3, flushed * 1e3, "plain read+write+flush", "ms",
                "at most 2x");
    PrintResult("log append, 300 reports, wall with the flush", appendWall * 1e3, flushedWall * 1e3,
                "plain read+write+flush", "ms", "at most 2x");
    PrintResult("report text, 40 entries and 30 modules", text * 1e6, 1000, "limit", "us", "under the limit");
}

}  // namespace

int main(int argc, char** argv) { return quillan::bench::RunWithSummary(argc, argv, &PrintSummary); }
