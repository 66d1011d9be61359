// A crash never becomes a hang: crash programs that fail where the report could wait for the
// failing thread, each checked by what it leaves and by ending within the report's bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/crash/capture/probe_runner.h"

namespace quillan::test {
namespace {

// The reporter's bound (30 s) and time for Wine to start and end the program.
constexpr DWORD kBoundWithStart = 30000 + 20000;

void ExpectTheLockedFault(const crash::TLogFile& log) {
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EAccessViolation");
    auto rows = ExceptionRows(log.Report(0));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().Procedure, "WriteWhileLocked") << Describe(rows);
}

// The lines of starts.txt: one per start of an everystart=1 program.
std::vector<std::string> Starts(const TProbe& probe) {
    std::vector<std::string> lines;
    if (!probe.HasMarker("starts.txt")) return lines;
    const std::string text = ReadFileBytes(probe.Marker("starts.txt"));
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// Ends every instance the starts name that still runs (a failing run must leave none behind)
// and returns the number of instances that ran.
size_t EndStartedInstances(const TProbe& probe) {
    std::vector<std::string> lines;
    for (int round = 0; round < 20; ++round) {
        lines = Starts(probe);
        bool running = false;
        for (const std::string& line : lines) {
            const DWORD id = static_cast<DWORD>(std::stoul(line));
            if (id == probe.ProcessId()) continue;
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
                running = running || WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
                TerminateProcess(process, 99);
                CloseHandle(process);
            }
        }
        if (!running) break;
        Sleep(200);
    }
    return Starts(probe).size();
}

// Waits for the instance a start line names to end; false when it still runs after timeoutMs.
bool AwaitInstanceEnd(const std::string& line, DWORD timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::stoul(line)));
    if (!process) return true;  // gone already
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// A program that faults at every start, with TerminateAction 1: the fault comes within a minute
// of the start, so the program ends instead of restarting (it would restart for ever, several
// times a second); its report is in the log.
TEST(CrashBound, AProgramFaultingAtEveryStartIsNotRestartedInALoop) {
    TProbe probe("crash_access", {"terminate=1", "everystart=1"});
    ASSERT_TRUE(probe.Start());
    EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
    // A restart would have started the next instance long before this.
    Sleep(5000);
    EXPECT_EQ(EndStartedInstances(probe), 1u);
    const crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EAccessViolation");
}

// The same program with the minimum lowered to 2 s and a first run of 2.5 s: that fault restarts
// it, the new instance learns which log holds the report, and its own fault (0 s into its run)
// ends it. One report: the second is a duplicate of the first.
TEST(CrashBound, AFaultAfterTheMinimumRunRestartsTheProgramOnceAndNamesTheLog) {
    TProbe probe("crash_access", {"terminate=1", "everystart=1", "minrun=2", "delay=2500"});
    ASSERT_TRUE(probe.Start());
    EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
    ASSERT_TRUE(WaitFor([&] { return Starts(probe).size() >= 2; }, 15000));
    EXPECT_TRUE(AwaitInstanceEnd(Starts(probe)[1], kBoundWithStart));
    Sleep(3000);
    const std::vector<std::string> starts = Starts(probe);
    EXPECT_EQ(EndStartedInstances(probe), 2u);
    ASSERT_GE(starts.size(), 2u);
    EXPECT_NE(starts[0].find(" first"), std::string::npos) << starts[0];
    const std::string expected = " restarted " + probe.Folder() + "crash_access.mlf";
    EXPECT_EQ(starts[1].substr(starts[1].find(' ')), expected);
    const crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EAccessViolation");
}

// The run-time's heap is locked by the faulting thread: the report allocates from memory of its
// own, so it is written at once and the program restarts.
TEST(CrashBound, FaultHoldingTheRunTimeHeapLockIsReportedAndRestarts) {
    TProbe probe("crash_locked", {"terminate=1", "minrun=0", "lock=crt"});
    ASSERT_TRUE(probe.Start());
    EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
    ExpectTheLockedFault(probe.Log());
    EXPECT_TRUE(probe.AwaitMarker("restarted.txt", 15000));
}

// The process heap is locked: the system's own calls (files, windows) wait for it. The program
// ends within the bound; a report, when one could be made, is of that fault.
TEST(CrashBound, FaultHoldingTheProcessHeapLockEndsTheProgramWithinTheBound) {
    TProbe probe("crash_locked", {"terminate=0", "lock=process"});
    ASSERT_TRUE(probe.Start());
    EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
    const crash::TLogFile log = probe.Log();
    if (log.Count() > 0) ExpectTheLockedFault(log);
    EXPECT_FALSE(probe.HasMarker("restarted.txt"));
}

// A fault in a message dispatched by the main thread while it waits for the report of a C++
// exception: that report still ends, then the fault is reported, then the program restarts.
TEST(CrashBound, FaultInAMessageDispatchedWhileWaitingForAReportGivesBothReportsAndRestarts) {
    TProbe probe("crash_waiting", {"terminate=1", "minrun=0"});
    ASSERT_TRUE(probe.Start());
    EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
    const crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 2);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EProbeWaiting");
    EXPECT_EQ(log.ItemValue(1, "2.4"), "EAccessViolation");
    auto rows = ExceptionRows(log.Report(1));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().Procedure, "FaultWhileWaiting") << Describe(rows);
    EXPECT_TRUE(probe.AwaitMarker("restarted.txt", 15000));
}

// The same while waiting, with std::terminate or abort() instead of a fault: the report in
// progress is not discarded; both land, then the restart.
TEST(CrashBound, TerminateOrAbortWhileWaitingForAReportKeepsThatReport) {
    const struct {
        const char* Then;
        const char* Type;
    } cases[] = {{"terminate", "EProbeTerminate"}, {"abort", "EAbnormalTermination"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Then);
        TProbe probe("crash_waiting", {"terminate=1", "minrun=0", std::string("then=") + c.Then});
        ASSERT_TRUE(probe.Start());
        EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
        const crash::TLogFile log = probe.Log();
        ASSERT_EQ(log.Count(), 2);
        EXPECT_EQ(log.ItemValue(0, "2.4"), "EProbeWaiting");
        EXPECT_EQ(log.ItemValue(1, "2.4"), c.Type);
        EXPECT_TRUE(probe.AwaitMarker("restarted.txt", 15000));
    }
}

// The report thread faults before the log step: a reduced report of the exception lands (its
// values, no stacks), then the configured restart. A fault after the log step keeps the full one.
TEST(CrashBound, FaultOnTheReportThreadStillLeavesOneReportAndRestarts) {
    for (const std::string where : {"present", "send"}) {
        SCOPED_TRACE(where);
        TProbe probe("crash_guard", {"terminate=1", "minrun=0", "where=" + where});
        ASSERT_TRUE(probe.Start());
        EXPECT_EQ(probe.WaitForExit(kBoundWithStart), 1);
        const crash::TLogFile log = probe.Log();
        ASSERT_EQ(log.Count(), 1);
        EXPECT_EQ(log.ItemValue(0, "2.4"), "EProbeGuard");
        EXPECT_EQ(log.ItemValue(0, "2.5"), "Reported although the report failed.");
        const bool reduced = log.ItemValue(0, "7.1").value_or("").rfind("Reduced report:", 0) == 0;
        EXPECT_EQ(reduced, where == "present");
        EXPECT_EQ(ExceptionRows(log.Report(0)).empty(), where == "present");
        EXPECT_TRUE(probe.AwaitMarker("restarted.txt", 15000));
        EXPECT_FALSE(probe.HasMarker("returned.txt"));
    }
}

}  // namespace
}  // namespace quillan::test
