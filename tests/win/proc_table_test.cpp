// Run-time look-ups against the real loader (Wine's under test): what a table resolves, what it
// falls back to, and what it loads.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "framework/win/proc_table_win.h"

namespace quillan::win {
namespace {

using TTickCount = DWORD(WINAPI*)();

DWORD WINAPI NoTicks() { return 7; }

// Any function pointer as a plain code address, for comparing across types.
template <typename F>
TProcEntry::TAddress Code(F f) {
    return reinterpret_cast<TProcEntry::TAddress>(f);
}

TProcEntry::TAddress KernelAddress(const char* name) {
    return Code(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}

TEST(ProcTable, HeldLibraryGivesTheLoadersAddressAndFallsBackForAnUnknownName) {
    TProcLibrary kernel(L"kernel32.dll", TProcLibrary::TOpen::Loaded);
    TProc<TTickCount> ticks(kernel, "GetTickCount", &NoTicks);
    TProc<TTickCount> unknown(kernel, "QuillanNoSuchFunction", &NoTicks);
    EXPECT_EQ(Code(ticks.Get()), KernelAddress("GetTickCount"));
    EXPECT_TRUE(ticks.Found());
    EXPECT_EQ(unknown.Get(), &NoTicks);
    EXPECT_EQ(unknown.Get()(), 7u);
    EXPECT_FALSE(unknown.Found());
    EXPECT_EQ(kernel.Module(), GetModuleHandleW(L"kernel32.dll"));
}

TEST(ProcTable, MissingLibraryGivesEveryFallbackAndNoFallbackGivesNull) {
    TProcLibrary missing(L"quillan-no-such-library.dll", TProcLibrary::TOpen::Load);
    TProc<TTickCount> withFallback(missing, "GetTickCount", &NoTicks);
    TProc<TTickCount> without(missing, "GetTickCount");
    EXPECT_EQ(withFallback.Get(), &NoTicks);
    EXPECT_EQ(without.Get(), nullptr);
    EXPECT_FALSE(without.Found());
    EXPECT_EQ(missing.Module(), nullptr);
}

TEST(ProcTable, HeldLibraryIsNeverLoadedAndLoadKeepsItsLibrary) {
    // Nothing of this test program uses the multimedia library.
    ASSERT_EQ(GetModuleHandleW(L"winmm.dll"), nullptr);
    TProcLibrary held(L"winmm.dll", TProcLibrary::TOpen::Loaded);
    TProc<BOOL(WINAPI*)(LPCWSTR, UINT)> heldPlay(held, "sndPlaySoundW");
    EXPECT_EQ(heldPlay.Get(), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"winmm.dll"), nullptr);

    TProcLibrary loaded(L"winmm.dll", TProcLibrary::TOpen::Load);
    TProc<BOOL(WINAPI*)(LPCWSTR, UINT)> play(loaded, "sndPlaySoundW");
    ASSERT_NE(play.Get(), nullptr);
    HMODULE module = GetModuleHandleW(L"winmm.dll");
    EXPECT_NE(module, nullptr);
    EXPECT_EQ(loaded.Module(), module);
    EXPECT_EQ(Code(play.Get()), Code(GetProcAddress(module, "sndPlaySoundW")));
}

TEST(ProcTable, ScopedLibraryIsLoadedAtTheFirstUseAndFreedWithTheTable) {
    // Nothing of this test program uses the IP helper library.
    ASSERT_EQ(GetModuleHandleW(L"iphlpapi.dll"), nullptr);
    {
        TProcLibrary scoped(L"iphlpapi.dll", TProcLibrary::TOpen::Scoped);
        TProc<DWORD(WINAPI*)(PULONG)> count(scoped, "GetNumberOfInterfaces");
        EXPECT_EQ(GetModuleHandleW(L"iphlpapi.dll"), nullptr) << "not before its first use";
        ASSERT_NE(count.Get(), nullptr);
        HMODULE module = GetModuleHandleW(L"iphlpapi.dll");
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(scoped.Module(), module);
        EXPECT_EQ(Code(count.Get()), Code(GetProcAddress(module, "GetNumberOfInterfaces")));
        ULONG interfaces = 0;
        EXPECT_EQ(count.Get()(&interfaces), static_cast<DWORD>(NO_ERROR));
    }
    EXPECT_EQ(GetModuleHandleW(L"iphlpapi.dll"), nullptr) << "freed with its table";
}

TEST(ProcTable, EntryAddedAfterTheResolutionIsResolvedToo) {
    TProcLibrary kernel(L"kernel32.dll", TProcLibrary::TOpen::Loaded);
    TProc<TTickCount> first(kernel, "GetTickCount");
    kernel.Resolve();
    TProc<TTickCount> later(kernel, "GetCurrentThreadId");
    EXPECT_EQ(Code(later.Get()), KernelAddress("GetCurrentThreadId"));
    EXPECT_EQ(Code(first.Get()), KernelAddress("GetTickCount"));
}

TEST(ProcTable, ThreadsThatUseATableFirstTogetherAllSeeTheLoadersAddresses) {
    for (int round = 0; round < 20; ++round) {
        TProcLibrary kernel(L"kernel32.dll", TProcLibrary::TOpen::Loaded);
        TProc<TTickCount> ticks(kernel, "GetTickCount", &NoTicks);
        TProc<TTickCount> thread(kernel, "GetCurrentThreadId", &NoTicks);
        std::atomic<bool> go{false};
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&] {
                while (!go.load()) std::this_thread::yield();
                if (Code(thread.Get()) != KernelAddress("GetCurrentThreadId")) ++wrong;
                if (Code(ticks.Get()) != KernelAddress("GetTickCount")) ++wrong;
            });
        go = true;
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(wrong.load(), 0) << "round " << round;
    }
}

}  // namespace
}  // namespace quillan::win
