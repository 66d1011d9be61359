// A crash never becomes a hang: crash programs that fail where the report could wait for the
// failing thread, each checked by what it leaves and by ending within the report's bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

// The run-time's heap is locked by the faulting thread: the report allocates from memory of its
// own, so it is written at once and the program restarts.
TEST(CrashBound, FaultHoldingTheRunTimeHeapLockIsReportedAndRestarts) {
    TProbe probe("crash_locked", {"terminate=1", "lock=crt"});
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
    TProbe probe("crash_waiting", {"terminate=1"});
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
        TProbe probe("crash_waiting", {"terminate=1", std::string("then=") + c.Then});
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
        TProbe probe("crash_guard", {"terminate=1", "where=" + where});
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
