// Full load of generated hot.ini files: TSimpleXML against pugixml on the same bytes.
// Prints bytes/s for both and the time ratio per file size.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "components/xml/simple_xml.h"

namespace {

// A template file of the given number of templates in the options dialog's layout: ten
// templates per application, Cyrillic and Latin text, multi-line values and entities.
std::string MakeHotIni(int templates) {
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n";
    for (int i = 0; i < templates; ++i) {
        std::string n = std::to_string(i);
        if (i % 10 == 0) {
            if (i > 0) out += " </Templates>\r\n";
            out += " <Templates>\r\n  <Application>" + (i % 20 == 0 ? "Общие" : "app" + n + ".exe") +
                   "</Application>\r\n";
        }
        out += "   <Template>\r\n";
        out += "    <MenuCaption>Шаблон " + n + " &amp; &quot;copy&quot;</MenuCaption>\r\n";
        out += "    <TemplateText>Здравствуйте, " + n + "!\r\nif (a &lt; b &amp;&amp; c &gt; d) {\r\n" +
               "    return &apos;x&apos;;\r\n}\r\nС уважением,  </TemplateText>\r\n";
        out += "    <PointX>" + std::to_string(i % 40 + 1) + "</PointX>\r\n";
        out += "    <PointY>" + std::to_string(i % 5 + 1) + "</PointY>\r\n";
        out += "   </Template>\r\n";
    }
    if (templates > 0) out += " </Templates>\r\n";
    return out + "</HOT>\r\n";
}

const std::string& HotIni(int templates) {
    static std::map<int, std::string> cache;
    auto it = cache.find(templates);
    if (it == cache.end()) it = cache.emplace(templates, MakeHotIni(templates)).first;
    return it->second;
}

void BM_SimpleXML(benchmark::State& state) {
    const std::string& text = HotIni(static_cast<int>(state.range(0)));
    quillan::TSimpleXML xml;
    for (auto _ : state) {
        xml.LoadFromString(text);
        benchmark::DoNotOptimize(xml.Root().Items().Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_Pugixml(benchmark::State& state) {
    const std::string& text = HotIni(static_cast<int>(state.range(0)));
    pugi::xml_document doc;
    for (auto _ : state) {
        pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
        if (!result) state.SkipWithError(result.description());
        benchmark::DoNotOptimize(doc.first_child());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_SimpleXML)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_Pugixml)->Arg(100)->Arg(1000)->Arg(10000);

// Console output as usual, then our CPU time per load divided by pugixml's for each size
// (CPU time: the build machine is shared, wall time there is mostly waiting).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            std::string name = run.run_name.str();
            size_t slash = name.find('/');
            if (slash == std::string::npos) continue;
            double perLoad = run.GetAdjustedCPUTime();
            (name.compare(0, slash, "BM_SimpleXML") == 0 ? ours_ : theirs_)[name.substr(slash + 1)] = perLoad;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [size, ours] : ours_) {
            auto it = theirs_.find(size);
            if (it == theirs_.end() || it->second <= 0) continue;
            std::printf("ratio TSimpleXML/pugixml, %s templates (%zu bytes): %.2f\n", size.c_str(),
                        HotIni(std::stoi(size)).size(), ours / it->second);
        }
    }

private:
    std::map<std::string, double> ours_;
    std::map<std::string, double> theirs_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
