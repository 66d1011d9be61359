// The threads list in a running process: the main thread's entry and handle, threads started
// by std::thread and by the Windows wrapper entering and leaving, and ended threads purged.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "crash/stack/threads_list_win.h"
#include "framework/win/handle_win.h"

namespace quillan::crash::stacktest {
namespace {

// The test program's main thread is entered as the program's start-up would enter it.
const bool gMainEntered = (EnterMainThread(), true);

HANDLE AsHandle(TAddress handle) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)); }

struct TObjectBasicInformation {
    ULONG Attributes;
    ACCESS_MASK GrantedAccess;
    ULONG HandleCount;
    ULONG PointerCount;
    ULONG Reserved[10];
};

// The access a handle was opened with, as the system keeps it; the system adds the limited
// query right to the full one by itself.
std::optional<ACCESS_MASK> GrantedAccess(HANDLE handle) {
    using TNtQueryObject = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<TNtQueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    TObjectBasicInformation information{};
    if (!query || query(handle, 0, &information, sizeof information, nullptr) < 0) return std::nullopt;
    return information.GrantedAccess & ~ACCESS_MASK{THREAD_QUERY_LIMITED_INFORMATION};
}

TEST(ThreadsWin, MainThreadEnteredWithItsStackAndALimitedHandle) {
    ASSERT_TRUE(gMainEntered);
    EXPECT_EQ(MainThreadId(), GetCurrentThreadId());
    EnterMainThread();  // a second call changes nothing
    const auto main = ProcessThreadsList().FindById(GetCurrentThreadId());
    ASSERT_TRUE(main);
    EXPECT_TRUE(main->Main);
    EXPECT_EQ(main->StackTop, CurrentStackTop());
    EXPECT_GT(main->StackTop, reinterpret_cast<uintptr_t>(&main));
    const HANDLE handle = AsHandle(main->Handle);
    EXPECT_EQ(GrantedAccess(handle), std::optional<ACCESS_MASK>(kThreadsListAccess));
    // Enough to read it, not enough to change it.
    EXPECT_NE(GetThreadPriority(handle), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_FALSE(SetThreadPriority(handle, THREAD_PRIORITY_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(ThreadsWin, StdThreadEntersWhileItRuns) {
    const size_t before = ProcessThreadsList().Count();
    std::optional<TMishapThreadEntry> inside;
    std::optional<ACCESS_MASK> access;
    TAddress ownTop = 0;
    std::uint32_t id = 0;
    std::thread worker([&] {
        id = GetCurrentThreadId();
        ownTop = CurrentStackTop();
        inside = ProcessThreadsList().FindById(id);
        if (inside) access = GrantedAccess(AsHandle(inside->Handle));
    });
    worker.join();
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->StackTop, ownTop);
    EXPECT_NE(inside->StartRoutine, 0u);
    EXPECT_FALSE(inside->Main);
    EXPECT_FALSE(IsFrameworkThread(*inside));
    EXPECT_EQ(access, std::optional<ACCESS_MASK>(kThreadsListAccess));
    EXPECT_FALSE(ProcessThreadsList().FindById(id));
    EXPECT_EQ(ProcessThreadsList().Count(), before);
}

TEST(ThreadsWin, ManyStdThreadsAtOnce) {
    const size_t before = ProcessThreadsList().Count();
    std::atomic<int> listed{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i) {
        workers.emplace_back([&] {
            if (ProcessThreadsList().FindById(GetCurrentThreadId())) ++listed;
            while (!go) Sleep(1);
        });
    }
    while (listed < 8 && ProcessThreadsList().Count() < before + 8) Sleep(1);
    EXPECT_EQ(ProcessThreadsList().Count(), before + 8);
    go = true;
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(listed, 8);
    EXPECT_EQ(ProcessThreadsList().Count(), before);
}

struct TStarted {
    std::optional<TMishapThreadEntry> Entry;
    HANDLE Proceed = nullptr;
    bool ExitDirectly = false;
};

DWORD WINAPI TrackedRoutine(LPVOID raw) {
    auto* started = static_cast<TStarted*>(raw);
    started->Entry = ProcessThreadsList().FindById(GetCurrentThreadId());
    if (started->Proceed) WaitForSingleObject(started->Proceed, INFINITE);
    // Ending here skips the wrapper's removal; only a purge finds out.
    if (started->ExitDirectly) ExitThread(7);
    return 3;
}

TEST(ThreadsWin, TrackedThreadWithItsObjectClassAndPriority) {
    TStarted started;
    started.Proceed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int object = 0;
    DWORD id = 0;
    win::KernelHandle thread(
        CreateTrackedThread(nullptr, 0, TrackedRoutine, &started, 0, &id, &object, "TFreezeThread"));
    ASSERT_TRUE(thread);
    ASSERT_TRUE(SetThreadPriority(thread.get(), THREAD_PRIORITY_HIGHEST));
    for (int i = 0; i < 500 && !ProcessThreadsList().FindById(id); ++i) Sleep(10);
    const auto entry = ProcessThreadsList().FindByObject(&object);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Id, id);
    EXPECT_EQ(entry->ThreadClass, "TFreezeThread");
    EXPECT_TRUE(IsFrameworkThread(*entry));
    EXPECT_EQ(entry->StartRoutine, reinterpret_cast<uintptr_t>(&TrackedRoutine));
    EXPECT_EQ(entry->Parameter, reinterpret_cast<uintptr_t>(&started));
    EXPECT_EQ(ProcessThreadsList().FindByHandle(entry->Handle)->Id, id);
    {
        TThreadsSnapshot snapshot = ProcessThreadsList().Copy();
        const TMishapThreadEntry* copy = snapshot.Find(id);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->Priority, THREAD_PRIORITY_HIGHEST);
        EXPECT_NE(copy->Handle, entry->Handle);
        bool summarised = false;
        for (const TThreadSummary& summary : snapshot.Summaries()) {
            if (summary.Id != id) continue;
            summarised = true;
            EXPECT_EQ(summary.Priority, "Highest");
            EXPECT_EQ(summary.ClassName, "TFreezeThread");
            EXPECT_FALSE(summary.Main);
        }
        EXPECT_TRUE(summarised);
        // The snapshot's own handle outlives the thread's entry.
        SetEvent(started.Proceed);
        ASSERT_EQ(WaitForSingleObject(thread.get(), 5000), WAIT_OBJECT_0);
        EXPECT_FALSE(ProcessThreadsList().FindById(id));
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(AsHandle(copy->Handle), &code));
        EXPECT_EQ(code, 3u);
    }
    CloseHandle(started.Proceed);
}

TEST(ThreadsWin, ThreadsEndingUnseenArePurged) {
    TStarted started;
    started.ExitDirectly = true;
    DWORD id = 0;
    win::KernelHandle thread(CreateTrackedThread(nullptr, 0, TrackedRoutine, &started, 0, &id));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(started.Entry);
    EXPECT_TRUE(ProcessThreadsList().FindById(id));  // still listed: the wrapper never got back
    EXPECT_GE(ProcessThreadsList().Purge(), 1u);
    EXPECT_FALSE(ProcessThreadsList().FindById(id));
    EXPECT_TRUE(ProcessThreadsList().FindById(GetCurrentThreadId()));
}

}  // namespace
}  // namespace quillan::crash::stacktest
