// The report's steps in the order they run, one function each.
#include "crash/capture/report_driver.h"

#include "crash/report/report_text.h"

namespace quillan::crash {

int TReportDriver::PipelineSteps(TReportJob& job) {
    StartReport(job);
    SelectModule(job);
    if (Filtered(job)) return 0;
    BuildStacks(job);
    SuspendAndListModules(job);
    TLogFile log;
    Gather(job, log);
    const bool handled = NotifyHost(job);
    if (handled) {
        CountCrash();
        AddCustomData(job);
        NumberReport(job);
        Present(job);
        SaveScreenshot(job);
        WriteLog(job, log);
        SendReport(job);
    } else {
        DropScreenshot(job);
    }
    ResumeAfterReport(job);
    EndIfTerminating(job);
    return handled ? 0 : 1;
}

void TReportDriver::StartReport(TReportJob& job) {
    section_ = psStart;
    job.Time = platform_.Now();
    job.Threads = platform_.BeginReport();
    job.Options = &options_;
}

bool TReportDriver::Filtered(TReportJob& job) {
    section_ = psFilters;
    job.SendingPossible = options_.MailMethod() != 0 || options_.UploadMethod() != 0;
    job.ScreenshotWanted = (options_.SendFlags() & sfAttachScreenshot) != 0;
    return job.Call.Mode != TReportMode::Thread && options_.HandlingEnabled() && ApplyFilter(job);
}

void TReportDriver::SuspendAndListModules(TReportJob& job) {
    if (job.Call.Mode != TReportMode::Thread) {
        section_ = psSuspendThreads;
        SuspendSelected(job);
    }
    if (options_.LogFlags() & lfGatherModules) {
        section_ = psModulesList;
        platform_.GatherModules(job.Context.Modules);
    }
}

void TReportDriver::Gather(TReportJob& job, TLogFile& log) {
    section_ = psReportText;
    section_ = psPublish;
    BuildText(job);
    section_ = psDuplicate;
    OpenLog(job, log);
    MarkDuplicate(job, log);
    if (job.ScreenshotWanted) {
        section_ = psScreenshot;
        job.HasScreenshot =
            platform_.CaptureScreenshot((options_.SendFlags() & sfScreenshotForegroundOnly) != 0, job.Focus);
    }
    if (options_.SendFlags() & sfAttachLastHtmlPage) {
        section_ = psLastHtmlPage;
        std::lock_guard<std::mutex> lock(htmlLock_);
        job.LastHtmlPage = lastHtmlPage_;
    }
}

void TReportDriver::MarkDuplicate(TReportJob& job, TLogFile& log) {
    // A log of another version is deleted before this report is stored: what it holds duplicates
    // nothing, or the report would be lost with it.
    const bool oldLog = (options_.LogFlags() & lfDeleteOnVersionChange) &&
                        log.VersionChanged(job.Context.Values[TReportItem::VersionNumber]);
    if ((options_.LogFlags() & lfSkipDuplicates) && !job.LogPath.empty() && !oldLog)
        job.Duplicate = log.IsDuplicateOf(job.Text);
}

bool TReportDriver::NotifyHost(TReportJob& job) {
    bool handled = true;
    if (Events.OnExceptionNotify) RaiseEvent([&] { Events.OnExceptionNotify(job, handled); });
    return handled;
}

void TReportDriver::CountCrash() {
    section_ = psCrashTimes;
    if (options_.BehaviourFlags() & bfCrashBurst) crashTimes_.Add(platform_.Now(), options_.CrashBurstCount());
}

void TReportDriver::AddCustomData(TReportJob& job) {
    if (!Events.OnCustomData) return;
    std::string custom;
    RaiseEvent([&] { custom = Events.OnCustomData(job); });
    if (custom.empty()) return;
    job.Context.CustomData = custom;
    job.Text = BuildReportText(job.Context);
}

void TReportDriver::NumberReport(TReportJob& job) {
    section_ = psCounter;
    job.ExceptionCount = ++exceptionCount_;
    section_ = psMessage;
    job.ShownMessage = job.Context.Values[TReportItem::ExceptionMessage];
    lastExceptionMessage_ = job.ShownMessage;
}

void TReportDriver::SaveScreenshot(TReportJob& job) {
    if (job.HasScreenshot && job.SendingPossible) {
        job.ScreenshotFile = platform_.TempFolder() + "Screenshot.png";
        if (!platform_.SaveScreenshot(job.ScreenshotFile)) job.ScreenshotFile.clear();
    }
    DropScreenshot(job);
}

void TReportDriver::DropScreenshot(TReportJob& job) {
    platform_.FreeScreenshot();
    job.HasScreenshot = false;
}

void TReportDriver::SendReport(TReportJob& job) {
    section_ = psSending;
    const bool inThread = (options_.SendFlags() & sfSendInThread) != 0;
    const bool send = job.SendingPossible && !job.Duplicate && !job.Dialog.SendUnchecked;
    if (send) platform_.Send(job, inThread);
    // A screenshot handed to the sending thread is that thread's to delete; one not sent is ours.
    if ((!inThread || !send) && !job.ScreenshotFile.empty()) platform_.DeleteTempFile(job.ScreenshotFile);
    if (!inThread) {
        if ((options_.BehaviourFlags() & bfCrashBurst) &&
            crashTimes_.BurstReached(options_.CrashBurstCount(), options_.CrashBurstMinutes())) {
            options_.SetTerminateAction(options_.CrashBurstAction());
            pendingTerminate_ = true;
        }
    }
}

void TReportDriver::ResumeAfterReport(TReportJob& job) {
    section_ = psResume;
    ResumeSuspended(job);
    job.Context.Stack.clear();
}

void TReportDriver::EndIfTerminating(const TReportJob& job) {
    section_ = psTerminate;
    if (job.Call.Mode != TReportMode::Thread && !(options_.SendFlags() & sfSendInThread) && pendingTerminate_)
        TerminateOrRestart(job.Dialog.TerminatePressed);
}

}  // namespace quillan::crash
