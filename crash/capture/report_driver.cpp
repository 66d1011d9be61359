#include "crash/capture/report_driver.h"

#include <algorithm>

#include "crash/capture/internal_texts.h"
#include "crash/log/log_path.h"
#include "crash/report/date_text.h"
#include "crash/report/report_text.h"
#include "framework/core/convert.h"
#include "framework/core/file_io.h"

namespace quillan::crash {

namespace {

// The per-thread report state: set while this thread reports, cleared on every way out.
thread_local bool t_reporting = false;

class TReportingFlag {
public:
    TReportingFlag() { t_reporting = true; }
    ~TReportingFlag() { t_reporting = false; }
    TReportingFlag(const TReportingFlag&) = delete;
    TReportingFlag& operator=(const TReportingFlag&) = delete;
};

}  // namespace

int FindFilter(const TMishapModuleOptions& options, const std::vector<std::string>& classNames) {
    const auto& filters = options.FilterClasses();
    for (size_t i = 0; i < filters.size(); ++i) {
        for (const std::string& name : classNames) {
            if (SameTextAscii(filters[i], name)) return static_cast<int>(i);
        }
    }
    return -1;
}

TReportDriver::TReportDriver(ICapturePlatform& platform, TMishapModuleOptionsEx& current)
    : platform_(platform), options_(current) {}

void TReportDriver::ExcludeThread(std::uint32_t id) {
    std::lock_guard<std::mutex> lock(excludedLock_);
    excluded_.insert(id);
}

void TReportDriver::IncludeThread(std::uint32_t id) {
    std::lock_guard<std::mutex> lock(excludedLock_);
    excluded_.erase(id);
}

bool TReportDriver::Excluded(std::uint32_t id) const {
    std::lock_guard<std::mutex> lock(excludedLock_);
    return excluded_.count(id) != 0;
}

void TReportDriver::PrepareThread() { t_reporting = false; }

void TReportDriver::WaitForReport() { std::lock_guard<std::recursive_mutex> lock(reportLock_); }

void TReportDriver::SetLastHtmlPage(std::string page) {
    std::lock_guard<std::mutex> lock(htmlLock_);
    lastHtmlPage_ = std::move(page);
}

void TReportDriver::RunSynchronised(const std::function<void()>& procedure) {
    std::uint32_t waiter = waiterThread_.load();
    slot_.Call(procedure, waiter == 0 || waiter == platform_.CurrentThreadId());
}

void TReportDriver::RaiseEvent(const std::function<void()>& procedure) { RunSynchronised(procedure); }

unsigned char TReportDriver::ExceptionManager(const TExceptionCall& call) {
    const std::uint32_t self = platform_.CurrentThreadId();
    // A library thread that fails while another thread holds the report lock would wait for it
    // forever; its failure is never reported, so it is turned away before the lock.
    if (Excluded(self)) return 1;

    std::lock_guard<std::recursive_mutex> lock(reportLock_);
    return Report(call, self);
}

unsigned char TReportDriver::ReportForFailedWaiter(const TExceptionCall& call) {
    const std::uint32_t self = platform_.CurrentThreadId();
    if (Excluded(self)) return 1;
    // On the failed waiter itself (a terminate in a message it dispatched) the report it waited
    // for is over; this one is no exception raised inside it.
    t_reporting = false;
    return Report(call, self);
}

void TReportDriver::WaiterFailed() {
    // Procedures posted from now on run on the thread that posts them; one it was running when it
    // failed is given up.
    slot_.Abandon();
}

unsigned char TReportDriver::Report(const TExceptionCall& call, std::uint32_t self) {
    if (!call.Exception || !active_) return 1;
    // The lock is re-entrant: an exception raised while this thread reports lands here.
    if (t_reporting) return 0;
    TReportingFlag reporting;

    if (call.Exception->Message().rfind(kSafeCallPrefix, 0) == 0) return 0;
    if (!options_.Enabled()) return 1;

    if (call.HostKind == THostKind::Framework || (call.HostKind == THostKind::RunTime && platform_.GuiProcess()))
        platform_.BringApplicationToFront();

    TReportJob job;
    job.Call = call;
    job.ExceptionThreadId = call.FromHangDetector    ? platform_.MainThreadId()
                            : call.ExceptionThreadId ? call.ExceptionThreadId
                                                     : self;
    job.Focus = platform_.FocusedControl(job.ExceptionThreadId);
    if (job.Focus.ClassName.size() > 256) job.Focus.ClassName.resize(256);
    if (job.Focus.Text.size() > 256) job.Focus.Text.resize(256);
    job.Focus.Text = MaskedControlText(job.Focus.ClassName, job.Focus.PasswordStyle, job.Focus.Text);

    int result = 0;
    waiterThread_ = self;
    if (platform_.InsideDllEntryPoint()) {
        result = Pipeline(job);
    } else {
        // The platform runs the body again when the report thread failed inside the first run.
        result = platform_.RunReportThread([&] { return job.Attempt++ == 0 ? Pipeline(job) : ReducedPipeline(job); },
                                           slot_);
    }
    waiterThread_ = 0;

    if (call.Mode == TReportMode::SafeCall) {
        std::string message = call.Exception->Message();
        if (message.rfind(kSafeCallPrefix, 0) != 0) call.Exception->SetMessage(kSafeCallPrefix + message);
    }
    return static_cast<unsigned char>(result != 0 ? 1 : 0);
}

int TReportDriver::Pipeline(TReportJob& job) {
    // The thread making the report is the library's own: its failures are never reported (the
    // thread waiting for it holds the report lock).
    const std::uint32_t self = platform_.CurrentThreadId();
    const bool reportThread = self != waiterThread_.load();
    if (reportThread) ExcludeThread(self);
    struct TInclude {
        TReportDriver& driver;
        std::uint32_t id;
        bool active;
        ~TInclude() {
            if (active) driver.IncludeThread(id);
        }
    } include{*this, self, reportThread};
    try {
        return PipelineSteps(job);
    } catch (const std::exception& e) {
        InternalError(job, &e);
    } catch (...) {
        InternalError(job, nullptr);
    }
    // Whatever failed, no thread stays suspended and the report is no longer published.
    ResumeSuspended(job);
    platform_.FreeScreenshot();
    return 0;
}

int TReportDriver::ReducedPipeline(TReportJob& job) {
    // The report thread failed at section failed and left that run where it was: what it had
    // suspended is resumed, and unless the full report was stored already (the failure came in
    // sending, say), a report of the values alone (no stacks, modules, memory, screenshot or
    // presentation) goes to the log. The process is not trusted to go on.
    const int failed = section_;
    ResumeSuspended(job);
    if (!job.Logged) {
        try {
            TReportJob reduced;
            reduced.Call = job.Call;
            reduced.ExceptionThreadId = job.ExceptionThreadId;
            reduced.Focus = job.Focus;
            reduced.Time = job.Time;
            reduced.SelectedModule = job.SelectedModule;
            reduced.Threads = job.Threads;
            reduced.Options = &options_;
            BuildText(reduced, false);
            reduced.Context.CustomData = "Reduced report: the report failed at section " + std::to_string(failed) + ".";
            reduced.Text = BuildReportText(reduced.Context);
            TLogFile log;
            OpenLog(reduced, log);
            WriteLog(reduced, log);
        } catch (...) {
            // Nothing more can be reported; the end follows.
        }
    }
    section_ = psTerminate;
    TerminateOrRestart();
    return 0;
}

void TReportDriver::SelectModule(TReportJob& job) {
    section_ = psModuleSelect;
    const TAddress executable = platform_.ExecutableModule();
    TAddress selected = platform_.ModuleOfAddress(job.Call.Address);
    section_ = psModuleFound;
    if (!selected || !platform_.ModuleCarriesData(selected)) selected = job.Call.Module ? job.Call.Module : executable;
    section_ = psModuleOptions;
    TMishapModuleOptions chosen;
    platform_.LoadModuleOptions(selected, chosen);
    if ((chosen.BehaviourFlags() & bfPreferMainModule) && selected != executable &&
        platform_.ModuleCarriesData(executable)) {
        selected = executable;
        chosen.Reset();
        platform_.LoadModuleOptions(selected, chosen);
    }
    job.SelectedModule = selected;
    options_.Assign(&chosen);
    options_.SetModuleName(platform_.ModuleFileName(selected));
    section_ = psOptionsAssigned;
}

bool TReportDriver::ApplyFilter(const TReportJob& job) {
    int index = FindFilter(options_, job.Call.Exception->ClassNames());
    if (index < 0) return false;
    section_ = psFilterMatch;
    const auto& messages = options_.FilterMessages();
    std::string message = static_cast<size_t>(index) < messages.size() ? messages[static_cast<size_t>(index)] : "";
    if (!message.empty())
        platform_.ShowMessageBox(message, options_.Text(TMishapText::InformationCaption), kFilterBoxFlags);
    return true;
}

void TReportDriver::BuildStacks(TReportJob& job) {
    section_ = psExceptionStack;
    platform_.BuildStacks(job.Call, job.ExceptionThreadId, options_.StackFlags(), job.Context.Stack);
    section_ = psThreadStacks;
}

void TReportDriver::SuspendSelected(TReportJob& job) {
    const std::uint8_t flags = options_.BehaviourFlags();
    const std::uint32_t self = platform_.CurrentThreadId();
    // The thread waiting for this report serves its events; suspended, it would serve nothing.
    const std::uint32_t waiter = waiterThread_.load();
    for (const TReportThread& thread : job.Threads) {
        if (thread.Id == self || thread.Id == job.ExceptionThreadId || thread.Id == waiter || Excluded(thread.Id))
            continue;
        bool wanted = thread.FrameworkKind
                          ? (flags & bfSuspendRuntimeThreads) && !(thread.Main && (flags & bfExceptMainThread))
                          : (flags & bfSuspendWindowsThreads) != 0;
        if (wanted && platform_.SuspendThread(thread.Id)) job.Suspended.push_back(thread.Id);
    }
}

void TReportDriver::ResumeSuspended(TReportJob& job) {
    for (auto it = job.Suspended.rbegin(); it != job.Suspended.rend(); ++it) platform_.ResumeThread(*it);
    job.Suspended.clear();
}

void TReportDriver::BuildText(TReportJob& job, bool withCpu) {
    section_ = psGatherValues;
    TReportContext& context = job.Context;
    context.Options = &options_;
    TReportValues& values = context.Values;
    const std::vector<std::string> classes = job.Call.Exception->ClassNames();
    TExceptionFacts exception;
    exception.Time = job.Time;
    exception.Address = job.Call.Address;
    exception.ModuleFile = platform_.ModuleFileName(platform_.ModuleOfAddress(job.Call.Address));
    exception.ClassName = classes.empty() ? std::string() : classes.front();
    exception.Message = job.Call.Exception->Message();
    TActiveControls controls;
    controls.FormClass = job.Focus.FormClass;
    controls.FormText = job.Focus.FormText;
    controls.ControlClass = job.Focus.ClassName;
    controls.ControlText = job.Focus.Text;
    GatherReportValues(values, platform_.SystemGatherer(), platform_.ApplicationFacts(), exception, controls,
                       *context.Layout);
    if (withCpu && (options_.LogFlags() & lfGatherCpu)) platform_.ReadCpu(job.Call, context.Cpu);

    // The thread lines name the threads whose entries the table lists.
    std::vector<std::uint32_t> seen;
    for (const TMishapStackEntry& entry : context.Stack) {
        if (std::find(seen.begin(), seen.end(), entry.ThreadId) != seen.end()) continue;
        seen.push_back(entry.ThreadId);
        TThreadSummary summary;
        summary.Id = entry.ThreadId;
        for (const TReportThread& thread : job.Threads) {
            if (thread.Id != entry.ThreadId) continue;
            summary.Priority = thread.Priority;
            summary.ClassName = thread.ClassName;
            summary.Main = thread.Main;
        }
        if (entry.ThreadId == platform_.MainThreadId()) summary.Main = true;
        context.Threads.push_back(summary);
    }
    section_ = psBuildText;
    job.Text = BuildReportText(context);
}

void TReportDriver::OpenLog(TReportJob& job, TLogFile& log) {
    const bool needed = options_.SaveLogFile() || (options_.LogFlags() & lfSkipDuplicates);
    if (!needed) return;
    std::string computer;
    if (options_.LogFlags() & lfAddComputerName) computer = SafeComputerName(platform_.ComputerName());
    std::string moduleFile = platform_.ModuleFileName(job.SelectedModule);
    if (moduleFile.empty()) moduleFile = platform_.ModuleFileName(platform_.ExecutableModule());
    const std::string path = LogFileName(moduleFile, options_.OutputPath(), computer);
    TLogFallback fallback;
    fallback.ProfileFolder = platform_.ProfileFolder();
    fallback.ExecutableFile = platform_.ModuleFileName(platform_.ExecutableModule());
    if (!log.Open(path, fallback, options_.MaxLogReports())) return;
    job.LogPath = log.Path();
    std::lock_guard<std::mutex> lock(logPathLock_);
    lastLogPath_ = job.LogPath;
}

void TReportDriver::Present(TReportJob& job) {
    const bool web = job.Call.HostKind == THostKind::FrameworkEvent ||
                     (job.Call.HostKind == THostKind::RunTime && platform_.WebHost());
    if (options_.DialogFlags() & dfShowDialog) {
        section_ = psPresentation;
        if (Events.OnBeforeDialog) RaiseEvent([&] { Events.OnBeforeDialog(job); });
        if (web) {
            platform_.ShowWebPage(job, true);
        } else if (platform_.ConsoleProcess()) {
            section_ = psConsole;
            try {
                platform_.WriteConsoleText(job.Text);
            } catch (const std::exception& e) {
                Warn(TMishapLogErrorCode::eeShowError, StepWarningMessage("Console", &e), job.Call.Address);
            } catch (...) {
                Warn(TMishapLogErrorCode::eeShowError, StepWarningMessage("Console", nullptr), job.Call.Address);
            }
        } else {
            section_ = psDialog;
            try {
                job.Dialog = platform_.ShowDialog(job);
                if (job.Dialog.TerminatePressed) pendingTerminate_ = true;
                if (job.Dialog.CopyToClipboard) platform_.CopyToClipboard(job.Text);
            } catch (const std::exception& e) {
                Warn(TMishapLogErrorCode::eeShowError, StepWarningMessage("GUI", &e), job.Call.Address);
            } catch (...) {
                Warn(TMishapLogErrorCode::eeShowError, StepWarningMessage("GUI", nullptr), job.Call.Address);
            }
        }
        if (Events.OnAfterDialog) RaiseEvent([&] { Events.OnAfterDialog(job); });
    } else if (web) {
        platform_.ShowWebPage(job, false);
    }
    section_ = psReproduction;
    const bool stored = job.SendingPossible || options_.SaveLogFile();
    if ((options_.LogFlags() & lfAskReproduceSteps) && platform_.GuiProcess() && !job.Duplicate && stored) {
        std::string steps;
        if (platform_.AskReproduction(job, steps)) job.Reproduction = steps;
    }
}

void TReportDriver::WriteLog(TReportJob& job, TLogFile& log) {
    section_ = psLogVersion;
    if ((options_.LogFlags() & lfDeleteOnVersionChange) && !job.LogPath.empty())
        log.DeleteIfVersionChanged(job.Context.Values[TReportItem::VersionNumber]);
    if (!options_.SaveLogFile() || job.Duplicate) return;
    if (Events.OnBeforeLog) RaiseEvent([&] { Events.OnBeforeLog(job); });
    std::optional<std::string> warning;
    if (job.LogPath.empty()) {
        warning = StepWarningMessage("Log", nullptr);
    } else {
        warning = AppendReportToLog(log, job.Text, options_.MaxLogReports());
    }
    if (warning) Warn(TMishapLogErrorCode::eeLogError, *warning, job.Call.Address);
    job.Logged = !warning;
    if (Events.OnAfterLog) RaiseEvent([&] { Events.OnAfterLog(job); });
}

TMishapLogErrorCode TReportDriver::LastError() const {
    std::lock_guard<std::mutex> lock(lastErrorLock_);
    return lastError_;
}

std::string TReportDriver::LastErrorMessage() const {
    std::lock_guard<std::mutex> lock(lastErrorLock_);
    return lastErrorMessage_;
}

void TReportDriver::Warn(TMishapLogErrorCode code, const std::string& message, TAddress address) {
    {
        std::lock_guard<std::mutex> lock(lastErrorLock_);
        lastError_ = code;
        lastErrorMessage_ = message;
    }
    platform_.DebugOutput(WarningLine(code, address, message));
    const bool sendingCode = code == TMishapLogErrorCode::eeEmailSMTPError ||
                             code == TMishapLogErrorCode::eeWebHTTPError ||
                             code == TMishapLogErrorCode::eeWebHTTPSError || code == TMishapLogErrorCode::eeWebFTPError;
    if (sendingCode && platform_.SendingProgressOpen())
        platform_.ShowMessageBox(message, options_.Text(TMishapText::ErrorCaption), kStepErrorBoxFlags);
}

void TReportDriver::TerminateOrRestart(bool userAsked) {
    if (options_.TerminateAction() == 1 && (userAsked || platform_.SecondsSinceStart() >= restartMinimum_.load())) {
        // The report thread may have failed holding the lock: the restart goes on without the path.
        std::string logPath;
        std::unique_lock<std::mutex> lock(logPathLock_, std::try_to_lock);
        if (lock.owns_lock()) logPath = lastLogPath_;
        if (lock.owns_lock()) lock.unlock();
        platform_.Restart(startDirectory_, logPath);
    }
    platform_.Terminate();
}

void TReportDriver::InternalError(const TReportJob& job, const std::exception* error) {
    // Silent failures: an abort, a socket error of the sending code.
    if (auto* own = dynamic_cast<const Exception*>(error)) {
        for (const std::string& name : own->ClassNames()) {
            if (name == "EAbort" || name == "EMishapSocketError") return;
        }
    }
    if (!platform_.DebuggerPresent()) return;
    const std::string message = error ? error->what() : kGeneralInternalError;
    const TAddress address = job.Call.Address;
    try {
        platform_.DebugOutput(InternalErrorLine(section_, address, message));
        TInternalErrorInfo info;
        info.Date = DateTimeText(platform_.Now());
        info.OperatingSystem = platform_.OperatingSystem();
        info.CodeBytes = platform_.CodeBytes(address, 32);
        info.Section = section_;
        auto classes = job.Call.Exception ? job.Call.Exception->ClassNames() : std::vector<std::string>();
        info.LastExceptionClass = classes.empty() ? "" : classes.front();
        info.Address = address;
        if (auto* own = dynamic_cast<const Exception*>(error)) {
            info.ErrorClass = own->ClassName();
        } else {
            info.ErrorClass = error ? "std::exception" : "";
        }
        info.ErrorMessage = message;
        const std::string file = platform_.InternalErrorFile();
        platform_.WriteTextFile(file, InternalErrorFileText(info));
        const int kIdYes = 6;
        if (platform_.ShowMessageBox(InternalBugBoxText(message), kInternalBugCaption, kInternalBugBoxFlags) ==
                kIdYes &&
            !platform_.MailFile(file, kSupportAddress, kInternalBugSubject)) {
            platform_.ShowMessageBox(SendByHandText(file), "Information", kFilterBoxFlags);
        }
    } catch (...) {
        // Nothing more can be done about a failure while reporting a failure.
    }
}

}  // namespace quillan::crash
