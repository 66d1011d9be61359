// Full load of generated hot.ini files: TSimpleXML against pugixml on the same bytes.
// Prints bytes/s for both and the time ratio per file size.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "bench/support/result.h"
#include "bench/support/timing_reporter.h"
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
            out +=
                " <Templates>\r\n  <Application>" + (i % 20 == 0 ? "Общие" : "app" + n + ".exe") + "</Application>\r\n";
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

}  // namespace

int main(int argc, char** argv) {
    // Our time per load divided by pugixml's, for each size.
    return quillan::bench::RunWithSummary(argc, argv, [](const quillan::bench::Timings& t) {
        if (!t.count("BM_SimpleXML") || !t.count("BM_Pugixml")) return;
        for (const auto& [size, ours] : t.at("BM_SimpleXML")) {
            auto it = t.at("BM_Pugixml").find(size);
            if (it == t.at("BM_Pugixml").end() || it->second <= 0) continue;
            std::printf("ratio TSimpleXML/pugixml, %lld templates (%zu bytes): %.2f\n", static_cast<long long>(size),
                        HotIni(static_cast<int>(size)).size(), ours / it->second);
            if (size == 1000) {
                quillan::bench::PrintResult("XML parse, 1000 templates", ours * 1e3, it->second * 1e3, "pugixml",
                                            "ms", "none set");
            }
        }
    });
}
