// A thread that gave back the unused part of its stack keeps a whole stack: it grows deep into the
// pages given back, finds in them what it writes, and the guard page below stays one.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "framework/win/stack.h"

namespace quillan {
namespace {

// Each level fills 4 KB of its own and checks it after the levels below have returned.
std::uint32_t Deep(int levels, std::uint32_t seed) {
    volatile std::uint32_t block[1024];
    for (int i = 0; i < 1024; ++i) block[i] = seed * 2654435761u + static_cast<std::uint32_t>(i);
    std::uint32_t below = levels > 0 ? Deep(levels - 1, seed + 1) : 0;
    std::uint32_t sum = 0;
    for (int i = 0; i < 1024; ++i) {
        if (block[i] != seed * 2654435761u + static_cast<std::uint32_t>(i)) return 0xDEADu;
        sum += block[i];
    }
    return below == 0xDEADu ? below : sum ^ below;
}

struct TStackState {
    int GuardRegions = 0;
    SIZE_T Committed = 0;
};

TStackState StackState() {
    MEMORY_BASIC_INFORMATION here = {};
    VirtualQuery(&here, &here, sizeof(here));
    TStackState state;
    auto* at = static_cast<char*>(here.AllocationBase);
    MEMORY_BASIC_INFORMATION part = {};
    while (VirtualQuery(at, &part, sizeof(part)) && part.AllocationBase == here.AllocationBase) {
        if (part.State == MEM_COMMIT && (part.Protect & PAGE_GUARD)) ++state.GuardRegions;
        if (part.State == MEM_COMMIT) state.Committed += part.RegionSize;
        at = static_cast<char*>(part.BaseAddress) + part.RegionSize;
    }
    return state;
}

struct TRun {
    std::uint32_t Before = 0;
    std::uint32_t After = 0;
    TStackState StateBefore;
    TStackState StateAfter;
};

DWORD WINAPI Thread(LPVOID raw) {
    auto& run = *static_cast<TRun*>(raw);
    // About 800 KB deep (of the 2 MB the program reserves per thread), then given back and used again.
    run.Before = Deep(200, 7);
    run.StateBefore = StackState();
    // What the live frames hold survives.
    volatile std::uint32_t live[256];
    for (int i = 0; i < 256; ++i) live[i] = 0x51000000u + static_cast<std::uint32_t>(i);
    win::ReleaseUnusedStack();
    run.StateAfter = StackState();
    for (int i = 0; i < 256; ++i) {
        if (live[i] != 0x51000000u + static_cast<std::uint32_t>(i)) return 2;
    }
    run.After = Deep(200, 7);
    return 0;
}

TEST(ThreadStack, GivenBackPagesServeTheStackAgain) {
    TRun run;
    HANDLE thread = CreateThread(nullptr, 0, &Thread, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 0u);
    EXPECT_NE(run.Before, 0xDEADu);
    EXPECT_EQ(run.After, run.Before);
    // Nothing decommitted, and the guard page that lets the stack grow or overflow is still there.
    EXPECT_EQ(run.StateAfter.Committed, run.StateBefore.Committed);
    EXPECT_EQ(run.StateAfter.GuardRegions, run.StateBefore.GuardRegions);
    EXPECT_GE(run.StateBefore.GuardRegions, 1);
}

}  // namespace
}  // namespace quillan
