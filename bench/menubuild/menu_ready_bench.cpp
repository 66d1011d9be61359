// Time from a hotkey press to a menu ready to show: load hot.ini, remove the
// previous run-time items, build the item tree and turn it into an HMENU.
// A plain Windows program (run under Wine) that prints milliseconds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "components/xml/simple_xml.h"
#include "engine/menu/menu_build.h"
#include "engine/store/template_file.h"
#include "engine/store/template_loader.h"
#include "framework/core/file_io.h"

namespace quillan {
namespace {

constexpr int kApplications = 50;
constexpr int kRepeats = 15;

// count templates spread over 50 applications plus "Общие"; with commonEvery = 1
// every template is common, which makes the longest possible menu.
std::string WriteFile(const std::filesystem::path& folder, int count, int commonEvery) {
    std::vector<TTmpl> records(static_cast<size_t>(count));
    TTemplateTree tree(kApplications + 1);
    tree[0].Name = "Общие";
    for (int a = 1; a <= kApplications; ++a) tree[static_cast<size_t>(a)].Name = "app" + std::to_string(a) + ".exe";
    for (int i = 0; i < count; ++i) {
        TTmpl& t = records[static_cast<size_t>(i)];
        t.MenuCaption = "Шаблон номер " + std::to_string(i);
        t.TemplateText = "Текст шаблона " + std::to_string(i) + "\r\nвторая строка с <разметкой> & прочим";
        size_t app = i % commonEvery == 0 ? 0 : 1 + static_cast<size_t>(i % kApplications);
        tree[app].Templates.push_back(&t);
    }
    std::string path =
        (folder / ("hot-" + std::to_string(count) + "-" + std::to_string(commonEvery) + ".ini")).string();
    AtomicWriteFile(path, BuildTemplateFile(tree));
    return path;
}

struct TResult {
    double median;
    double best;
    double load;  // medians of the three steps
    double model;
    double hmenu;
    int items;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

TResult Measure(const std::string& path) {
    TSimpleXML xml;
    TTemplateList list;
    TPopupMenu menu;
    menu.Items().Add(std::make_unique<TMenuItem>("-", "Paste1"));
    menu.Items().Add(std::make_unique<TMenuItem>("Настройки", "N1"));
    std::string currentApp;
    std::vector<double> times, load, model, hmenu;
    int items = 0;
    for (int r = 0; r < kRepeats; ++r) {
        auto start = std::chrono::steady_clock::now();
        ClearTemplateMenu(menu);
        LoadTemplates(xml, path, list);
        auto loaded = std::chrono::steady_clock::now();
        BuildTemplateMenu(menu, list, currentApp, "APP7.EXE", [](TMenuItem&, const TTmpl&) {});
        auto modelled = std::chrono::steady_clock::now();
        TBuiltMenu built = menu.BuildMenu();
        items = GetMenuItemCount(built.Menu.get());
        auto stop = std::chrono::steady_clock::now();
        times.push_back(Ms(start, stop));
        load.push_back(Ms(start, loaded));
        model.push_back(Ms(loaded, modelled));
        hmenu.push_back(Ms(modelled, stop));
    }
    return {Median(times), *std::min_element(times.begin(), times.end()), Median(load), Median(model), Median(hmenu),
            items};
}

}  // namespace
}  // namespace quillan

int main() {
    using namespace quillan;
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillan-menu-bench";
    std::filesystem::create_directories(folder);
    std::printf("%-10s %-24s %6s %10s %8s %8s %8s %8s\n", "templates", "offered", "items", "median ms", "best", "load",
                "model", "HMENU");
    for (int count : {1000, 10000}) {
        const struct {
            int commonEvery;
            const char* label;
        } mixes[] = {{25, "1/50 + 1/25 common"}, {1, "all (every one common)"}};
        for (const auto& mix : mixes) {
            std::string path = WriteFile(folder, count, mix.commonEvery);
            TResult r = Measure(path);
            std::printf("%-10d %-24s %6d %10.2f %8.2f %8.2f %8.2f %8.2f\n", count, mix.label, r.items, r.median, r.best,
                        r.load, r.model, r.hmenu);
        }
    }
    std::filesystem::remove_all(folder);
    return 0;
}
