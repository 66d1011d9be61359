// The vocabulary of exception capture: who calls the library, how a report was triggered, what
// failed last, and the exception as the library sees it. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crash/report/report_layout.h"
#include "crash/report/report_types.h"

namespace quillan::crash {

// Which interception point calls ExceptionManager; chooses the presentation and whether the
// application is brought to the front.
enum class THostKind : int {
    RunTime = 0,         // run-time library, threads, faults, the hang detector
    Framework = 1,       // the application's HandleException / ShowException
    FrameworkEvent = 2,  // the application's exception event
};

// How the exception reached the library.
enum class TReportMode : int {
    Unhandled = 0,  // nobody will handle it
    SafeCall = 1,   // a safecall boundary: reported once, then marked
    Thread = 2,     // it escaped a thread
};

// Which step of a report failed last (the enumeration order is the stored one).
enum class TMishapLogErrorCode : int {
    eeNone,
    eeShowError,
    eeLogError,
    eeEmailMAPIError,
    eeEmailShellError,
    eeEmailSMTPError,
    eeWebHTTPError,
    eeWebHTTPSError,
    eeWebFTPError,
};
// The enumeration name ("eeLogError").
const char* ErrorCodeName(TMishapLogErrorCode code);

// Progress sections the pipeline passes; an internal error names the last one.
enum TProgressSection : int {
    psStart = 1,
    psModuleSelect = 101,
    psModuleFound = 102,
    psModuleOptions = 103,
    psOptionsAssigned = 104,
    psFilters = 2,
    psFilterMatch = 201,
    psExceptionStack = 3,
    psThreadStacks = 4,
    psSuspendThreads = 5,
    psModulesList = 6,
    psReportText = 7,
    psPublish = 701,
    psGatherValues = 702,
    psBuildText = 703,
    psDuplicate = 704,
    psScreenshot = 705,
    psLastHtmlPage = 706,
    psCrashTimes = 8,
    psCounter = 9,
    psMessage = 10,
    psPresentation = 11,
    psConsole = 12,
    psDialog = 13,
    psReproduction = 14,
    psLogVersion = 15,
    psSending = 16,
    psResume = 17,
    psTerminate = 18,
};

// The message prefix of an exception that crossed a safecall boundary and was reported there.
inline constexpr char kSafeCallPrefix[] = "[SafeCall Exception]: ";

// The exception a report is about, whatever raised it.
class IMishapException {
public:
    virtual ~IMishapException() = default;
    // The exception's class first, then each ancestor.
    virtual std::vector<std::string> ClassNames() const = 0;
    virtual std::string Message() const = 0;
    // Replaces the message the program sees from now on.
    virtual void SetMessage(const std::string& message) = 0;
};

// Registers taken when the exception was raised.
struct TRegisterSnapshot {
    bool Present = false;
    std::array<TAddress, kRegisterCount> Registers{};  // indexed by TRegister
};

// Where the exception thread's stack is read from.
struct TStackOrigin {
    TAddress StackPointer = 0;  // 0: the exception thread's current one
    TAddress StackTop = 0;      // 0: the thread's own
    // The bytes of [StackPointer, StackPointer + size) as they were at raise time; the scan reads
    // them in place of the live stack, which unwinding and the catch handlers overwrote.
    std::shared_ptr<const std::vector<std::uint8_t>> Saved;
};

// ExceptionManager's arguments, with what the interception point knows besides.
struct TExceptionCall {
    IMishapException* Exception = nullptr;
    TAddress Address = 0;
    THostKind HostKind = THostKind::RunTime;
    TAddress Module = 0;
    TReportMode Mode = TReportMode::Unhandled;
    // The thread the exception belongs to; 0: the calling thread.
    std::uint32_t ExceptionThreadId = 0;
    bool FromHangDetector = false;
    TRegisterSnapshot Registers;
    TStackOrigin Stack;
};

}  // namespace quillan::crash
