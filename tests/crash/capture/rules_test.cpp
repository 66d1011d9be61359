// The capture library's small rules: the burst window, the hang detector's counting, exception
// names read from run-time type information, system exceptions, and the library's own texts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <thread>

#include "crash/capture/capture_errors.h"
#include "crash/capture/cpp_exception.h"
#include "crash/capture/crash_times.h"
#include "crash/capture/hang_loop.h"
#include "crash/capture/internal_texts.h"
#include "crash/capture/sync_slot.h"
#include "crash/report/date_text.h"

namespace quillan::test {
namespace {

using crash::TCrashTimes;

TEST(CrashTimes, TheBurstNeedsExactlyCountTimesWithinTheMinutes) {
    TCrashTimes times;
    const double start = crash::EncodeDateTime(2024, 5, 1, 12, 0, 0);
    const double second = 1.0 / 86400;
    for (int i = 0; i < 9; ++i) times.Add(start + i * 6 * second, 10);
    EXPECT_FALSE(times.BurstReached(10, 1));  // nine
    times.Add(start + 60 * second, 10);       // the tenth, exactly one minute after the first
    EXPECT_TRUE(times.BurstReached(10, 1));
    times.Add(start + 66.5 * second, 10);  // the oldest goes: 6 s .. 66.5 s
    EXPECT_EQ(times.Size(), 10u);
    EXPECT_FALSE(times.BurstReached(10, 1));
    EXPECT_TRUE(times.BurstReached(10, 2));
    EXPECT_FALSE(times.BurstReached(0, 1));
}

// A window that answers or not as the script says; the clock is the calls of Wait.
class TScriptedProbe : public crash::IHangProbe {
public:
    std::deque<TPing> Pings;
    int WindowAfter = 0;  // FindWindow fails this many times first
    int Reports = 0;
    int PingsAtReport = 0;
    unsigned Slept = 0;
    int PingsSent = 0;

    bool FindWindow() override { return WindowAfter-- <= 0; }
    TPing Ping() override {
        ++PingsSent;
        if (Pings.empty()) return TPing::Answered;
        TPing next = Pings.front();
        Pings.pop_front();
        return next;
    }
    bool Wait(unsigned ms) override {
        Slept += ms;
        return !Pings.empty() || Reports == 0;
    }
    bool StopRequested() override { return Pings.empty() && Reports > 0; }
    void ReportFrozen() override {
        ++Reports;
        PingsAtReport = PingsSent;
    }
};

TEST(HangDetector, FortyMissedPingsMakeTwoSecondsAndOneAnswerResetsTheCount) {
    TScriptedProbe probe;
    probe.WindowAfter = 3;
    for (int i = 0; i < 39; ++i) probe.Pings.push_back(crash::IHangProbe::TPing::NoAnswer);
    probe.Pings.push_back(crash::IHangProbe::TPing::Answered);
    for (int i = 0; i < 40; ++i) probe.Pings.push_back(crash::IHangProbe::TPing::NoAnswer);
    crash::RunHangDetector(probe, 2);
    EXPECT_EQ(probe.Reports, 1);
    // 3 retries for the window, then 39 silent pings, one answer (five 50 ms sleeps), 40 silent.
    EXPECT_EQ(probe.PingsAtReport, 80);
    EXPECT_EQ(probe.Slept, 3 * 50u + 5 * 50u);
}

// Stops once its script is played.
class TStoppingProbe : public TScriptedProbe {
public:
    bool StopRequested() override { return Pings.empty(); }
    bool Wait(unsigned ms) override {
        Slept += ms;
        return !Pings.empty();
    }
};

TEST(HangDetector, AClosedWindowIsLookedForAgainInsteadOfCountedAsFrozen) {
    TStoppingProbe probe;
    for (int i = 0; i < 30; ++i) probe.Pings.push_back(crash::IHangProbe::TPing::NoAnswer);
    probe.Pings.push_back(crash::IHangProbe::TPing::Gone);
    for (int i = 0; i < 30; ++i) probe.Pings.push_back(crash::IHangProbe::TPing::NoAnswer);
    probe.Pings.push_back(crash::IHangProbe::TPing::Answered);
    crash::RunHangDetector(probe, 2);
    EXPECT_EQ(probe.Reports, 0);  // 60 silent pings, but never 40 in a row at the same window
}

TEST(CppException, ClassNamesComeFromTheProgramsHierarchyOrFromTypeInformation) {
    crash::EAccessViolation violation("x", crash::kStatusAccessViolation);
    crash::TCppException own(violation);
    EXPECT_EQ(own.ClassNames(), (std::vector<std::string>{"EAccessViolation", "EExternal", "Exception"}));

    std::out_of_range range("index 7");
    crash::TCppException standard(range);
    EXPECT_EQ(standard.ClassNames(),
              (std::vector<std::string>{"std::out_of_range", "std::logic_error", "std::exception"}));
    EXPECT_EQ(standard.Message(), "index 7");
    EXPECT_EQ(standard.ThrownObject(), static_cast<const void*>(&range));
    // A foreign object keeps its own message; a new one is kept beside it.
    standard.SetMessage("replaced");
    EXPECT_EQ(standard.Message(), "replaced");
    EXPECT_STREQ(range.what(), "index 7");
    own.SetMessage("changed");
    EXPECT_EQ(violation.Message(), "changed");

    crash::TCppException integer(std::make_exception_ptr(42));
    EXPECT_EQ(integer.ClassNames(), std::vector<std::string>{"int"});
    EXPECT_EQ(integer.Message(), "");
    crash::TCppException held(std::make_exception_ptr(std::runtime_error("held")));
    EXPECT_EQ(held.ClassNames().front(), "std::runtime_error");
    EXPECT_EQ(held.Message(), "held");
}

TEST(SystemExceptions, EachCodeGetsItsClassAndMessage) {
    struct TCase {
        std::uint32_t code;
        const char* type;
        std::string message;
    };
    const crash::TReportLayout& layout = crash::kLayout32;
    const TCase cases[] = {
        {crash::kStatusIntegerDivideByZero, "EDivByZero", "Division by zero."},
        {crash::kStatusStackOverflow, "EStackOverflow", "Stack overflow."},
        {crash::kStatusIllegalInstruction, "EIllegalInstruction", "Illegal instruction at address 00401000."},
        {crash::kStatusPrivilegedInstruction, "EPrivilege", "Privileged instruction at address 00401000."},
        {crash::kStatusIntegerOverflow, "EIntOverflow", "Integer overflow."},
        {crash::kStatusFloatDivideByZero, "EMathError", "Floating point exception C000008E."},
        {crash::kStatusHeapCorruption, "EExternalException", "External exception C0000374."},
    };
    for (const TCase& c : cases) {
        auto e = crash::MakeSystemException(c.code, 0x401000, 0, 0, layout);
        EXPECT_EQ(e->ClassName(), std::string(c.type)) << std::hex << c.code;
        EXPECT_EQ(e->Message(), c.message);
        EXPECT_EQ(e->Code(), c.code);
    }
    EXPECT_EQ(crash::MakeSystemException(crash::kStatusAccessViolation, 0x401000, 0, 0x10, layout)->Message(),
              "Access violation at address 00401000. Read of address 00000010.");
    EXPECT_EQ(crash::MakeSystemException(crash::kStatusAccessViolation, 0x401000, 1, 0, crash::kLayout64)->Message(),
              "Access violation at address 0000000000401000. Write of address 0000000000000000.");
    EXPECT_EQ(crash::MakeSystemException(crash::kStatusAccessViolation, 0x401000, 8, 0x401000, layout)->Message(),
              "Access violation at address 00401000. Execution of address 00401000.");
}

TEST(InternalTexts, WarningsErrorsAndTheGuardUseTheirFixedForms) {
    EXPECT_EQ(
        crash::WarningLine(crash::TMishapLogErrorCode::eeEmailSMTPError, 0x40123C, "[SMTP] refused", crash::kLayout32),
        "[WARNING] - Code: eeEmailSMTPError - Address: 0040123C - Message: \"[SMTP] refused\"");
    EXPECT_EQ(crash::InternalErrorLine(703, 0x40123C, "broken", crash::kLayout32),
              "[ERROR] - Section: 703 - Address: 0040123C - Message: \"broken\"");
    std::runtime_error refused("refused");
    EXPECT_EQ(crash::StepWarningMessage("Log", &refused), "[Log] refused");
    EXPECT_EQ(crash::StepWarningMessage("Console", nullptr), "General 'Console' error.");
    EXPECT_EQ(crash::CriticalErrorMessage("MishapLog.Init", "boom"),
              "Critical error at: \"MishapLog.Init\"\r\nError: \"boom\".");
    EXPECT_EQ(crash::ErrorCodeName(crash::TMishapLogErrorCode::eeWebFTPError), std::string("eeWebFTPError"));

    try {
        crash::CriticalGuard(crash::kDoneSection, [] { throw 5; });
        ADD_FAILURE();
    } catch (const crash::EMishapLogError& e) {
        EXPECT_STREQ(e.what(), "Critical error at: \"MishapLog.Done\"\r\nError: \"General internal error.\".");
    }
    EXPECT_NO_THROW(crash::CriticalGuard(crash::kInitSection, [] {}));

    crash::TInternalErrorInfo info;
    info.Date = "2024-05-01 12:00:00";
    info.OperatingSystem = "Windows 10.0 (Build 19045)";
    info.CodeBytes = {0x8B, 0x45, 0xFC};
    info.Section = 13;
    info.LastExceptionClass = "EAccessViolation";
    info.Address = 0x401000;
    info.ErrorClass = "EListError";
    info.ErrorMessage = "List index out of bounds (3)";
    const std::string text = crash::InternalErrorFileText(info, crash::kLayout32);
    EXPECT_EQ(
        text.substr(0, text.find("RAD       : ")),
        "Version   : 5.0.6 RC 6\r\nDate      : 2024-05-01 12:00:00\r\nOS        : Windows 10.0 (Build 19045)\r\n");
    EXPECT_EQ(text.substr(text.find("\r\nDump")),
              "\r\nDump      : $8B $45 $FC \r\nSection   : 13\r\nLastExcept: EAccessViolation\r\n"
              "Address   : $00401000\r\nException : EListError\r\nMessage   : List index out of bounds (3)");
}

TEST(SyncSlot, AProcedureRunsOnTheWaitingThreadAndItsExceptionsAreSwallowed) {
    crash::TSyncCallSlot slot;
    std::thread::id ranOn;
    slot.SetServed(true);
    std::atomic<bool> done{false};
    std::thread poster([&] {
        slot.Call([&] { ranOn = std::this_thread::get_id(); }, false);
        slot.Call([] { throw std::runtime_error("swallowed"); }, false);
        done = true;
    });
    while (!done) slot.RunPending();
    poster.join();
    slot.SetServed(false);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    // Nobody waits: the procedure runs in place.
    int runs = 0;
    slot.Call([&] { ++runs; }, false);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(slot.Pending());
}

// Two report threads post at once (a report and a send in a thread of its own): each procedure
// runs once, on the waiting thread, before its caller goes on.
TEST(SyncSlot, TwoProceduresPostedAtOnceBothRunOnTheWaitingThread) {
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        crash::TSyncCallSlot slot;
        slot.SetServed(true);
        std::atomic<int> ready{0};
        std::atomic<int> finished{0};
        int runs[2] = {0, 0};
        bool ranBeforeReturn[2] = {false, false};
        std::thread::id ranOn[2];
        auto post = [&](int which) {
            ++ready;
            while (ready < 2) std::this_thread::yield();
            slot.Call(
                [&, which] {
                    ++runs[which];
                    ranOn[which] = std::this_thread::get_id();
                },
                false);
            ranBeforeReturn[which] = runs[which] == 1;
            ++finished;
        };
        std::thread first(post, 0);
        std::thread second(post, 1);
        while (finished < 2) slot.RunPending();
        first.join();
        second.join();
        slot.SetServed(false);
        for (int which = 0; which < 2; ++which) {
            EXPECT_EQ(runs[which], 1) << which;
            EXPECT_TRUE(ranBeforeReturn[which]) << which;
            EXPECT_EQ(ranOn[which], std::this_thread::get_id()) << which;
        }
        if (HasFailure()) break;
    }
}

// The waiting thread failed inside a procedure it ran (a fault in a host event): its caller goes
// on without it instead of running it a second time, and later callers run theirs in place.
TEST(SyncSlot, AProcedureAbandonedByAFailedWaiterIsNotRunAgain) {
    crash::TSyncCallSlot slot;
    slot.SetServed(true);
    std::atomic<int> runs{0};
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> returned{false};
    std::atomic<bool> waiterDone{false};
    std::thread poster([&] {
        const crash::TSyncCallSlot::TProcedure procedure = [&] {
            ++runs;
            entered = true;
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        slot.Call(procedure, false);
        returned = true;
        // A failed waiter never comes back; this one does, and the procedure must still exist.
        while (!waiterDone) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    // The waiter: it takes the procedure and is stuck inside it.
    std::thread waiter([&] {
        while (!entered) slot.RunPending();
        waiterDone = true;
    });
    while (!entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    slot.Abandon();
    for (int i = 0; i < 2000 && !returned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(returned);
    EXPECT_EQ(runs, 1);
    release = true;
    waiter.join();
    poster.join();
    EXPECT_EQ(runs, 1);
    int later = 0;
    slot.Call([&] { ++later; }, false);
    EXPECT_EQ(later, 1);
}

}  // namespace
}  // namespace quillan::test
