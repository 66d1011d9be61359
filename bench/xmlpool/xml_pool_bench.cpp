// Load and free of template files through the element pool (xml_pool_bench) or the heap alone
// (xml_heap_bench, the same code with the pool stepping aside): median milliseconds per load at
// sizes from a small file to the 10,000-template one. Given the heap run's figure for 1,000
// templates, the pool run prints the two side by side.
//   xml_heap_bench.exe            prints "heap 1000: <ms>" among its lines
//   xml_pool_bench.exe [<ms>]     the same for the pool, and the bench-result line against <ms>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/result.h"
#include "components/xml/simple_xml.h"

namespace {

#ifdef QUILLAN_XML_HEAP_ONLY
constexpr const char* kName = "heap";
#else
constexpr const char* kName = "pool";
#endif

// Ten templates per application, multi-line texts with entities, as the options dialog writes them.
std::string MakeHotIni(int templates) {
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n";
    for (int i = 0; i < templates; ++i) {
        std::string n = std::to_string(i);
        if (i % 10 == 0) {
            if (i > 0) out += " </Templates>\r\n";
            out += " <Templates>\r\n  <Application>" + (i % 20 == 0 ? std::string("Common") : "app" + n + ".exe") +
                   "</Application>\r\n";
        }
        out += "   <Template>\r\n    <MenuCaption>Template " + n + " &amp; &quot;copy&quot;</MenuCaption>\r\n";
        out += "    <TemplateText>Hello, " + n + "!\r\nif (a &lt; b &amp;&amp; c &gt; d) {\r\n" +
               "    return &apos;x&apos;;\r\n}\r\nRegards,  </TemplateText>\r\n";
        out += "    <PointX>" + std::to_string(i % 40 + 1) + "</PointX>\r\n    <PointY>" + std::to_string(i % 5 + 1) +
               "</PointY>\r\n   </Template>\r\n";
    }
    if (templates > 0) out += " </Templates>\r\n";
    return out + "</HOT>\r\n";
}

// Median of seven rounds, each the mean of reps loads and frees.
double MedianMs(const std::string& text, int reps) {
    std::vector<double> rounds;
    for (int round = 0; round < 7; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < reps; ++i) {
            quillan::TSimpleXML xml;
            xml.LoadFromString(text);
            xml.Release();
        }
        rounds.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
                         reps);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[3];
}

}  // namespace

int main(int argc, char** argv) {
    double at1000 = 0;
    for (int templates : {30, 100, 1000, 10000}) {
        const double ms = MedianMs(MakeHotIni(templates), templates <= 100 ? 1000 : 100000 / templates);
        std::printf("%s %d: %.3f ms per load and free\n", kName, templates, ms);
        if (templates == 1000) at1000 = ms;
    }
    if (argc > 1 && std::atof(argv[1]) > 0)
        quillan::bench::PrintResult("XML load and free, 1000 templates", at1000, std::atof(argv[1]), "heap alone", "ms",
                                    "below the heap");
    return 0;
}
