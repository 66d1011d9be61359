// The report driver's platform for the running process: its threads, windows, modules, stacks,
// screen, log place, and the end of the process.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "crash/capture/capture_platform.h"
#include "crash/moduledata/modules_list.h"
#include "crash/moduledata/modules_platform_win.h"
#include "crash/packaging/octree.h"
#include "crash/report/system_gatherer_win.h"
#include "crash/stack/threads_list.h"

namespace quillan::crash {

struct TReportJob;

// The longest a restart may take to start the new process before this one ends without it.
inline constexpr DWORD kRestartBoundMs = 5000;

// The parts of a report that the rest of the library supplies (the crash dialog, the web page,
// sending, the mail client); a program that links only the capture goes without them. Unset, a
// report does without them: the dialog falls back to a plain box, no web host is seen, nothing is
// sent, the reproduction request is not asked. Set once, before any report.
struct TPresentationHooks {
    std::function<TDialogOutcome(const TReportJob& job)> ShowDialog;
    std::function<bool()> WebHost;
    std::function<void(const TReportJob& job, bool fullReport)> ShowWebPage;
    std::function<bool(const TReportJob& job, std::string& steps)> AskReproduction;
    std::function<bool()> SendingProgressOpen;
    std::function<void(const TReportJob& job, bool inThread)> Send;
    std::function<bool(const std::string& file, const std::string& recipient, const std::string& subject)> MailFile;
};

class TWinCapturePlatform : public ICapturePlatform {
public:
    explicit TWinCapturePlatform(TMishapModulesList& modules, TProcessModulePlatform& modulePlatform);

    TPresentationHooks Hooks;
    // Handles closed (a mutex released first) right before a restart starts the new process, so
    // that a single-instance program does not see itself still running.
    void ReleaseBeforeRestart(HANDLE handle);
    void SetStartTime(double days) { startTime_ = days; }
    // Starts the report thread that every report then uses (once).
    void PrepareReportThread();

    std::uint32_t CurrentThreadId() override;
    std::uint32_t MainThreadId() override;
    bool GuiProcess() override;
    bool ConsoleProcess() override;
    bool InsideDllEntryPoint() override { return false; }
    bool DebuggerPresent() override;

    void BringApplicationToFront() override;
    TFocusedControl FocusedControl(std::uint32_t threadId) override;
    int RunReportThread(const std::function<int()>& body, TSyncCallSlot& slot) override;

    double Now() override;
    std::vector<TReportThread> BeginReport() override;
    TAddress ModuleOfAddress(TAddress address) override;
    TAddress ExecutableModule() override;
    bool ModuleCarriesData(TAddress module) override;
    void LoadModuleOptions(TAddress module, TMishapModuleOptions& options) override;
    std::string ModuleFileName(TAddress module) override;

    void BuildStacks(const TExceptionCall& call, std::uint32_t exceptionThreadId, std::uint8_t stackFlags,
                     TMishapStackList& stack) override;
    bool SuspendThread(std::uint32_t id) override;
    void ResumeThread(std::uint32_t id) override;
    void GatherModules(std::vector<TModuleSummary>& modules) override;
    ISystemGatherer& SystemGatherer() override { return gatherer_; }
    TApplicationFacts ApplicationFacts() override;
    void ReadCpu(const TExceptionCall& call, TCpuSnapshot& cpu) override;

    bool CaptureScreenshot(bool foregroundOnly, const TFocusedControl& focus) override;
    bool SaveScreenshot(const std::string& path) override;
    void FreeScreenshot() override;
    std::string TempFolder() override;
    void DeleteTempFile(const std::string& path) override;

    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void DebugOutput(const std::string& line) override;

    std::string ComputerName() override;
    std::string ProfileFolder() override;

    void WriteConsoleText(const std::string& text) override;
    TDialogOutcome ShowDialog(const TReportJob& job) override;
    bool WebHost() override;
    void ShowWebPage(const TReportJob& job, bool fullReport) override;
    bool AskReproduction(const TReportJob& job, std::string& steps) override;
    void CopyToClipboard(const std::string& text) override;
    bool SendingProgressOpen() override;
    void Send(const TReportJob& job, bool inThread) override;

    double SecondsSinceStart() override;
    void Restart(const std::string& startDirectory, const std::string& logPath) override;
    void Terminate() override;

    std::string InternalErrorFile() override;
    void WriteTextFile(const std::string& path, const std::string& text) override;
    std::vector<std::uint8_t> CodeBytes(TAddress address, size_t count) override;
    std::string OperatingSystem() override;
    bool MailFile(const std::string& path, const std::string& recipient, const std::string& subject) override;

private:
    void RestartNow(const std::string& startDirectory, const std::string& logPath);
    HANDLE SnapshotHandle(std::uint32_t id) const;

    TMishapModulesList& modules_;
    TProcessModulePlatform& modulePlatform_;
    TWindowsSystemGatherer gatherer_;
    TThreadsSnapshot snapshot_;
    TBgrxImage screenshot_;
    double startTime_ = 0;
    ULONGLONG startTick_ = GetTickCount64();
    std::mutex releaseLock_;
    std::vector<HANDLE> releaseBeforeRestart_;
};

// The environment variable by which a restart tells the new process that it follows a fault: the
// path of the log that holds the fault's report, or "?" when that is unknown.
inline constexpr wchar_t kRestartVariable[] = L"MISHAPLOG_RESTARTED";

// True once in a process started by a restart after a fault: logPath is where that fault's
// report went (empty when unknown). Takes the mark away, so a process this one starts never sees it.
bool TakeRestartNotice(std::string& logPath);

// A processor fault that nobody handled: when it happened inside a run of the report on the
// prepared report thread, context is made to continue at that thread's guard (the caller
// continues execution) and true is returned.
bool ResumeGuardedReportThread(EXCEPTION_POINTERS* info);

// The thread that waits for the report thread failed and will never take its result: waits in
// its place until that report has ended (the thread too, when it ended inside it). False when no
// report was running on the prepared report thread.
bool AwaitReportInProgress();

// The current local date and time as days since 1899-12-30.
double LocalNowDays();

}  // namespace quillan::crash
