// Under Wine: the first lookup of this program's own module (find the resource, inflate, check
// the password, index the line tables) and the resolution of one address afterwards. This
// program carries its block like Quillan.exe does. Prints medians.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "crash/moduledata/module_password.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/modules_platform_win.h"

extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    return quillan::crash::SupplyPassword(quillan::crash::kProgramModuleDataPassword, buffer, size);
}

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    using namespace quillan::crash;
    const TAddress self = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    TProcessModulePlatform platform;
    std::vector<double> first, resolve;
    size_t units = 0;
    for (int round = 0; round < 21; ++round) {
        TMishapModulesList list(platform);
        const auto t0 = Clock::now();
        auto entry = list.FindByHandle(self);
        const auto t1 = Clock::now();
        first.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        units = entry ? entry->Lines.UnitCount() : 0;
        TMishapStackEntry e;
        const TAddress address = reinterpret_cast<uintptr_t>(&main) + 5;
        const int n = 2000;
        const auto t2 = Clock::now();
        for (int i = 0; i < n; ++i) list.Resolve(address + (i % 7), e);
        const auto t3 = Clock::now();
        resolve.push_back(std::chrono::duration<double, std::micro>(t3 - t2).count() / n);
    }
    std::printf("first lookup of the program's module: %.3f ms (median of 21; %zu unit entries)\n", Median(first),
                units);
    std::printf("resolve one address afterwards: %.2f us\n", Median(resolve));
    return units > 0 ? 0 : 1;
}
