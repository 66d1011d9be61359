// Line tables shaped like the program's (about 7,000 unit entries over 300 KB of code, names of
// its lengths): the first lookup (inflate and index) and the resolution of one address.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "crash/moduledata/line_table_writer.h"
#include "crash/moduledata/line_tables.h"
#include "crash/moduledata/module_block.h"
#include "crash/moduledata/module_data_format.h"

namespace quillan::crash {
namespace {

const TTeaChain kChain(TeaKeyFromPassword("bench"), kNameChainStart);

// Ranges of 1 to 24 bytes whose lines wander back and forth as optimised code's do.
const std::string& Block() {
    static const std::string block = [] {
        TLineTableInput in;
        for (int f = 0; f < 90; ++f)
            in.Files.push_back("components/area" + std::to_string(f % 9) + "/file_" + std::to_string(f) + ".cpp");
        for (int p = 0; p < 1200; ++p) {
            in.Procedures.push_back(
                {p % 3 ? "quillan::TSomeClass" + std::to_string(p % 40) : "", "Procedure" + std::to_string(p), 0});
        }
        std::mt19937 random(7);
        std::uint32_t at = 0;
        int procedure = 0;
        std::uint32_t line = 10;
        for (int i = 0; i < 40000; ++i) {
            if (random() % 12 == 0) {
                procedure = static_cast<int>(random() % 1200);
                line = 10 + random() % 2000;
            }
            line = random() % 4 == 0 ? line - std::min<std::uint32_t>(line - 1, random() % 6) : line + random() % 3;
            const std::uint32_t size = 1 + random() % 24;
            in.Ranges.push_back({at, at + size, static_cast<std::uint32_t>(procedure % 90), line, procedure});
            at += size;
        }
        TModuleBlockParts parts;
        parts.LineTables = BuildLineTables(in, TNameEncoder(kChain));
        return WriteResourceBlock(parts);
    }();
    return block;
}

void BM_FirstLookup(benchmark::State& state) {
    for (auto _ : state) {
        TModuleBlock block;
        ReadResourceBlock(Block(), block);
        TLineTables tables(std::move(block.LineTables), TNameDecoder(block.Version, kChain, 0));
        benchmark::DoNotOptimize(tables.UnitCount());
    }
}
BENCHMARK(BM_FirstLookup)->Unit(benchmark::kMillisecond);

void BM_ResolveOneAddress(benchmark::State& state) {
    TModuleBlock block;
    ReadResourceBlock(Block(), block);
    const TLineTables tables(std::move(block.LineTables), TNameDecoder(block.Version, kChain, 0));
    std::mt19937 random(3);
    TLineLocation at;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tables.Resolve(random() % 500000, at));
    }
    state.counters["units"] = static_cast<double>(tables.UnitCount());
}
BENCHMARK(BM_ResolveOneAddress)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillan::crash

BENCHMARK_MAIN();
