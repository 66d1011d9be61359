// The report flow's rules in real processes under Wine: duplicates, exceptions raised during a
// report, the filter with and without its box, the crash-burst rule, the hang detector.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/crash/capture/probe_runner.h"

namespace quillan::test {
namespace {

TEST(ReportFlow, TheSameExceptionTwiceIsStoredOnce) {
    TProbe probe("crash_flow", {"scenario=duplicate"});
    EXPECT_EQ(probe.Run(), 0);
    EXPECT_TRUE(probe.HasMarker("done.txt"));
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.5"), "The same failure twice.");
    EXPECT_EQ(FindRow(ExceptionRows(log.Report(0)), "crash_flow", "ThrowFlow", "THROW-FLOW"), 0);
}

TEST(ReportFlow, TwoThreadsFailingAtOnceGetOneWholeReportEach) {
    TProbe probe("crash_flow", {"scenario=concurrent"});
    EXPECT_EQ(probe.Run(), 0);
    EXPECT_TRUE(probe.HasMarker("done.txt"));
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 2);
    std::vector<std::string> messages;
    for (int i = 0; i < 2; ++i) {
        messages.push_back(log.ItemValue(i, "2.5").value_or(""));
        // Each report's exception thread is its own failing thread, thrown at the same place.
        auto rows = ExceptionRows(log.Report(i));
        EXPECT_EQ(FindRow(rows, "crash_flow", "ThrowFlow", "THROW-FLOW"), 0) << Describe(rows);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.front().Thread.find("[Main]"), std::string::npos) << rows.front().Thread;
    }
    std::sort(messages.begin(), messages.end());
    EXPECT_EQ(messages, (std::vector<std::string>{"Concurrent failure 1.", "Concurrent failure 2."}));
    EXPECT_NE(ExceptionRows(log.Report(0)).front().Thread, ExceptionRows(log.Report(1)).front().Thread);
}

TEST(ReportFlow, ExceptionsRaisedDuringAReportOnItsThreadAreSwallowed) {
    // One from the exception-notify event, one from a message the waiting thread dispatched; the
    // key waiting beside it was answered with a beep and the quit message dropped.
    TProbe probe("crash_flow", {"scenario=reentrant"});
    EXPECT_EQ(probe.Run(), 0);
    ASSERT_TRUE(probe.HasMarker("reentrant.txt"));
    EXPECT_EQ(ReadFileBytes(probe.Marker("reentrant.txt")), "inner=1 pumped=1 keys=0 left=0");
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.5"), "The outer failure.");
}

// The exported entry takes only this program's exceptions: another polymorphic object, code and
// heap bytes go back to the caller, unreported and without a fault; the real one is reported.
TEST(ReportFlow, TheExportedEntryReportsOnlyAnExceptionObject) {
    TProbe probe("crash_entry", {});
    EXPECT_EQ(probe.Run(), 0);
    ASSERT_TRUE(probe.HasMarker("returned.txt"));
    EXPECT_EQ(ReadFileBytes(probe.Marker("returned.txt")), "1 1 1 0");
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EProbeEntry");
}

TEST(ReportFlow, AFilteredClassAndItsDescendantsAreConsumedSilently) {
    TProbe probe("crash_flow", {"scenario=filter", "filter=EProbeFiltered"});
    EXPECT_EQ(probe.Run(), 0);
    EXPECT_TRUE(probe.HasMarker("done.txt"));
    EXPECT_EQ(probe.Log().Count(), 0);
}

TEST(ReportFlow, AFilterMessageIsShownInAnInformationBoxInsteadOfAReport) {
    const std::string message = "Не удалось: это ожидаемо.";
    TProbe probe("crash_flow", {"scenario=filter", "filter=EProbeFiltered", "filtermsg=" + message});
    ASSERT_TRUE(probe.Start());
    // One box per exception: the filtered class, then its descendant.
    for (int box = 0; box < 2; ++box) {
        HWND found = nullptr;
        ASSERT_TRUE(
            WaitFor([&] { return (found = FindDialogBox(probe.ProcessId(), "Information.")) != nullptr; }, 20000))
            << "box " << box;
        const std::vector<std::string> texts = ChildTexts(found);
        EXPECT_NE(std::find(texts.begin(), texts.end(), message), texts.end());
        PostMessageW(found, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(found) || !IsWindowVisible(found); }, 10000);
    }
    EXPECT_EQ(probe.WaitForExit(), 0);
    EXPECT_EQ(probe.Log().Count(), 0);
}

TEST(ReportFlow, TenReportsWithinAMinuteRestartTheProgramOnlyWithTheBurstRuleOn) {
    {
        TProbe probe("crash_flow", {"scenario=burst", "burst=1", "terminate=1", "minrun=0"});
        EXPECT_EQ(probe.Run(), 1);
        EXPECT_FALSE(probe.HasMarker("done.txt"));
        EXPECT_TRUE(probe.AwaitMarker("restarted.txt", 15000));
        crash::TLogFile log = probe.Log();
        ASSERT_EQ(log.Count(), 10);
        EXPECT_EQ(log.ItemValue(9, "2.5"), "Burst failure 10.");
    }
    TProbe probe("crash_flow", {"scenario=burst", "terminate=1"});
    EXPECT_EQ(probe.Run(), 0);
    EXPECT_TRUE(probe.HasMarker("done.txt"));
    EXPECT_EQ(probe.Log().Count(), 10);
    EXPECT_FALSE(probe.HasMarker("restarted.txt"));
}

// Frozen while it holds the process heap's lock, which the report needs: the main thread is
// suspended only while its stack is copied, so it lets the heap go, the report lands and the
// program goes on to its normal end.
TEST(ReportFlow, AMainThreadFrozenInsideTheHeapLockIsReportedAndRunsOn) {
    TProbe probe("crash_hang", {"hang=2", "heaplock=1"});
    EXPECT_EQ(probe.Run(), 0);
    EXPECT_TRUE(probe.HasMarker("done.txt"));
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EApplicationFrozen");
    auto rows = ExceptionRows(log.Report(0));
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows.front().Thread.find("[Main]"), std::string::npos);
    EXPECT_GE(FindRow(rows, "crash_hang", "FreezeHoldingTheHeap", "HANG-LOCKED"), 0) << Describe(rows);
}

TEST(ReportFlow, AFrozenMainWindowGivesOneFrozenReportWithTheMainThreadsStack) {
    TProbe probe("crash_hang", {"hang=2"});
    EXPECT_EQ(probe.Run(), 0);
    EXPECT_TRUE(probe.HasMarker("done.txt"));
    crash::TLogFile log = probe.Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "EApplicationFrozen");
    EXPECT_EQ(log.ItemValue(0, "2.5"), "The application seems to be frozen.");
    auto rows = ExceptionRows(log.Report(0));
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows.front().Thread.find("[Main]"), std::string::npos);
    EXPECT_GE(FindRow(rows, "crash_hang", "Freeze", "HANG-SLEEP"), 0) << Describe(rows);
}

}  // namespace
}  // namespace quillan::test
