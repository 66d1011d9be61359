// Walking live stacks under Wine: a thread of this test blocked at a known depth of known
// functions is walked from outside and its frames are named through this program's own
// module data block.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "crash/moduledata/module_password.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/modules_platform_win.h"
#include "crash/stack/stack_walker_win.h"
#include "crash/stack/threads_list_win.h"
#include "framework/win/handle_win.h"

// This program hands the crash reporter the password its names were enciphered with.
extern "C" __declspec(dllexport) int MishapLog_PasswordRequestEvent(char* buffer, int size) {
    return quillan::crash::SupplyPassword(quillan::crash::kProgramModuleDataPassword, buffer, size);
}

namespace quillan::crash::stacktest {

// The blocked thread's state, written by it and read by the tests.
HANDLE gRelease = nullptr;
std::atomic<bool> gBlocked{false};
std::atomic<int> gAfterCall{0};  // a write after each call keeps the calls from becoming jumps
TAddress gRaiseAddress = 0;
TAddress gRaiseSp = 0;
TAddress gOwnStackTop = 0;
bool gClobber = false;
TRecordedStack gRecorded;

__attribute__((noinline)) void Record() {
    gRaiseAddress = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    gRaiseSp = CurrentStackPointer();
    if (!gClobber) {
        gBlocked = true;
        return;
    }
    // The stack as it is now, as a throw would record it before unwinding.
    gRecorded.Start = gRaiseSp;
    gRecorded.Length = std::min<TAddress>(8192, gOwnStackTop - gRaiseSp);
    gRecorded.Copy.resize(gRecorded.Length);
    std::memcpy(gRecorded.Copy.data(), reinterpret_cast<const void*>(gRaiseSp), gRecorded.Length);
}

const int kRecordLine = __LINE__ + 2;
__attribute__((noinline)) void Level3() {
    Record();
    if (gClobber) return;
    WaitForSingleObject(gRelease, INFINITE);
    ++gAfterCall;
}
const int kWaitLine = kRecordLine + 2;
const int kLevel2Line = __LINE__ + 2;
__attribute__((noinline)) void Level2() {
    Level3();
    ++gAfterCall;
}
const int kLevel1Line = __LINE__ + 2;
__attribute__((noinline)) void Level1() {
    Level2();
    ++gAfterCall;
}

// Wipes the stack below the caller, where the Level frames were.
__attribute__((noinline)) void Clobber() {
    volatile char wipe[16384];
    for (size_t i = 0; i < sizeof wipe; ++i) wipe[i] = 0;
}

DWORD WINAPI BlockedThread(LPVOID) {
    gOwnStackTop = CurrentStackTop();
    Level1();
    if (gClobber) {
        Clobber();
        gBlocked = true;
        WaitForSingleObject(gRelease, INFINITE);
    }
    return 0;
}

namespace {

// Whether the entry is the call at line of a test body of this file.
bool IsTestBodyAt(const TMishapStackEntry& entry, int line) {
    return entry.ProcedureName == "TestBody" && entry.UnitName == "tests/crash/stack/walker_win_test.cpp" &&
           entry.Line == line;
}

// The named entries, one a line, for failure messages.
std::string Describe(const TMishapStackList& list) {
    std::string text;
    for (const auto& e : list) {
        if (e.Kind == TStackKind::LineTable)
            text += e.ClassName + " | " + e.ProcedureName + ":" + std::to_string(e.Line) + "\n";
    }
    return text;
}

TAddress Address(void (*function)()) { return reinterpret_cast<uintptr_t>(function); }

// Starts the blocked thread and waits until it is blocked; releases and joins it at the end.
class BlockedThreadTest : public ::testing::Test {
protected:
    void Start(bool clobber) {
        gClobber = clobber;
        gBlocked = false;
        gRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_.reset(CreateTrackedThread(nullptr, 0, BlockedThread, nullptr, 0, &id_));
        ASSERT_TRUE(thread_);
        for (int i = 0; i < 500 && !gBlocked; ++i) Sleep(10);
        ASSERT_TRUE(gBlocked);
        Sleep(100);  // on into the wait
    }
    void TearDown() override {
        if (gRelease) SetEvent(gRelease);
        if (thread_) WaitForSingleObject(thread_.get(), 10000);
        if (gRelease) CloseHandle(gRelease);
        gRelease = nullptr;
        gRecorded = TRecordedStack();
    }
    // The entries of the thread, in stack order.
    std::vector<TMishapStackEntry> Of(const TMishapStackList& list, std::uint32_t id) {
        std::vector<TMishapStackEntry> of;
        for (const auto& entry : list) {
            if (entry.ThreadId == id) of.push_back(entry);
        }
        return of;
    }
    static bool Names(const std::vector<TMishapStackEntry>& entries, const std::string& procedure) {
        for (const auto& e : entries) {
            if (e.Kind == TStackKind::LineTable && e.ProcedureName == procedure) return true;
        }
        return false;
    }
    // Where the entry naming procedure at line is, from position from; -1 when none.
    static int FindLine(const std::vector<TMishapStackEntry>& entries, const std::string& procedure, int line,
                        int from = 0) {
        for (int i = from; i < static_cast<int>(entries.size()); ++i) {
            const TMishapStackEntry& e = entries[i];
            if (e.Kind == TStackKind::LineTable && e.ProcedureName == procedure && e.Line == line) return i;
        }
        return -1;
    }
    // The three calls in order: Level3's call at level3Line, Level2's call, Level1's call.
    void ExpectLevels(const std::vector<TMishapStackEntry>& entries, int level3Line = kWaitLine) {
        const int level3 = FindLine(entries, "quillan::crash::stacktest::Level3", level3Line);
        const int level2 = FindLine(entries, "quillan::crash::stacktest::Level2", kLevel2Line, level3 + 1);
        const int level1 = FindLine(entries, "quillan::crash::stacktest::Level1", kLevel1Line, level2 + 1);
        EXPECT_GE(level3, 0);
        EXPECT_GT(level2, level3);
        EXPECT_GT(level1, level2);
        if (level1 < 0) return;
        EXPECT_EQ(entries[level3].UnitName, "tests/crash/stack/walker_win_test.cpp");
        // Independent of the module data: each call site lies inside its function's code.
        EXPECT_GT(entries[level2].Address, Address(Level2));
        EXPECT_LT(entries[level2].Address, Address(Level2) + 0x100);
        EXPECT_GT(entries[level1].Address, Address(Level1));
        EXPECT_LT(entries[level1].Address, Address(Level1) + 0x100);
        // A direct call also lists the procedure called, at its first line.
        EXPECT_EQ(entries[level2 - 1].Address, Address(Level3));
        EXPECT_EQ(entries[level1 - 1].Address, Address(Level2));
    }

    win::KernelHandle thread_;
    DWORD id_ = 0;
    TProcessModulePlatform platform_;
    TMishapModulesList modules_{platform_};
};

TEST_F(BlockedThreadTest, OtherThreadWalkedFromOutside) {
    Start(false);
    TStackWalker walker(modules_);
    TMishapStackList list;
    TThreadsSnapshot threads = ProcessThreadsList().Copy();
    ASSERT_TRUE(threads.Find(id_));
    walker.AddOtherThreads(list, threads, 0x0F, 0);
    const auto entries = Of(list, id_);
    ExpectLevels(entries);
    for (const auto& e : entries) EXPECT_FALSE(e.RunningThread);
    // The start wrapper runs the thread's routine.
    EXPECT_TRUE(Names(entries, "quillan::crash::stacktest::BlockedThread"));
    EXPECT_TRUE(Names(entries, "TrackedThreadStart"));
    // The calling (main) thread is walked in place and marked as the one running the report.
    const auto own = Of(list, GetCurrentThreadId());
    ASSERT_FALSE(own.empty());
    EXPECT_TRUE(own.front().RunningThread);
    // The blocked thread ran on afterwards: it was resumed.
    SetEvent(gRelease);
    EXPECT_EQ(WaitForSingleObject(thread_.get(), 5000), WAIT_OBJECT_0);
}

TEST_F(BlockedThreadTest, StackFlagsChooseTheThreads) {
    Start(false);
    TStackWalker walker(modules_);
    TThreadsSnapshot threads = ProcessThreadsList().Copy();
    TMishapStackList list;
    walker.AddOtherThreads(list, threads, 0x04, 0);  // the main thread only
    EXPECT_TRUE(Of(list, id_).empty());
    EXPECT_FALSE(Of(list, MainThreadId()).empty());
    list.clear();
    walker.AddOtherThreads(list, threads, 0x08, 0);  // plain threads only
    EXPECT_FALSE(Of(list, id_).empty());
    EXPECT_TRUE(Of(list, MainThreadId()).empty());
    list.clear();
    walker.AddOtherThreads(list, threads, 0x0F, id_);  // the exception thread is not walked again
    EXPECT_TRUE(Of(list, id_).empty());
}

struct TReportArgs {
    TStackWalker* Walker;
    const TThreadsSnapshot* Threads;
    TMishapStackList* List;
};

DWORD WINAPI ReportThread(LPVOID raw) {
    auto* args = static_cast<TReportArgs*>(raw);
    args->Walker->AddOtherThreads(*args->List, *args->Threads, 0x0F, 0);
    return 0;
}

TEST_F(BlockedThreadTest, MainThreadWalkedFromAReportThread) {
    Start(false);
    TStackWalker walker(modules_);
    TThreadsSnapshot threads = ProcessThreadsList().Copy();
    TMishapStackList list;
    TReportArgs args{&walker, &threads, &list};
    win::KernelHandle report(CreateThread(nullptr, 0, ReportThread, &args, 0, nullptr));
    ASSERT_TRUE(report);
    const int waitLine = __LINE__ + 1;
    ASSERT_EQ(WaitForSingleObject(report.get(), 10000), WAIT_OBJECT_0);
    // The main thread waited for the report thread inside this test.
    bool inThisTest = false;
    for (const auto& e : Of(list, MainThreadId())) {
        if (IsTestBodyAt(e, waitLine)) inThisTest = true;
        EXPECT_FALSE(e.RunningThread);
    }
    EXPECT_TRUE(inThisTest) << Describe(list);
    ExpectLevels(Of(list, id_));
}

TEST_F(BlockedThreadTest, ExceptionThreadFromItsRaiseAddressAndStackPointer) {
    Start(false);
    win::KernelHandle opened(OpenThread(kThreadsListAccess, FALSE, id_));
    EXPECT_EQ(ThreadStackTop(opened.get()), gOwnStackTop);
    TStackWalker walker(modules_);
    TMishapStackList list;
    TExceptionStack exception;
    exception.ThreadId = id_;
    exception.Address = gRaiseAddress;
    exception.StackPointer = gRaiseSp;
    walker.AddExceptionThread(list, exception);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].Address, gRaiseAddress);
    EXPECT_EQ(list[0].ProcedureName, "quillan::crash::stacktest::Level3");
    EXPECT_EQ(list[0].Line, kRecordLine + 1);  // the return address: after the call
    ExpectLevels(std::vector<TMishapStackEntry>(list.begin() + 1, list.end()));
}

TEST_F(BlockedThreadTest, RecordedCopyStandsInForAnUnwoundStack) {
    Start(true);  // the Level frames are gone and wiped; only the copy keeps them
    TStackWalker walker(modules_);
    TExceptionStack exception;
    exception.ThreadId = id_;
    exception.StackPointer = gRaiseSp;
    TMishapStackList live;
    walker.AddExceptionThread(live, exception);
    EXPECT_LT(FindLine(live, "quillan::crash::stacktest::Level2", kLevel2Line), 0);
    exception.Recorded = &gRecorded;
    TMishapStackList recorded;
    walker.AddExceptionThread(recorded, exception);
    ExpectLevels(recorded, kRecordLine);
}

__attribute__((noinline)) void WalkHere(TStackWalker& walker, TMishapStackList& list) {
    walker.BuildCallStack(list, std::nullopt, CurrentStackPointer(), true, GetCurrentThreadId(), CurrentStackTop());
    ++gAfterCall;
}

TEST(Walker, CurrentThreadInPlace) {
    TProcessModulePlatform platform;
    TMishapModulesList modules(platform);
    TStackWalker walker(modules);
    TMishapStackList list;
    const int callLine = __LINE__ + 1;
    WalkHere(walker, list);
    ++gAfterCall;
    ASSERT_FALSE(list.empty());
    bool found = false;
    for (const auto& e : list) {
        EXPECT_TRUE(e.RunningThread);
        EXPECT_EQ(e.ThreadId, GetCurrentThreadId());
        if (IsTestBodyAt(e, callLine)) found = true;
    }
    EXPECT_TRUE(found) << Describe(list);
}

}  // namespace
}  // namespace quillan::crash::stacktest
