// The central entry (ExceptionManager) and the report pipeline: one report at a time, each
// exception checked, filtered, gathered, written to the log and presented as its module's options
// say, then the application left running, ended or restarted. Platform-free: the system is reached
// through ICapturePlatform.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "crash/capture/capture_platform.h"
#include "crash/capture/crash_times.h"
#include "crash/capture/sync_slot.h"
#include "crash/log/log_file.h"
#include "crash/options/options_ex.h"

namespace quillan::crash {

// Everything one report knows; published to the host's events, the dialog and sending.
struct TReportJob {
    TExceptionCall Call;
    std::uint32_t ExceptionThreadId = 0;
    TFocusedControl Focus;  // the text masked for a password control
    double Time = 0;
    TAddress SelectedModule = 0;
    const TMishapModuleOptions* Options = nullptr;  // the current options
    std::vector<TReportThread> Threads;
    std::vector<std::uint32_t> Suspended;
    TReportContext Context;
    std::string Text;
    bool Duplicate = false;
    bool SendingPossible = false;
    bool ScreenshotWanted = false;
    bool HasScreenshot = false;
    std::string ScreenshotFile;
    std::string LastHtmlPage;
    std::string LogPath;
    TDialogOutcome Dialog;
    std::string Reproduction;
    std::string ShownMessage;
    int ExceptionCount = 0;
    // Runs of the pipeline for this report: a second one is the reduced report made after the
    // report thread itself failed.
    int Attempt = 0;
    bool Logged = false;  // the report is in the log
};

// The host program's events, in the order the pipeline raises them. Each runs on the thread that
// waits for the report (through the synchronised-call slot); exceptions inside are swallowed.
struct TMishapLogEvents {
    // Clearing handled leaves the exception to the caller's own handling (result 1).
    std::function<void(const TReportJob& job, bool& handled)> OnExceptionNotify;
    // Text for the "Other Information" section.
    std::function<std::string(const TReportJob& job)> OnCustomData;
    std::function<void(const TReportJob&job)> OnBeforeDialog, OnAfterDialog;
    std::function<void(const TReportJob&job)> OnBeforeLog, OnAfterLog;
    // After Terminate/Restart was pressed in the crash dialog: false keeps the process (the
    // dialog is shown again).
    std::function<bool(const TReportJob& job)> OnBeforeTerminate;
};

// A program that fails sooner than this after its start would most likely fail again at once:
// it ends instead of being restarted in a loop.
inline constexpr double kRestartMinimumSeconds = 60;

class TReportDriver {
public:
    // current is the options object in force for each report (not owned).
    TReportDriver(ICapturePlatform& platform, TMishapModuleOptionsEx& current);

    // The central entry. Result 0: the library dealt with the exception; nonzero: the caller
    // goes on with its own default handling.
    unsigned char ExceptionManager(const TExceptionCall& call);

    // The thread that waits for the report in progress (0: none).
    std::uint32_t WaitingThread() const { return waiterThread_.load(); }
    // That thread failed (a fault in a message it dispatched while waiting) and will never wait
    // again: it no longer serves the synchronised-call slot.
    void WaiterFailed();
    // The failed waiter's own fault, reported by another thread (or by the failed waiter itself,
    // for a terminate or abort) once the report in progress has ended. The report lock stays
    // with the failed waiter, which never resumes: it is not taken.
    unsigned char ReportForFailedWaiter(const TExceptionCall& call);

    // Runs procedure in the context of the thread waiting for the report in progress (in place
    // when there is none or the caller is that thread).
    void RunSynchronised(const std::function<void()>& procedure);

    // Enters and leaves the report lock: returns once no report is in progress.
    void WaitForReport();
    // Makes the calling thread's report state now (a thread's first use of its thread-local
    // storage allocates), for threads that must report without allocating from the heap.
    static void PrepareThread();

    void SetActive(bool active) { active_ = active; }
    bool Active() const { return active_; }
    // Threads of the library itself: never reported, walked or suspended.
    void ExcludeThread(std::uint32_t id);
    void IncludeThread(std::uint32_t id);
    bool Excluded(std::uint32_t id) const;

    void SetStartDirectory(std::string folder) { startDirectory_ = std::move(folder); }
    void SetLastHtmlPage(std::string page);

    TMishapLogEvents Events;

    int ExceptionCount() const { return exceptionCount_; }
    TMishapLogErrorCode LastError() const;
    std::string LastErrorMessage() const;
    const std::string& LastExceptionMessage() const { return lastExceptionMessage_; }
    const TCrashTimes& CrashTimes() const { return crashTimes_; }

    // Records an internal warning: last error, debug output, and a box when sending shows progress.
    // Any thread (a sending thread warns while the report thread may too).
    void Warn(TMishapLogErrorCode code, const std::string& message, TAddress address);
    // Ends the process now: starts it again first when TerminateAction is 1 and the process has
    // run for the restart minimum or the user asked for it (the dialog's Restart button). Any
    // thread; takes no lock that a failed thread may hold.
    void TerminateOrRestart(bool userAsked = false);
    void SetRestartMinimumSeconds(double seconds) { restartMinimum_ = seconds; }

private:
    unsigned char Report(const TExceptionCall& call, std::uint32_t self);
    int Pipeline(TReportJob& job);
    int ReducedPipeline(TReportJob& job);
    // The report, step by step, in order; each step sets the progress section it is in.
    int PipelineSteps(TReportJob& job);
    void StartReport(TReportJob& job);
    void SelectModule(TReportJob& job);
    // True: a filter entry takes the exception, and the report ends here.
    bool Filtered(TReportJob& job);
    bool ApplyFilter(const TReportJob& job);
    void BuildStacks(TReportJob& job);
    void SuspendAndListModules(TReportJob& job);
    void SuspendSelected(TReportJob& job);
    // The text, the log it goes to, the duplicate check, the screenshot and the last HTML page.
    void Gather(TReportJob& job, TLogFile& log);
    void MarkDuplicate(TReportJob& job, TLogFile& log);
    // False: the host leaves the exception to the caller's own handling.
    bool NotifyHost(TReportJob& job);
    void CountCrash();
    void AddCustomData(TReportJob& job);
    void NumberReport(TReportJob& job);
    void SaveScreenshot(TReportJob& job);
    void DropScreenshot(TReportJob& job);
    void SendReport(TReportJob& job);
    void ResumeAfterReport(TReportJob& job);
    void EndIfTerminating(const TReportJob& job);
    void ResumeSuspended(TReportJob& job);
    void BuildText(TReportJob& job, bool withCpu = true);
    void OpenLog(TReportJob& job, TLogFile& log);
    void Present(TReportJob& job);
    void WriteLog(TReportJob& job, TLogFile& log);
    void InternalError(const TReportJob& job, const std::exception* error);
    void RaiseEvent(const std::function<void()>& procedure);

    ICapturePlatform& platform_;
    TMishapModuleOptionsEx& options_;
    std::recursive_mutex reportLock_;
    mutable std::mutex excludedLock_;
    std::set<std::uint32_t> excluded_;
    TSyncCallSlot slot_;
    std::atomic<std::uint32_t> waiterThread_{0};
    std::atomic<bool> active_{true};
    std::string startDirectory_;
    std::atomic<double> restartMinimum_{kRestartMinimumSeconds};
    std::mutex logPathLock_;
    std::string lastLogPath_;
    std::mutex htmlLock_;
    std::string lastHtmlPage_;

    int exceptionCount_ = 0;
    std::atomic<int> section_{0};
    mutable std::mutex lastErrorLock_;
    TMishapLogErrorCode lastError_ = TMishapLogErrorCode::eeNone;
    std::string lastErrorMessage_;
    std::string lastExceptionMessage_;
    bool pendingTerminate_ = false;
    TCrashTimes crashTimes_;
};

// The index of the first filter entry that names one of classNames (case-insensitively), or -1.
int FindFilter(const TMishapModuleOptions& options, const std::vector<std::string>& classNames);

}  // namespace quillan::crash
