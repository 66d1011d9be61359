// Under Wine: the first lookup of a module (find the resource, inflate, load the options, check
// the password, index the line tables) and the resolution of one address afterwards: this
// program's own module (it carries its block like Quillan.exe does), or Quillan.exe itself.
// Prints medians.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <cstdio>
#include <vector>

#include "crash/moduledata/module_block.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/moduledata/module_password.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/modules_platform_win.h"

extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    return quillan::crash::SupplyPassword(quillan::crash::kProgramModuleDataPassword, buffer, size);
}

namespace {

using Clock = std::chrono::steady_clock;
using namespace quillan::crash;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// On a busy machine the median of a step longer than a scheduler slice counts other processes'
// time too; the fastest round is the step's own time.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

constexpr int kCpuRounds = 200;

double ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

// Times the first lookup of module (a new modules list each round) and the resolution of
// addresses in it afterwards (address, or the middle of its middle unit entry when 0).
bool Measure(TAddress module, TAddress address, const char* name) {
    TProcessModulePlatform platform;
    std::vector<double> first, resolve;
    size_t units = 0;
    bool deciphered = false;
    for (int round = 0; round < 21; ++round) {
        TMishapModulesList list(platform);
        // A module without the password export gets the program's password from the global event.
        list.SetPasswordRequestEvent([](TAddress, std::string& password) {
            password = kProgramModuleDataPassword;
            return true;
        });
        const auto t0 = Clock::now();
        auto entry = list.FindByHandle(module);
        const auto t1 = Clock::now();
        first.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (!entry || entry->Lines.Empty()) return false;
        units = entry->Lines.UnitCount();
        deciphered = entry->Deciphered;
        if (address == 0) {
            const TUnitInfo unit = entry->Lines.UnitAt(units / 2);
            address = module + kCodeOffsetBase + unit.StartOffset + unit.CodeSize / 2;
        }
        TMishapStackEntry e;
        const int n = 2000;
        const auto t2 = Clock::now();
        for (int i = 0; i < n; ++i) list.Resolve(address + (i % 7), e);
        const auto t3 = Clock::now();
        resolve.push_back(std::chrono::duration<double, std::micro>(t3 - t2).count() / n);
    }
    // The processor time of the lookups alone, which other processes on a busy machine do not
    // inflate (the thread times count in clock ticks, so many lookups are timed together).
    std::deque<TMishapModulesList> lists;
    for (int round = 0; round < kCpuRounds; ++round) lists.emplace_back(platform);
    const double cpu0 = ThreadCpuMs();
    for (TMishapModulesList& list : lists) {
        list.SetPasswordRequestEvent([](TAddress, std::string& password) {
            password = kProgramModuleDataPassword;
            return true;
        });
        list.FindByHandle(module);
    }
    const double cpu = (ThreadCpuMs() - cpu0) / kCpuRounds;
    std::printf(
        "%s: first lookup %.3f ms median, %.3f ms fastest of 21, %.3f ms processor time (%zu unit entries, "
        "names %s); resolve one address afterwards %.2f us median, %.2f us fastest\n",
        name, Median(first), Fastest(first), cpu, units, deciphered ? "deciphered" : "not deciphered", Median(resolve),
        Fastest(resolve));
    return true;
}

// Where the first lookup's time goes: each call to the system, and the reading of the block.
void MeasureSteps(TAddress module) {
    TProcessModulePlatform platform;
    std::string path;
    platform.ModuleFileName(module, path);
    std::vector<double> state, version, resource, shared, password, reading, exports;
    auto time = [](std::vector<double>& into, auto&& step) {
        const auto t0 = Clock::now();
        step();
        into.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    };
    for (int round = 0; round < 21; ++round) {
        std::string bytes, v, d;
        time(state, [&] { platform.FileState(path); });
        time(version, [&] { platform.VersionInfo(path, v, d); });
        time(resource, [&] { platform.ResourceBlock(module, bytes); });
        TMishapModuleOptions options;
        time(shared, [&] { platform.OverlaySharedOptions(module, options); });
        time(password, [&] { platform.ExportedPassword(module); });
        time(exports, [&] {
            ReadExportedFunctions(platform.Memory(), module,
                                  [&](const std::string& export_) { return platform.ProcAddress(module, export_); });
        });
        time(reading, [&] {
            TModuleBlock block;
            ReadResourceBlock(bytes, block);
            options.LoadFromBytes(block.Options, block.Version);
            TLineTables tables(block.LineTables, TNameDecoder(block.Version, std::nullopt, 0));
        });
    }
    std::printf(
        "  steps (ms, median / fastest): file state %.3f / %.3f, version resource %.3f / %.3f, "
        "find the block %.3f / %.3f, shared options %.3f / %.3f, password export %.3f / %.3f, "
        "inflate + options + index %.3f / %.3f, exports %.3f / %.3f\n",
        Median(state), Fastest(state), Median(version), Fastest(version), Median(resource), Fastest(resource),
        Median(shared), Fastest(shared), Median(password), Fastest(password), Median(reading), Fastest(reading),
        Median(exports), Fastest(exports));
}

}  // namespace

// Without arguments: this program's own module. With a path (Quillan.exe): that program, mapped
// as an image without being run.
int main(int argc, char** argv) {
    if (argc < 2) {
        const TAddress self = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
        const bool measured = Measure(self, reinterpret_cast<uintptr_t>(&main) + 5, "this program's module");
        MeasureSteps(self);
        return measured ? 0 : 1;
    }
    HMODULE module = LoadLibraryExA(argv[1], nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (module == nullptr) {
        std::printf("cannot map %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    const bool measured = Measure(reinterpret_cast<uintptr_t>(module), 0, argv[1]);
    MeasureSteps(reinterpret_cast<uintptr_t>(module));
    return measured ? 0 : 1;
}
