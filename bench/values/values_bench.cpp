// A clipboard-snapshot-shaped save and restore through TValueWriter/TValueReader
// into a fresh TMemoryStream, against two plain memcpy calls of the same bytes.
// Prints bytes/s for both and the time ratio per payload size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/result.h"
#include "bench/support/timing_reporter.h"
#include "framework/core/streams.h"
#include "framework/values/value_stream.h"

namespace {

const std::vector<uint8_t>& Payload(int64_t size) {
    static std::map<int64_t, std::vector<uint8_t>> cache;
    auto it = cache.find(size);
    if (it == cache.end()) {
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 12));
        it = cache.emplace(size, std::move(bytes)).first;
    }
    return it->second;
}

// One entry as the snapshot writes it: id, name, size, bytes, inside a list.
void Save(const std::vector<uint8_t>& payload, quillan::TMemoryStream& stream) {
    quillan::TValueWriter writer(stream);
    writer.WriteListBegin();
    writer.WriteInteger(int32_t{49161});
    writer.WriteString("Rich Text Format");
    writer.WriteInteger(static_cast<int64_t>(payload.size()));
    writer.Write(payload.data(), payload.size());
    writer.WriteListEnd();
    writer.Flush();
}

void Restore(quillan::TMemoryStream& stream, quillan::TMemoryStream& data) {
    stream.SetPosition(0);
    quillan::TValueReader reader(stream);
    reader.ReadListBegin();
    while (!reader.EndOfList()) {
        benchmark::DoNotOptimize(reader.ReadInteger());
        benchmark::DoNotOptimize(reader.ReadString());
        int64_t size = reader.ReadInt64();
        data.SetSize(size);
        reader.Read(data.Memory(), static_cast<size_t>(size));
    }
    reader.ReadListEnd();
}

void BM_ValueStream(benchmark::State& state) {
    const std::vector<uint8_t>& payload = Payload(state.range(0));
    for (auto _ : state) {
        quillan::TMemoryStream stream;  // a paste makes a new stream each time
        quillan::TMemoryStream data;
        Save(payload, stream);
        Restore(stream, data);
        benchmark::DoNotOptimize(data.Memory());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Memcpy(benchmark::State& state) {
    const std::vector<uint8_t>& payload = Payload(state.range(0));
    std::vector<uint8_t> saved(payload.size());
    std::vector<uint8_t> restored(payload.size());
    for (auto _ : state) {
        std::memcpy(saved.data(), payload.data(), payload.size());
        benchmark::ClobberMemory();
        std::memcpy(restored.data(), saved.data(), saved.size());
        benchmark::DoNotOptimize(restored.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same two copies into memory allocated for each run, as a snapshot must do:
// the cost of first touching new pages is part of any copy of the clipboard.
void BM_MemcpyFresh(benchmark::State& state) {
    const std::vector<uint8_t>& payload = Payload(state.range(0));
    for (auto _ : state) {
        std::unique_ptr<uint8_t[]> saved(new uint8_t[payload.size()]);
        std::memcpy(saved.get(), payload.data(), payload.size());
        benchmark::ClobberMemory();
        std::unique_ptr<uint8_t[]> restored(new uint8_t[payload.size()]);
        std::memcpy(restored.get(), saved.get(), payload.size());
        benchmark::DoNotOptimize(restored.get());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

constexpr int64_t kMB = 1 << 20;
BENCHMARK(BM_ValueStream)->Arg(kMB)->Arg(50 * kMB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Arg(kMB)->Arg(50 * kMB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFresh)->Arg(kMB)->Arg(50 * kMB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The value stream's CPU time divided by each memcpy's.
    return quillan::bench::RunWithSummary(argc, argv, [](const quillan::bench::Timings& t) {
        if (!t.count("BM_ValueStream")) return;
        for (const char* baseline : {"BM_Memcpy", "BM_MemcpyFresh"}) {
            if (!t.count(baseline)) continue;
            for (const auto& [size, ours] : t.at("BM_ValueStream")) {
                auto it = t.at(baseline).find(size);
                if (it == t.at(baseline).end() || it->second <= 0) continue;
                std::printf("ratio value stream / %s, %lld MB: %.2f\n", baseline + 3,
                            static_cast<long long>(size / kMB), ours / it->second);
                if (size == 50 * kMB && std::string(baseline) == "BM_MemcpyFresh") {
                    quillan::bench::PrintResult("value stream, 50 MB", ours * 1e3, it->second * 1e3,
                                                "memcpy into new memory", "ms", "none set");
                }
            }
        }
    });
}
