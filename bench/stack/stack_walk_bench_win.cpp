// Under Wine: what a report pays per thread. A thread blocked under more than 100 KB of
// stack is walked (suspend, context, scan, resume, resolve through this program's module
// data); its raw scan is timed beside a scan that asks the memory manager about every slot
// and every candidate's code bytes; and a thread start through the threads list's
// pthread_create wrapper beside one that bypasses it. Prints medians.
#include <windows.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/support/result.h"
#include "crash/moduledata/module_password.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/modules_platform_win.h"
#include "crash/stack/stack_walker_win.h"
#include "crash/stack/threads_list_win.h"

extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    return quillan::crash::SupplyPassword(quillan::crash::kProgramModuleDataPassword, buffer, size);
}
extern "C" int __real_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

namespace {

using namespace quillan::crash;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

HANDLE gRelease = nullptr;
volatile LONG gReady = 0;
volatile int gSink = 0;

// About 1 KB of stack per level.
__attribute__((noinline)) void Deep(int level) {
    volatile char frame[1000];
    frame[0] = static_cast<char>(level);
    if (level > 0) {
        Deep(level - 1);
    } else {
        InterlockedExchange(&gReady, 1);
        WaitForSingleObject(gRelease, INFINITE);
    }
    gSink = gSink + frame[0];
}

DWORD WINAPI DeepThread(LPVOID) {
    Deep(150);
    return 0;
}

// The peer: every read asks the memory manager afresh, and the stack is read slot by slot.
class TQueryEveryRead : public IMemoryReader {
public:
    bool Read(TAddress address, void* buffer, size_t size) override {
        MEMORY_BASIC_INFORMATION info;
        const auto* at = reinterpret_cast<const char*>(static_cast<uintptr_t>(address));
        if (!VirtualQuery(at, &info, sizeof info) || info.State != MEM_COMMIT ||
            (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            at + size > static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
            return false;
        }
        std::memcpy(buffer, at, size);
        return true;
    }
};

size_t ScanSlotBySlot(TAddress sp, TAddress top, std::vector<TAddress>& found) {
    TQueryEveryRead memory;
    top = std::min<TAddress>(top, sp + kStackScanLimit);
    for (TAddress at = sp; at + sizeof(void*) <= top; at += sizeof(void*)) {
        uintptr_t value;
        if (!memory.Read(at, &value, sizeof value)) continue;
        TCallSite site;
        if (!FindCallBefore(kNativeCallArch, memory, value, site)) continue;
        if (site.Called) found.push_back(site.Called);
        found.push_back(site.Site);
    }
    return found.size();
}

void* Nothing(void*) { return nullptr; }

double ThreadStartMicros(bool wrapped) {
    std::vector<double> times;
    for (int i = 0; i < 101; ++i) {
        pthread_t thread;
        const auto t0 = Clock::now();
        const int result = wrapped ? pthread_create(&thread, nullptr, Nothing, nullptr)
                                   : __real_pthread_create(&thread, nullptr, Nothing, nullptr);
        if (result == 0) pthread_join(thread, nullptr);
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    return Median(times);
}

}  // namespace

int main() {
    EnterMainThread();
    gRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateTrackedThread(nullptr, 1 << 20, DeepThread, nullptr, 0, &id);
    while (!gReady) Sleep(1);
    Sleep(50);

    TProcessModulePlatform platform;
    TMishapModulesList modules(platform);
    TThreadsSnapshot threads = ProcessThreadsList().Copy();
    const TMishapThreadEntry* deep = threads.Find(id);
    if (!deep) return 1;

    std::vector<double> walk, scan, slotBySlot;
    size_t entries = 0, found = 0, foundPeer = 0;
    for (int round = 0; round < 21; ++round) {
        TStackWalker walker(modules);
        TMishapStackList list;
        auto t0 = Clock::now();
        walker.AddOtherThreads(list, threads, 0x08, 0);
        walk.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        entries = list.size();

        SuspendThread(thread);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(thread, &context);
#if defined(_WIN64)
        const TAddress sp = context.Rsp;
#else
        const TAddress sp = context.Esp;
#endif
        TProcessMemoryReader stack, code;
        std::vector<TAddress> addresses;
        t0 = Clock::now();
        found = ScanStack(kNativeCallArch, stack, code, sp, deep->StackTop, addresses);
        scan.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        std::vector<TAddress> peer;
        t0 = Clock::now();
        foundPeer = ScanSlotBySlot(sp, deep->StackTop, peer);
        slotBySlot.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        ResumeThread(thread);
    }
    std::printf("walk of a thread 150 KB deep (suspend, scan 100 KB, resume, resolve %zu entries): %.2f ms\n", entries,
                Median(walk));
    std::printf("raw scan, 400-byte chunks and cached regions: %.2f ms (%zu addresses)\n", Median(scan), found);
    std::printf("raw scan, a memory query per read, slot by slot: %.2f ms (%zu addresses)\n", Median(slotBySlot),
                foundPeer);
    quillan::bench::PrintResult("raw stack scan, 100 KB", Median(scan), Median(slotBySlot),
                                "a memory query per read, slot by slot", "ms", "none set");
    std::printf("thread start and join through the threads list's wrapper: %.1f us\n", ThreadStartMicros(true));
    std::printf("thread start and join bypassing it: %.1f us\n", ThreadStartMicros(false));

    SetEvent(gRelease);
    WaitForSingleObject(thread, INFINITE);
    return found == foundPeer && entries > 0 ? 0 : 1;
}
