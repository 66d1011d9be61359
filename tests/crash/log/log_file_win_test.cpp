#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "crash/log/log_file.h"
#include "crash/options/options.h"
#include "crash/report/gatherers.h"
#include "crash/report/report_text.h"
#include "crash/report/system_gatherer_win.h"
#include "framework/core/file_io.h"
#include "framework/win/text.h"
#include "tests/crash/log/log_support.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

// Another program holds the log open without sharing it: the save fails with the "Log" warning
// and the reports already in the file stay.
TEST(LogFileWindows, LockedLogKeepsItsReports) {
    quillan::test::TempDir dir;
    std::string path = dir.Path() + "q.mlf";
    TLogFile log;
    ASSERT_TRUE(log.Open(path));
    ASSERT_FALSE(AppendReportToLog(log, test::MakeReport("1", "00401000", "first"), 10));
    std::string before = ReadFileBytes(path);
    HANDLE holder = CreateFileW(win::Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::optional<std::string> warning = AppendReportToLog(log, test::MakeReport("1", "00402000", "second"), 10);
    CloseHandle(holder);
    ASSERT_TRUE(warning.has_value());
    EXPECT_EQ(warning->rfind("[Log] ", 0), 0u) << *warning;
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"q.mlf"});
    // Once the file is free again the next save stores both.
    ASSERT_FALSE(AppendReportToLog(log, test::MakeReport("1", "00403000", "third"), 10));
    TLogFile again;
    ASSERT_TRUE(again.Open(path));
    EXPECT_EQ(again.Count(), 3);
}

// A report made of this machine's own values is stored, read back and recognised.
TEST(LogFileWindows, ReportOfThisMachineRoundTrips) {
    TMishapModuleOptions options;
    TReportContext context;
    context.Options = &options;
    TWindowsSystemGatherer system(win::ModuleFileName());
    GatherReportValues(context.Values, system, {}, {0, 0x401000, win::ModuleFileName(), "EFoo", "Line one\r\nLine two"},
                       CaptureActiveControls());
    std::string text = BuildReportText(context);
    quillan::test::TempDir dir;
    TLogFile log;
    ASSERT_TRUE(log.Open(dir.Path() + "machine.mlf"));
    ASSERT_FALSE(AppendReportToLog(log, text, 5));
    TLogFile again;
    ASSERT_TRUE(again.Open(dir.Path() + "machine.mlf"));
    ASSERT_EQ(again.Count(), 1);
    EXPECT_TRUE(again.IsDuplicateOf(text));
    EXPECT_EQ(*again.ItemValue(0, "4.9"), context.Values[TReportItem::DisplayMode]);
    EXPECT_EQ(*again.ItemValue(0, "2.5"), "Line one\r\n Line two");
}

}  // namespace
}  // namespace quillan::crash
