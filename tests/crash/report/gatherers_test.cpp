#include <gtest/gtest.h>

#include <stdexcept>

#include "crash/report/date_text.h"
#include "crash/report/gatherers.h"

namespace quillan::crash {
namespace {

// Fills what it can and fails in the middle of the computer part.
class FailingGatherer : public ISystemGatherer {
public:
    void Application(TReportValues& values, const TApplicationFacts&) override {
        values[TReportItem::VersionNumber] = "1.2.3.4";
    }
    void Computer(TReportValues& values) override {
        values[TReportItem::ComputerName] = "PC";
        throw std::runtime_error("no memory status");
    }
    void OperatingSystem(TReportValues&) override { throw 42; }
    void Network(TReportValues& values) override { values[TReportItem::Dhcp] = DhcpText(false, ""); }
};

TEST(Gatherers, FailuresLeaveOnlyTheirOwnValuesEmpty) {
    TReportValues values;
    FailingGatherer system;
    TApplicationFacts application{EncodeDateTime(2024, 5, 6, 7, 8, 9), 0, ""};
    TExceptionFacts exception{EncodeDateTime(2024, 5, 6, 7, 9, 0), 0x401234, "C:\\App\\quillan.exe", "", ""};
    TActiveControls controls{"TFForm", "Quillan", "TEdit", "abc"};
    GatherReportValues(values, system, application, exception, controls, kLayout32);
    EXPECT_EQ(values[TReportItem::StartDate], "2024-05-06 07:08:09");
    EXPECT_EQ(values[TReportItem::CompilationDate], "");
    EXPECT_EQ(values[TReportItem::VersionNumber], "1.2.3.4");
    EXPECT_EQ(values[TReportItem::ExceptionDate], "2024-05-06 07:09:00");
    EXPECT_EQ(values[TReportItem::ExceptionAddress], "00401234");
    EXPECT_EQ(values[TReportItem::ExceptionModule], "quillan.exe");
    EXPECT_EQ(values[TReportItem::ExceptionType], "Unknown exception type.");
    EXPECT_EQ(values[TReportItem::ExceptionMessage], "Unknown error message.");
    EXPECT_EQ(values[TReportItem::ControlText], "abc");
    EXPECT_EQ(values[TReportItem::ComputerName], "PC");
    EXPECT_EQ(values[TReportItem::TotalMemory], "");
    EXPECT_EQ(values[TReportItem::OsType], "");
    EXPECT_EQ(values[TReportItem::Dhcp], "OFF             - ");
    exception.ClassName = "EAccessViolation";
    exception.Message = "Access violation";
    GatherReportValues(values, system, application, exception, controls, kLayout64);
    EXPECT_EQ(values[TReportItem::ExceptionAddress], "0000000000401234");
    EXPECT_EQ(values[TReportItem::ExceptionType], "EAccessViolation");
    EXPECT_EQ(values[TReportItem::ExceptionMessage], "Access violation");
}

TEST(Gatherers, ValueTexts) {
    EXPECT_EQ(UpTimeText(0), "0 hours, 0 minutes, 0 seconds");
    EXPECT_EQ(UpTimeText(3600 + 60 + 1), "1 hour, 1 minute, 1 second");
    EXPECT_EQ(UpTimeText(50 * 3600 + 59 * 60 + 7), "50 hours, 59 minutes, 7 seconds");
    EXPECT_EQ(DisplayModeText(1280, 1024, 32), "1280 x 1024, 32 bit");
    EXPECT_EQ(MegabytesText(3u << 20), "3 MB");
    EXPECT_EQ(DhcpText(true, "10.0.0.1"), "ON              - 10.0.0.1");
    EXPECT_EQ(MaskedControlText("Edit", true, "secret"), "******");
    EXPECT_EQ(MaskedControlText(" TMaskEdit ", true, "abc"), "***");
    EXPECT_EQ(MaskedControlText("Edit", false, "secret"), "secret");
    EXPECT_EQ(MaskedControlText("Button", true, "OK"), "OK");
}

}  // namespace
}  // namespace quillan::crash
