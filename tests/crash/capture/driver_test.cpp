// The report driver on the host: its entry rules, the order of the pipeline's steps, filters,
// duplicates, the crash-burst rule, events on the waiting thread and the internal-error path,
// observed through a recording platform and the real log file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "crash/capture/capture_errors.h"
#include "crash/capture/cpp_exception.h"
#include "crash/capture/internal_texts.h"
#include "crash/capture/report_driver.h"
#include "crash/options/carried_options.h"
#include "crash/report/date_text.h"
#include "tests/crash/capture/recording_platform.h"
#include "tests/support/temp_dir.h"

namespace quillan {
QUILLAN_EXCEPTION(ETestFailure, Exception);
QUILLAN_EXCEPTION(ETestChild, ETestFailure);
}  // namespace quillan

namespace quillan::test {
namespace {

using crash::THostKind;
using crash::TReportMode;

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The configuration the program carries: reports go to the log only.
        crash::ApplyCarriedOptions(platform.ModuleOptions);
    }

    unsigned char Raise(const std::string& message, THostKind kind = THostKind::Framework,
                        TReportMode mode = TReportMode::Unhandled, crash::TAddress address = kInExe) {
        ETestFailure failure(message);
        crash::TCppException exception(failure);
        return Raise(exception, kind, mode, address);
    }
    unsigned char Raise(crash::IMishapException& exception, THostKind kind = THostKind::Framework,
                        TReportMode mode = TReportMode::Unhandled, crash::TAddress address = kInExe) {
        crash::TExceptionCall call;
        call.Exception = &exception;
        call.Address = address;
        call.HostKind = kind;
        call.Module = kExe;
        call.Mode = mode;
        return driver.ExceptionManager(call);
    }
    crash::TLogFile Log() { return ReadLogFile(platform.LogPath()); }
    static crash::TLogFile ReadLogFile(const std::string& path) {
        crash::TLogFile log;
        if (FileExists(path)) log.LoadFromBytes(ReadFileBytes(path));
        return log;
    }
    // Whether the calls starting with these prefixes were made in this order.
    ::testing::AssertionResult InOrder(const std::vector<std::string>& prefixes) {
        auto calls = platform.Calls();
        size_t at = 0;
        for (const std::string& prefix : prefixes) {
            while (at < calls.size() && calls[at].rfind(prefix, 0) != 0) ++at;
            if (at == calls.size()) {
                std::string seen;
                for (const auto& call : calls) seen += "  " + call + "\n";
                return ::testing::AssertionFailure() << "\"" << prefix << "\" missing or out of order in:\n" << seen;
            }
            ++at;
        }
        return ::testing::AssertionSuccess();
    }

    TempDir dir;
    TRecordingPlatform platform{dir.Path()};
    crash::TMishapModuleOptionsEx current;
    crash::TReportDriver driver{platform, current};
};

TEST_F(DriverTest, AReportRunsItsStepsInOrderOnTheReportThreadAndIsConsumed) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfSuspendWindowsThreads);
    platform.ModuleOptions.SetSendFlags(platform.ModuleOptions.SendFlags() | crash::sfAttachScreenshot);
    platform.ModuleOptions.SetMailMethod(2);
    EXPECT_EQ(Raise("First failure."), 0);
    EXPECT_TRUE(
        InOrder({"BringToFront", "Focus 1", "RunReportThread", "BeginReport", "LoadModuleOptions", "BuildStacks 1 15",
                 "Suspend 7", "GatherModules", "GatherValues", "ReadCpu", "CaptureScreenshot desktop",
                 "SaveScreenshot " + dir.Path() + "Screenshot.png", "FreeScreenshot", "Send here",
                 "DeleteTempFile " + dir.Path() + "Screenshot.png", "Resume 7"}));
    // Only the plain thread was asked for; never the exception thread.
    EXPECT_EQ(platform.Count("Suspend"), 1);
    EXPECT_EQ(driver.ExceptionCount(), 1);
    EXPECT_EQ(driver.LastExceptionMessage(), "First failure.");
    crash::TLogFile log = Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "2.4"), "ETestFailure");
    EXPECT_EQ(log.ItemValue(0, "2.5"), "First failure.");
    EXPECT_EQ(log.ItemValue(0, "2.2"), crash::HexText(kInExe, crash::NativeLayout()));
    EXPECT_EQ(log.ItemValue(0, "2.3"), "probe.exe");
    EXPECT_NE(log.Report(0).find("|probe.cpp|"), std::string::npos);
    // The machine's values come through the gatherer, the program's from its facts.
    EXPECT_EQ(log.ItemValue(0, "4.1"), "HOST");
    EXPECT_EQ(log.ItemValue(0, "1.3"), "1.0.0.0");
    EXPECT_EQ(log.ItemValue(0, "1.1"), crash::DateTimeText(45000.25));
    // The carried configuration shows nothing and never ends the program.
    EXPECT_EQ(platform.Count("ShowDialog") + platform.Count("Box") + platform.Count("Terminate"), 0);
}

TEST_F(DriverTest, TheEntryLetsInvalidDisabledAndAlreadyReportedExceptionsThrough) {
    crash::TExceptionCall call;
    EXPECT_EQ(driver.ExceptionManager(call), 1);  // no exception object

    driver.SetActive(false);
    EXPECT_EQ(Raise("Inactive."), 1);
    driver.SetActive(true);

    ETestFailure reported(std::string(crash::kSafeCallPrefix) + "Already reported.");
    crash::TCppException safeCall(reported);
    EXPECT_EQ(Raise(safeCall), 0);

    current.SetEnabled(false);
    EXPECT_EQ(Raise("Disabled."), 1);
    current.SetEnabled(true);

    driver.ExcludeThread(platform.ThreadNumber());
    EXPECT_EQ(Raise("From a library thread."), 1);
    driver.IncludeThread(platform.ThreadNumber());

    EXPECT_EQ(platform.Count("RunReportThread"), 0);
    EXPECT_EQ(Log().Count(), 0);
}

TEST_F(DriverTest, ASafeCallExceptionIsMarkedOnceAndNotReportedAgain) {
    ETestFailure failure("Across a safecall boundary.");
    crash::TCppException exception(failure);
    EXPECT_EQ(Raise(exception, THostKind::RunTime, TReportMode::SafeCall), 0);
    EXPECT_EQ(failure.Message(), std::string(crash::kSafeCallPrefix) + "Across a safecall boundary.");
    // When it reaches the framework's handler: consumed without a second report.
    EXPECT_EQ(Raise(exception), 0);
    EXPECT_EQ(failure.Message(), std::string(crash::kSafeCallPrefix) + "Across a safecall boundary.");
    EXPECT_EQ(platform.Count("RunReportThread"), 1);
}

TEST_F(DriverTest, TheApplicationComesToTheFrontForItsFrameworkOrInAGuiProcess) {
    Raise("Framework.", THostKind::Framework);
    Raise("Run time, GUI.", THostKind::RunTime);
    platform.Gui = false;
    Raise("Run time, console.", THostKind::RunTime);
    Raise("Framework, console.", THostKind::Framework);
    Raise("Event.", THostKind::FrameworkEvent);
    EXPECT_EQ(platform.Count("BringToFront"), 3);
}

TEST_F(DriverTest, APasswordEditsTextIsMaskedAndOthersAreKept) {
    platform.Focus = {0x10, " TEdit ", "secret", true, "TLoginForm", "Login"};
    Raise("Masked.");
    EXPECT_EQ(Log().ItemValue(0, "3.4"), "******");
    EXPECT_EQ(Log().ItemValue(0, "3.3"), " TEdit ");
    EXPECT_EQ(Log().ItemValue(0, "3.1"), "TLoginForm");
    EXPECT_EQ(Log().ItemValue(0, "3.2"), "Login");
    platform.Focus = {0x10, "TButton", "OK", true, "", ""};
    Raise("Unmasked.");
    EXPECT_EQ(Log().ItemValue(1, "3.4"), "OK");
}

TEST_F(DriverTest, FiltersMatchAClassOrAnAncestorAndShowTheirMessageInstead) {
    platform.ModuleOptions.AddFilter("etestfailure", "Shown instead.");
    platform.ModuleOptions.AddFilter("ETestChild", "Never: the first entry wins.");
    ETestChild child("Filtered.");
    crash::TCppException exception(child);
    EXPECT_EQ(Raise(exception), 0);
    EXPECT_EQ(platform.Count("Box Information.|Shown instead.|" + std::to_string(crash::kFilterBoxFlags)), 1);
    EXPECT_EQ(platform.Count("Box"), 1);
    EXPECT_EQ(platform.Count("BuildStacks"), 0);
    EXPECT_EQ(Log().Count(), 0);

    // An empty message consumes it silently.
    platform.ModuleOptions.ClearFilters();
    platform.ModuleOptions.AddFilter("ETestFailure", "");
    EXPECT_EQ(Raise("Silent."), 0);
    EXPECT_EQ(platform.Count("Box"), 1);
    EXPECT_EQ(Log().Count(), 0);

    // Neither for an exception that escaped a thread, nor with handling off.
    EXPECT_EQ(Raise("Escaped a thread.", THostKind::RunTime, TReportMode::Thread), 0);
    platform.ModuleOptions.SetHandlingEnabled(false);
    EXPECT_EQ(Raise("Handling off."), 0);
    EXPECT_EQ(Log().Count(), 2);
}

TEST_F(DriverTest, ADuplicateIsNeitherStoredNorSentNorAskedAbout) {
    platform.ModuleOptions.SetMailMethod(2);
    platform.ModuleOptions.SetLogFlags(platform.ModuleOptions.LogFlags() | crash::lfAskReproduceSteps);
    Raise("Twice.");
    Raise("Twice.");
    EXPECT_EQ(Log().Count(), 1);
    EXPECT_EQ(platform.Count("Send"), 1);
    EXPECT_EQ(platform.Count("AskReproduction"), 1);
    // Another message, another address: new reports.
    Raise("Once.");
    Raise("Twice.", THostKind::Framework, TReportMode::Unhandled, kInExe + 4);
    EXPECT_EQ(Log().Count(), 3);
    // Without the rule every report is stored.
    platform.ModuleOptions.SetLogFlags(platform.ModuleOptions.LogFlags() & ~crash::lfSkipDuplicates);
    Raise("Twice.");
    EXPECT_EQ(Log().Count(), 4);
}

TEST_F(DriverTest, AfterAnUpdateTheFirstReportOfAnOldFaultStartsTheNewLog) {
    platform.ModuleOptions.SetMailMethod(2);
    platform.ModuleOptions.SetLogFlags(platform.ModuleOptions.LogFlags() | crash::lfDeleteOnVersionChange |
                                       crash::lfAskReproduceSteps);
    Raise("Old and new.");
    ASSERT_EQ(Log().Count(), 1);
    platform.Version = "2.0.0.0";
    // The old log goes with the old version, so this report duplicates nothing that stays.
    Raise("Old and new.");
    crash::TLogFile log = Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_EQ(log.ItemValue(0, "1.3"), "2.0.0.0");
    EXPECT_EQ(platform.Count("Send"), 2);
    EXPECT_EQ(platform.Count("AskReproduction"), 2);
    // From then on the rule of duplicates holds again.
    Raise("Old and new.");
    EXPECT_EQ(Log().Count(), 1);
    EXPECT_EQ(platform.Count("Send"), 2);
}

// A fault in the first minute of the run ends the program instead of restarting it (a program
// that fails at every start would restart for ever); later ones restart it, naming the log.
TEST_F(DriverTest, AFaultWithinAMinuteOfTheStartEndsTheProgramInsteadOfRestartingIt) {
    platform.ModuleOptions.SetTerminateAction(1);
    driver.SetStartDirectory("C:\\Start");
    Raise("Logged.");
    platform.Age = 59.5;
    driver.TerminateOrRestart();
    EXPECT_EQ(platform.Count("Restart"), 0);
    EXPECT_EQ(platform.Count("Terminate"), 1);
    platform.Age = 60;
    driver.TerminateOrRestart();
    EXPECT_EQ(platform.Count("Restart C:\\Start log=" + platform.LogPath()), 1);
    EXPECT_EQ(platform.Count("Terminate"), 2);
}

// The user's own Restart in the crash dialog restarts the program however soon it came.
TEST_F(DriverTest, TheDialogsRestartButtonRestartsEvenWithinTheFirstMinute) {
    platform.ModuleOptions.SetTerminateAction(1);
    platform.ModuleOptions.SetDialogFlags(platform.ModuleOptions.DialogFlags() | crash::dfShowDialog);
    platform.Dialog.TerminatePressed = true;
    platform.Age = 5;
    Raise("Restart pressed.");
    EXPECT_EQ(platform.Count("Restart"), 1);
    EXPECT_EQ(platform.Count("Terminate"), 1);
    EXPECT_TRUE(InOrder({"Restart", "Terminate"}));
}

TEST_F(DriverTest, TheTenthReportWithinAMinuteRestartsWithTheBurstRuleOn) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfCrashBurst);
    platform.ModuleOptions.SetTerminateAction(0);
    platform.ModuleOptions.SetCrashBurstAction(1);
    driver.SetStartDirectory("C:\\Start");
    platform.ClockStep = 2.0 / 86400;  // every report takes a few seconds of the clock
    for (int i = 1; i <= 9; ++i) Raise("Burst " + std::to_string(i) + ".");
    EXPECT_EQ(platform.Count("Terminate"), 0);
    Raise("Burst 10.");
    EXPECT_EQ(platform.Count("Restart C:\\Start"), 1);
    EXPECT_EQ(platform.Count("Terminate"), 1);
    EXPECT_TRUE(InOrder({"Restart", "Terminate"}));
    EXPECT_EQ(current.TerminateAction(), 1);
    EXPECT_EQ(Log().Count(), 10);
}

TEST_F(DriverTest, ReportsSpreadOverMoreThanTheBurstTimeDoNotEndTheProgram) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfCrashBurst);
    platform.ClockStep = 4.0 / 86400;  // ten reports take about 80 s
    for (int i = 1; i <= 12; ++i) Raise("Slow " + std::to_string(i) + ".");
    EXPECT_EQ(platform.Count("Terminate"), 0);
    EXPECT_EQ(driver.CrashTimes().Size(), 10u);
}

TEST_F(DriverTest, SendingInAThreadLeavesTheBurstRuleAndTheEndToTheSendingThread) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfCrashBurst);
    platform.ModuleOptions.SetSendFlags(platform.ModuleOptions.SendFlags() | crash::sfSendInThread);
    platform.ModuleOptions.SetUploadMethod(1);
    for (int i = 1; i <= 10; ++i) Raise("Threaded " + std::to_string(i) + ".");
    EXPECT_EQ(platform.Count("Send thread"), 10);
    EXPECT_EQ(platform.Count("Terminate"), 0);
}

TEST_F(DriverTest, AScreenshotNotHandedToTheSendingThreadIsDeletedByTheReport) {
    platform.ModuleOptions.SetSendFlags(crash::sfSendInThread | crash::sfAttachScreenshot);
    platform.ModuleOptions.SetDialogFlags(crash::dfShowDialog);
    platform.ModuleOptions.SetMailMethod(2);
    const std::string screenshot = "DeleteTempFile " + dir.Path() + "Screenshot.png";
    Raise("Sent from the thread.");
    EXPECT_EQ(platform.Count("Send thread"), 1);
    EXPECT_EQ(platform.Count(screenshot), 0);
    // The user cleared "Send": no thread takes the file, so the report removes it.
    platform.Dialog.SendUnchecked = true;
    Raise("Not sent.");
    EXPECT_EQ(platform.Count("Send thread"), 1);
    EXPECT_EQ(platform.Count(screenshot), 1);
}

TEST_F(DriverTest, ExceptionsRaisedDuringAReportOnItsOwnThreadAreSwallowed) {
    int inner = -1;
    std::uint32_t eventThread = 0;
    driver.Events.OnExceptionNotify = [&](const crash::TReportJob&, bool&) {
        eventThread = platform.ThreadNumber();
        inner = Raise("Raised by the event.");
    };
    EXPECT_EQ(Raise("Outer."), 0);
    // The event ran on the waiting thread, where the second exception was consumed unreported.
    EXPECT_EQ(eventThread, 1u);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(platform.Count("RunReportThread"), 1);
    ASSERT_EQ(Log().Count(), 1);
    EXPECT_EQ(Log().ItemValue(0, "2.5"), "Outer.");
}

TEST_F(DriverTest, AnEventThatDeclinesTheExceptionLeavesItToTheCaller) {
    driver.Events.OnExceptionNotify = [](const crash::TReportJob&, bool& handled) { handled = false; };
    EXPECT_EQ(Raise("Declined."), 1);
    EXPECT_EQ(Log().Count(), 0);
    EXPECT_EQ(driver.ExceptionCount(), 0);
    EXPECT_EQ(platform.Count("FreeScreenshot"), 1);
}

TEST_F(DriverTest, CustomDataBecomesTheOtherSection) {
    driver.Events.OnCustomData = [](const crash::TReportJob&) { return std::string("Templates: 3"); };
    Raise("With custom data.");
    crash::TLogFile log = Log();
    ASSERT_EQ(log.Count(), 1);
    EXPECT_NE(log.Report(0).find("Other Information:"), std::string::npos);
    EXPECT_EQ(log.ItemValue(0, "7.1"), "Templates: 3");
}

TEST_F(DriverTest, TheDialogConsoleAndTheirFailuresFollowTheDialogFlags) {
    platform.ModuleOptions.SetDialogFlags(platform.ModuleOptions.DialogFlags() | crash::dfShowDialog);
    platform.Dialog.CopyToClipboard = true;
    Raise("Shown.");
    EXPECT_TRUE(InOrder({"GatherValues", "ShowDialog 1", "CopyToClipboard"}));

    platform.DialogFails = true;
    Raise("Not shown.");
    EXPECT_EQ(driver.LastError(), crash::TMishapLogErrorCode::eeShowError);
    EXPECT_EQ(driver.LastErrorMessage(), "[GUI] The dialog could not be shown");
    EXPECT_EQ(platform.Count("Debug [WARNING] - Code: eeShowError"), 1);
    EXPECT_EQ(Log().Count(), 2);  // still logged

    platform.Console = true;
    platform.DialogFails = false;
    Raise("On the console.", THostKind::RunTime);
    EXPECT_EQ(platform.Count("WriteConsoleText"), 1);

    // The Terminate button ends the program after the report.
    platform.Console = false;
    platform.Dialog.TerminatePressed = true;
    platform.ModuleOptions.SetTerminateAction(0);
    Raise("Terminate pressed.");
    EXPECT_EQ(platform.Count("Terminate"), 1);
    EXPECT_EQ(platform.Count("Restart"), 0);
}

TEST_F(DriverTest, AnExceptionThatEscapedAThreadEndsNothingAndSuspendsNothing) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfSuspendWindowsThreads);
    Raise("Escaped.", THostKind::RunTime, TReportMode::Thread);
    EXPECT_EQ(platform.Count("Suspend"), 0);
    EXPECT_EQ(Log().Count(), 1);
}

// An exception thrown on thread 7 and reported from the main thread (carried over): the main
// thread waits for the report and serves its events, so the suspension flags leave it running.
TEST_F(DriverTest, TheThreadWaitingForTheReportIsNeverSuspended) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfSuspendWindowsThreads |
                                             crash::bfSuspendRuntimeThreads);
    std::uint32_t notifiedOn = 0;
    driver.Events.OnExceptionNotify = [&](const crash::TReportJob&, bool&) { notifiedOn = platform.ThreadNumber(); };
    ETestFailure failure("Carried over.");
    crash::TCppException exception(failure);
    crash::TExceptionCall call;
    call.Exception = &exception;
    call.Address = kInExe;
    call.HostKind = THostKind::Framework;
    call.Module = kExe;
    call.ExceptionThreadId = 7;
    EXPECT_EQ(driver.ExceptionManager(call), 0);
    EXPECT_EQ(platform.Count("Suspend 1"), 0);
    EXPECT_EQ(platform.Count("Suspend 8"), 1);
    EXPECT_EQ(platform.Count("Suspend 7"), 0);  // the exception thread
    EXPECT_EQ(notifiedOn, 1u);
    EXPECT_EQ(Log().Count(), 1);
}

TEST_F(DriverTest, ALogThatCannotBeWrittenIsAWarningAndTheReportGoesOn) {
    platform.ModuleOptions.SetOutputPath(dir.Path() + "missing" + kSep + "deeper" + kSep);
    platform.ModuleOptions.SetDialogFlags(platform.ModuleOptions.DialogFlags() | crash::dfShowDialog);
    EXPECT_EQ(Raise("Unlogged."), 0);
    EXPECT_EQ(driver.LastError(), crash::TMishapLogErrorCode::eeLogError);
    EXPECT_EQ(driver.LastErrorMessage(), "General 'Log' error.");
    EXPECT_EQ(platform.Count("ShowDialog"), 1);
}

// A sending thread warns while the report thread warns and reads: every message read is one of
// those written, whole.
TEST_F(DriverTest, WarningsFromTwoThreadsAtOnceKeepTheLastErrorWhole) {
    platform.RecordDebugOutput = false;
    const std::string smtp = "[SMTP] " + std::string(2000, 's');
    const std::string log = "[Log] " + std::string(3000, 'l');
    std::atomic<bool> go{false};
    auto warn = [&](crash::TMishapLogErrorCode code, const std::string& message) {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < 60000; ++i) driver.Warn(code, message, kInExe);
    };
    std::thread sender(warn, crash::TMishapLogErrorCode::eeEmailSMTPError, smtp);
    std::thread reporter(warn, crash::TMishapLogErrorCode::eeLogError, log);
    go = true;
    int torn = 0;
    for (int i = 0; i < 60000; ++i) {
        const std::string message = driver.LastErrorMessage();
        if (!message.empty() && message != smtp && message != log) ++torn;
    }
    sender.join();
    reporter.join();
    EXPECT_EQ(torn, 0);
    const std::string last = driver.LastErrorMessage();
    EXPECT_TRUE(last == smtp || last == log);
}

TEST_F(DriverTest, AFailingStepEndsTheReportQuietlyOrThroughTheInternalErrorPathUnderADebugger) {
    platform.ModuleOptions.SetBehaviourFlags(platform.ModuleOptions.BehaviourFlags() | crash::bfSuspendWindowsThreads);
    platform.OnGatherModules = [] { throw Exception("Gatherer broke"); };
    EXPECT_EQ(Raise("Lost."), 0);
    EXPECT_EQ(platform.Count("Debug"), 0);
    EXPECT_EQ(platform.Count("Resume 7"), 1);  // nothing stays suspended
    EXPECT_EQ(Log().Count(), 0);

    platform.Debugger = true;
    platform.BoxAnswer = 6;  // IDYES
    EXPECT_EQ(Raise("Lost again."), 0);
    EXPECT_EQ(platform.Count("Debug [ERROR] - Section: 6 - Address: " + crash::HexText(kInExe, crash::NativeLayout()) +
                             " - Message: \"Gatherer broke\""),
              1);
    EXPECT_TRUE(
        InOrder({"WriteTextFile " + dir.Path() + "probe.log", "Box Probably internal bug|Error: 'Gatherer broke'",
                 "MailFile " + dir.Path() + "probe.log", "Box Information|"}));
    EXPECT_NE(platform.InternalText.find("Section   : 6\r\n"), std::string::npos);
    EXPECT_NE(platform.InternalText.find("Dump      : $8B $45 $FC \r\n"), std::string::npos);
    EXPECT_NE(platform.InternalText.find("LastExcept: ETestFailure\r\n"), std::string::npos);
    EXPECT_EQ(platform.InternalText.substr(platform.InternalText.rfind("Message")), "Message   : Gatherer broke");
}

TEST_F(DriverTest, TheHangDetectorsReportBelongsToTheMainThread) {
    crash::EApplicationFrozen frozen("The application seems to be frozen.");
    crash::TCppException exception(frozen);
    crash::TExceptionCall call;
    call.Exception = &exception;
    call.Address = kInExe;
    call.FromHangDetector = true;
    std::thread detector([&] { driver.ExceptionManager(call); });
    detector.join();
    EXPECT_EQ(platform.Count("Focus 1"), 1);
    EXPECT_EQ(platform.Count("BuildStacks 1 "), 1);
    EXPECT_EQ(Log().ItemValue(0, "2.4"), "EApplicationFrozen");
}

TEST_F(DriverTest, TheModuleThatRaisedItOrElseTheExecutableGivesTheOptions) {
    // An address outside every module with data: the module passed in (here the executable).
    EXPECT_EQ(Raise("Outside.", THostKind::RunTime, TReportMode::Unhandled, kInDll), 0);
    EXPECT_EQ(platform.Count("LoadModuleOptions " + std::to_string(kExe)), 1);
    EXPECT_EQ(current.ModuleName(), platform.ExePath());
    // The options in force are the module's, copied over whatever was current.
    current.SetMaxLogReports(5);
    Raise("Inside.");
    EXPECT_EQ(current.MaxLogReports(), platform.ModuleOptions.MaxLogReports());
}

}  // namespace
}  // namespace quillan::test
