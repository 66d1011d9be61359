// Full template load (parse + walk into TTemplateList) of generated hot.ini files:
// our XML reader and walk against pugixml parsing the same bytes and walking them
// by the same rules into the same list. Prints bytes/s and the time ratio per size.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/result.h"
#include "bench/support/timing_reporter.h"
#include "engine/store/template_file.h"
#include "engine/store/template_loader.h"
#include "framework/core/convert.h"

namespace {

using quillan::TTemplateList;
using quillan::TTmpl;

// A file in the dialog's layout, written by our writer: ten templates per
// application, Cyrillic and Latin, multi-line, with entities to decode.
std::string MakeHotIni(int count) {
    std::vector<TTmpl> records(static_cast<size_t>(count));
    quillan::TTemplateTree tree;
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i);
        TTmpl& r = records[static_cast<size_t>(i)];
        r.MenuCaption = (i % 2 ? "Письмо " : "Reply & <copy> ") + n;
        r.TemplateText = "Здравствуйте, " + n +
                         "!\r\n\r\nif (a < b && c > \"d\") return 'x';\r\n"
                         "Best regards,\r\nС уважением, Иван  ";
        r.PointX = i % 3 ? i % 40 + 1 : 0;
        if (i % 10 == 0) tree.push_back({i % 20 == 0 ? "Общие" : "app" + n + ".exe", {}});
        tree.back().Templates.push_back(&r);
    }
    return quillan::BuildTemplateFile(tree);
}

const std::string& HotIni(int count) {
    static std::map<int, std::string> cache;
    auto it = cache.find(count);
    if (it == cache.end()) it = cache.emplace(count, MakeHotIni(count)).first;
    return it->second;
}

// pugixml's side of the walk. Value = first character-data child with its leading
// white space dropped, as our reader gives it (CR LF kept: parse_eol is off).
std::string PugiValue(const pugi::xml_node& node) {
    const char* text = node.child_value();
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n') ++text;
    return text;
}

void PugiWalk(const pugi::xml_node& element, TTemplateList& list, std::string& app) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const char* name = child.name();
        if (std::strcmp(name, "Templates") == 0) {
            PugiWalk(child, list, app);
        } else if (std::strcmp(name, "Application") == 0) {
            app = PugiValue(child);
        } else if (std::strcmp(name, "Template") == 0) {
            list.push_back(std::make_unique<TTmpl>());
            PugiWalk(child, list, app);
        } else if (list.empty()) {
            continue;
        } else if (std::strcmp(name, "MenuCaption") == 0) {
            list.back()->MenuCaption = PugiValue(child);
            list.back()->Application = app;
        } else if (std::strcmp(name, "ShortCut") == 0) {
            list.back()->ShortCut = PugiValue(child);
        } else if (std::strcmp(name, "TemplateText") == 0) {
            list.back()->TemplateText = PugiValue(child);
        } else if (std::strcmp(name, "NewLine") == 0) {
            list.back()->NewLine = PugiValue(child) == "1";
        } else if (std::strcmp(name, "PointX") == 0) {
            list.back()->PointX = quillan::StrToIntDef(PugiValue(child), -1);
        } else if (std::strcmp(name, "PointY") == 0) {
            list.back()->PointY = quillan::StrToIntDef(PugiValue(child), -1);
        }
    }
}

bool SameRecords(const TTemplateList& a, const TTemplateList& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const TTmpl& x = *a[i];
        const TTmpl& y = *b[i];
        if (x.MenuCaption != y.MenuCaption || x.Application != y.Application || x.ShortCut != y.ShortCut ||
            x.TemplateText != y.TemplateText || x.NewLine != y.NewLine || x.PointX != y.PointX || x.PointY != y.PointY)
            return false;
    }
    return true;
}

// Both loads must give the same records, or the comparison means nothing.
bool LoadsAgree(int count) {
    const std::string& text = HotIni(count);
    quillan::TSimpleXML xml;
    xml.LoadFromString(text);
    TTemplateList ours, theirs;
    std::string app;
    quillan::ReadTemplateElements(xml.Root(), ours, app);
    pugi::xml_document doc;
    doc.load_buffer(text.data(), text.size(), pugi::parse_default & ~pugi::parse_eol, pugi::encoding_utf8);
    app.clear();
    PugiWalk(doc.document_element(), theirs, app);
    return ours.size() == static_cast<size_t>(count) && SameRecords(ours, theirs);
}

void BM_QuillanLoad(benchmark::State& state) {
    const std::string& text = HotIni(static_cast<int>(state.range(0)));
    quillan::TSimpleXML xml;
    TTemplateList list;
    for (auto _ : state) {
        xml.LoadFromString(text);
        TTemplateList loaded;
        std::string app;
        quillan::ReadTemplateElements(xml.Root(), loaded, app);
        list.swap(loaded);
        benchmark::DoNotOptimize(list.data());
    }
    if (list.size() != static_cast<size_t>(state.range(0))) state.SkipWithError("wrong record count");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_PugixmlLoad(benchmark::State& state) {
    const std::string& text = HotIni(static_cast<int>(state.range(0)));
    pugi::xml_document doc;
    TTemplateList list;
    unsigned options = pugi::parse_default & ~pugi::parse_eol;
    for (auto _ : state) {
        // utf8 takes the bytes as they stand, as our reader does with cp1251.
        pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
        if (!result) state.SkipWithError(result.description());
        TTemplateList loaded;
        std::string app;
        PugiWalk(doc.document_element(), loaded, app);
        list.swap(loaded);
        benchmark::DoNotOptimize(list.data());
    }
    if (list.size() != static_cast<size_t>(state.range(0))) state.SkipWithError("wrong record count");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// Where our time goes: the reader's parse alone, and the walk over a parsed tree.
void BM_QuillanParseOnly(benchmark::State& state) {
    const std::string& text = HotIni(static_cast<int>(state.range(0)));
    quillan::TSimpleXML xml;
    for (auto _ : state) {
        xml.LoadFromString(text);
        benchmark::DoNotOptimize(&xml.Root());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_QuillanWalkOnly(benchmark::State& state) {
    const std::string& text = HotIni(static_cast<int>(state.range(0)));
    quillan::TSimpleXML xml;
    xml.LoadFromString(text);
    for (auto _ : state) {
        TTemplateList loaded;
        std::string app;
        quillan::ReadTemplateElements(xml.Root(), loaded, app);
        benchmark::DoNotOptimize(loaded.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_QuillanLoad)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_PugixmlLoad)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_QuillanParseOnly)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_QuillanWalkOnly)->Arg(100)->Arg(1000)->Arg(10000);

}  // namespace

// MB/s of both full loads and our time per load over pugixml's.
void PrintSummary(const quillan::bench::Timings& t) {
    if (!t.count("BM_QuillanLoad") || !t.count("BM_PugixmlLoad")) return;
    std::printf("\n%10s %10s %14s %14s %16s\n", "templates", "bytes", "ours MB/s", "pugixml MB/s", "ours/pugixml");
    for (const auto& [size, ours] : t.at("BM_QuillanLoad")) {
        auto it = t.at("BM_PugixmlLoad").find(size);
        if (it == t.at("BM_PugixmlLoad").end()) continue;
        size_t bytes = HotIni(static_cast<int>(size)).size();
        double mb = static_cast<double>(bytes) / 1e6;
        std::printf("%10lld %10zu %14.1f %14.1f %15.2fx\n", static_cast<long long>(size), bytes, mb / ours,
                    mb / it->second, ours / it->second);
        if (size == 1000) {
            quillan::bench::PrintResult("hot.ini load, 1000 templates", ours * 1e3, it->second * 1e3, "pugixml", "ms",
                                        "none set");
        }
    }
}

int main(int argc, char** argv) {
    if (!LoadsAgree(1000)) {
        std::fprintf(stderr, "the two loads give different records\n");
        return 1;
    }
    return quillan::bench::RunWithSummary(argc, argv, &PrintSummary);
}
