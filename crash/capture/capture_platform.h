// What the report driver needs of the system. The Windows layer implements it for the running
// process; host tests implement it with a recording stand-in. Platform-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crash/capture/capture_types.h"
#include "crash/report/gatherers.h"
#include "crash/report/report_context.h"

namespace quillan::crash {

class TMishapModuleOptions;
class TSyncCallSlot;
struct TReportJob;

// The control that had the focus when the exception came, and its form.
struct TFocusedControl {
    TAddress Handle = 0;
    std::string ClassName;  // at most 256 characters
    std::string Text;       // at most 256 characters
    bool PasswordStyle = false;
    std::string FormClass;  // the thread's active window
    std::string FormText;
};

// A thread of the process as a report sees it (a copy of its threads-list entry).
struct TReportThread {
    std::uint32_t Id = 0;
    bool Main = false;
    bool FrameworkKind = false;  // the main thread or a thread object of the framework's class
    std::string Priority;        // as the thread line shows it
    std::string ClassName;       // the thread object's class; empty when none
    TAddress StackTop = 0;
};

// What the crash dialog (or its stand-in) reports back.
struct TDialogOutcome {
    bool SendUnchecked = false;        // the user cleared "Send this error"
    bool ScreenshotUnchecked = false;  // the user cleared "Attach a Screenshot image"
    bool CopyToClipboard = false;      // "Copy to Clipboard" was checked
    bool TerminatePressed = false;     // Terminate / Restart
};

class ICapturePlatform {
public:
    virtual ~ICapturePlatform() = default;

    // --- The process.
    virtual std::uint32_t CurrentThreadId() = 0;
    virtual std::uint32_t MainThreadId() = 0;
    virtual bool GuiProcess() = 0;
    virtual bool ConsoleProcess() = 0;
    // A DLL whose entry point is still running holds the loader lock: no thread may be started.
    virtual bool InsideDllEntryPoint() = 0;
    virtual bool DebuggerPresent() = 0;

    // --- Driver steps 7 to 9.
    // The first visible top-level window of the process restored and made foreground.
    virtual void BringApplicationToFront() = 0;
    // The control that has the focus in the given thread's windows.
    virtual TFocusedControl FocusedControl(std::uint32_t threadId) = 0;
    // Runs body on a new report thread at the highest priority and returns its result. The
    // calling thread waits: every 10 ms it serves slot and, when it is the main thread, pumps at
    // most 11 of its queued messages (input answered with a beep, WM_QUIT dropped).
    virtual int RunReportThread(const std::function<int()>& body, TSyncCallSlot& slot) = 0;

    // --- Pipeline.
    virtual double Now() = 0;
    // Step 1: drops stale module entries and copies the threads list.
    virtual std::vector<TReportThread> BeginReport() = 0;
    virtual TAddress ModuleOfAddress(TAddress address) = 0;
    virtual TAddress ExecutableModule() = 0;
    virtual bool ModuleCarriesData(TAddress module) = 0;
    // The module's options: from its data block, then its shared options block.
    virtual void LoadModuleOptions(TAddress module, TMishapModuleOptions& options) = 0;
    // With its folder; empty when unknown.
    virtual std::string ModuleFileName(TAddress module) = 0;

    // Step 4: the exception thread's stack from the raise address and the stack recorded at raise
    // time, then each other thread that stackFlags select, suspended while its stack is read.
    virtual void BuildStacks(const TExceptionCall& call, std::uint32_t exceptionThreadId, std::uint8_t stackFlags,
                             TMishapStackList& stack) = 0;
    // Step 5: threads the behaviour flags select are suspended for the rest of the report.
    virtual bool SuspendThread(std::uint32_t id) = 0;
    virtual void ResumeThread(std::uint32_t id) = 0;
    // Every module of the process (LogFlags bit 4).
    virtual void GatherModules(std::vector<TModuleSummary>& modules) = 0;
    // What only the system knows of sections 1, 4, 5 and 6.
    virtual ISystemGatherer& SystemGatherer() = 0;
    // Start time, compilation date and version of the program.
    virtual TApplicationFacts ApplicationFacts() = 0;
    // Registers, stack and memory dump of the exception thread.
    virtual void ReadCpu(const TExceptionCall& call, TCpuSnapshot& cpu) = 0;

    virtual bool CaptureScreenshot(bool foregroundOnly, const TFocusedControl& focus) = 0;
    virtual bool SaveScreenshot(const std::string& path) = 0;
    virtual void FreeScreenshot() = 0;
    // Ends in a separator.
    virtual std::string TempFolder() = 0;
    virtual void DeleteTempFile(const std::string& path) = 0;

    virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    virtual void DebugOutput(const std::string& line) = 0;

    // --- Where the log goes.
    virtual std::string ComputerName() = 0;
    virtual std::string ProfileFolder() = 0;

    // --- Presentation; each raises on failure.
    virtual void WriteConsoleText(const std::string& text) = 0;
    virtual TDialogOutcome ShowDialog(const TReportJob& job) = 0;
    virtual bool WebHost() = 0;
    virtual void ShowWebPage(const TReportJob& job, bool fullReport) = 0;
    // The reproduction request; false when the user gave nothing.
    virtual bool AskReproduction(const TReportJob& job, std::string& steps) = 0;
    virtual void CopyToClipboard(const std::string& text) = 0;
    virtual bool SendingProgressOpen() = 0;

    // --- Sending (step 14); inThread: on a new sending thread.
    virtual void Send(const TReportJob& job, bool inThread) = 0;

    // --- Ending the process.
    // Seconds since the library started, which is the process's start near enough.
    virtual double SecondsSinceStart() = 0;
    // Starts the same command line again in startDirectory (creation flags 0x220). The new process
    // learns that it follows a fault and where that fault's report went (logPath; empty: unknown).
    virtual void Restart(const std::string& startDirectory, const std::string& logPath) = 0;
    // Ends the process with exit code 1; the stand-in returns.
    virtual void Terminate() = 0;

    // --- The internal-error path.
    virtual std::string InternalErrorFile() = 0;  // the executable's name with ".log"
    virtual void WriteTextFile(const std::string& path, const std::string& text) = 0;
    virtual std::vector<std::uint8_t> CodeBytes(TAddress address, size_t count) = 0;
    virtual std::string OperatingSystem() = 0;
    // Through the mail client; false when it could not be reached.
    virtual bool MailFile(const std::string& path, const std::string& recipient, const std::string& subject) = 0;
};

}  // namespace quillan::crash
