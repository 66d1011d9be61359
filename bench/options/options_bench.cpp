// The options dialog's model work on opening a large hot.ini: the read into the
// model, the queries the form makes to show every node (text, next sibling, parent),
// the search for the program in front and the copy the dialog keeps to tell edits.
// Held against the one-second limit for 100,000 templates.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/support/result.h"
#include "bench/support/timing_reporter.h"
#include "engine/options/options_model.h"
#include "engine/store/template_file.h"
#include "framework/core/file_io.h"

namespace {

using quillan::TOptionsModel;
using quillan::TTmpl;

// A file in the dialog's own layout: ten templates per application.
std::string MakeHotIni(int count) {
    std::vector<TTmpl> records(static_cast<size_t>(count));
    quillan::TTemplateTree tree;
    for (int i = 0; i < count; ++i) {
        TTmpl& r = records[static_cast<size_t>(i)];
        r.MenuCaption = "Письмо " + std::to_string(i);
        r.TemplateText = "Здравствуйте!\r\n\r\nС уважением, Иван";
        if (i % 10 == 0) tree.push_back({i == 0 ? "Общие" : "app" + std::to_string(i) + ".exe", {}});
        tree.back().Templates.push_back(&r);
    }
    return quillan::BuildTemplateFile(tree);
}

const std::string& HotIniPath(int count) {
    static std::map<int, std::string> paths;
    auto it = paths.find(count);
    if (it != paths.end()) return it->second;
    std::string path = (std::filesystem::temp_directory_path() /
                        ("quillan-options-bench-" + std::to_string(count) + ".ini"))
                           .string();
    quillan::AtomicWriteFile(path, MakeHotIni(count));
    return paths.emplace(count, path).first->second;
}

void BM_DialogOpen(benchmark::State& state) {
    const std::string& path = HotIniPath(static_cast<int>(state.range(0)));
    size_t shown = 0;
    for (auto _ : state) {
        quillan::TSimpleXML xml;
        TOptionsModel model;
        model.Load(xml, path);
        shown = 0;
        for (quillan::TNodeId id : model.Nodes()) {
            shown += model.TextOf(id).size();
            benchmark::DoNotOptimize(model.NextSibling(id));
            benchmark::DoNotOptimize(model.ParentOf(id));
        }
        benchmark::DoNotOptimize(model.Find("notepad.exe"));
        std::string copy = quillan::BuildTemplateFile(quillan::TreeForSaving(model.Tree()));
        benchmark::DoNotOptimize(copy.data());
    }
    if (shown == 0) state.SkipWithError("nothing shown");
}

BENCHMARK(BM_DialogOpen)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

void PrintSummary(const quillan::bench::Timings& t) {
    if (!t.count("BM_DialogOpen")) return;
    for (const auto& [size, seconds] : t.at("BM_DialogOpen")) {
        std::printf("%8lld templates: %.1f ms of model work\n", static_cast<long long>(size), seconds * 1e3);
        if (size == 100000)
            quillan::bench::PrintResult("options dialog opening, model work, 100000 templates", seconds * 1e3, 1000,
                                        "limit", "ms", "under the limit");
    }
}

}  // namespace

int main(int argc, char** argv) { return quillan::bench::RunWithSummary(argc, argv, &PrintSummary); }
