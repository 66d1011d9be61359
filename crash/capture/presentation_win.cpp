#include "crash/capture/presentation_win.h"

#include <exception>
#include <memory>
#include <utility>

#include "crash/capture/capture_platform_win.h"
#include "crash/capture/internal_texts.h"
#include "crash/capture/mishaplog_win.h"
#include "crash/capture/report_driver.h"
#include "crash/dialog/crash_dialog_win.h"
#include "crash/dialog/send_progress_win.h"
#include "crash/options/options.h"
#include "crash/packaging/tgz_writer.h"
#include "crash/sending/mailto.h"
#include "crash/sending/send_platform_win.h"
#include "crash/sending/send_progress_adapter.h"
#include "crash/sending/send_thread_win.h"

namespace quillan::crash {

namespace {

TSendEvents g_sendEvents;

TCrashDialogRequest DialogRequest(const TReportJob& job, TReportDriver& driver) {
    TCrashDialogRequest request;
    request.Options = job.Options;
    request.Context = &job.Context;
    request.Message = job.ShownMessage;
    request.ExceptionCount = job.ExceptionCount;
    request.Duplicate = job.Duplicate;
    if (driver.Events.OnBeforeTerminate) {
        request.BeforeTerminate = [&driver, &job] {
            // A handler that raises leaves the user's choice standing.
            bool terminate = true;
            driver.RunSynchronised([&] { terminate = driver.Events.OnBeforeTerminate(job); });
            return terminate;
        };
    }
    return request;
}

// The driver's "GUI" warning for a failure inside a dialog that still gave its answer.
void WarnGui(const std::exception_ptr& failure, const TReportJob& job, TReportDriver& driver) {
    if (!failure) return;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        driver.Warn(TMishapLogErrorCode::eeShowError, StepWarningMessage("GUI", &e), job.Call.Address);
    } catch (...) {
        driver.Warn(TMishapLogErrorCode::eeShowError, StepWarningMessage("GUI", nullptr), job.Call.Address);
    }
}

TDialogOutcome ShowDialog(const TReportJob& job, TReportDriver& driver) {
    // A dialog that cannot be shown raises: the driver's "GUI" warning. One that failed while open
    // still gives the user's choices, which stand.
    const TCrashDialogResult result = ShowCrashDialog(DialogRequest(job, driver));
    WarnGui(result.Failure, job, driver);
    TDialogOutcome outcome;
    outcome.SendUnchecked = result.SendUnchecked();
    outcome.ScreenshotUnchecked = result.SendOffered && job.ScreenshotWanted && !result.ScreenshotChecked;
    outcome.CopyToClipboard = result.CopyToClipboard;
    outcome.TerminatePressed = result.TerminatePressed;
    return outcome;
}

void ShowPage(const TReportJob& job, bool fullReport, TReportDriver& driver) {
    // The page's ID names the report: its time and its number in this run.
    const std::string id = FormatStamp(job.Time) + "-" + std::to_string(job.ExceptionCount);
    const auto warning = ShowWebPage(DetectWebHost(), *job.Options, job.ShownMessage, job.Text, !fullReport, id);
    // Warned, not raised: a page that could not be written must not cost the report its log.
    if (warning) driver.Warn(TMishapLogErrorCode::eeShowError, *warning, job.Call.Address);
}

TMishapLogErrorCode WarningCode(TSendError code) {
    switch (code) {
        case TSendError::Mapi:
            return TMishapLogErrorCode::eeEmailMAPIError;
        case TSendError::Shell:
            return TMishapLogErrorCode::eeEmailShellError;
        case TSendError::Smtp:
            return TMishapLogErrorCode::eeEmailSMTPError;
        case TSendError::Http:
            return TMishapLogErrorCode::eeWebHTTPError;
        case TSendError::Https:
            return TMishapLogErrorCode::eeWebHTTPSError;
        case TSendError::Ftp:
            return TMishapLogErrorCode::eeWebFTPError;
        case TSendError::None:
            break;
    }
    return TMishapLogErrorCode::eeNone;
}

// The host's send events as they are now, each run through the driver's synchronised-call slot.
TSendEvents SynchronisedEvents(TReportDriver& driver) {
    const TSendEvents host = g_sendEvents;
    TSendEvents events;
    if (auto event = host.OnAttachedFiles) {
        events.OnAttachedFiles = [&driver, event](std::vector<std::string>& files) {
            driver.RunSynchronised([&] { event(files); });
        };
    }
    if (auto event = host.OnBeforeSend) {
        events.OnBeforeSend = [&driver, event](TSendMethod method) { driver.RunSynchronised([&] { event(method); }); };
    }
    if (auto event = host.OnAfterSend) {
        events.OnAfterSend = [&driver, event](TSendMethod method, bool sent) {
            driver.RunSynchronised([&] { event(method, sent); });
        };
    }
    if (auto event = host.OnSendError) {
        events.OnSendError = [&driver, event](TSendMethod method, const std::string& message) {
            bool retry = false;
            driver.RunSynchronised([&] { retry = event(method, message); });
            return retry;
        };
    }
    return events;
}

std::unique_ptr<ISendPlatform> SendPlatform() {
    TWinSendSettings settings;
    settings.OpenProgress = [] { return OpenProgressBox<TSendProgressBox>(); };
    return NewWindowsSendPlatform(std::move(settings));
}

void Send(const TReportJob& job, bool inThread, TReportDriver& driver, TWinCapturePlatform& platform) {
    TSendRequest request;
    request.Options = job.Options;
    request.ReportText = job.Text;
    request.LogPath = job.LogPath;
    request.ReportTime = job.Time;
    request.ScreenshotFile = job.ScreenshotFile;
    request.ScreenshotChecked = !job.Dialog.ScreenshotUnchecked;
    request.SendUnchecked = job.Dialog.SendUnchecked;
    request.LastHtmlPage = job.LastHtmlPage;
    request.Reproduction = job.Reproduction;
    request.GuiProcess = platform.GuiProcess();
    request.Events = SynchronisedEvents(driver);
    // The sending thread outlives the job: the address is kept by value.
    const TAddress address = job.Call.Address;
    request.OnWarning = [&driver, address](TSendError code, const std::string& message) {
        driver.Warn(WarningCode(code), message, address);
    };
    if (inThread && StartSendThread(request, SendPlatform())) return;
    // In place; also when no sending thread could be started (the driver left the screenshot to
    // the thread then, so it goes here).
    SendReport(request, *SendPlatform());
    if (inThread && !request.ScreenshotFile.empty()) platform.DeleteTempFile(request.ScreenshotFile);
}

bool MailFile(const std::string& path, const std::string& recipient, const std::string& subject) {
    TMapiMail mail;
    mail.Recipients = {recipient};
    mail.Subject = subject;
    mail.Body = subject;
    mail.Attachments = {path};
    std::string failure;
    // The user asked for it: the client's own dialog lets them look before it goes.
    if (SendMapiMail(mail, 9, failure)) return true;
    return RunMailtoCommand(MailtoUrl(mail.Recipients, subject, subject), 10000, 2000, failure);
}

}  // namespace

TSendEvents& MishapLogSendEvents() { return g_sendEvents; }

void InstallPresentation(TWinCapturePlatform& platform, TReportDriver& driver) {
    TPresentationHooks& hooks = platform.Hooks;
    hooks.ShowDialog = [&driver](const TReportJob& job) { return ShowDialog(job, driver); };
    hooks.WebHost = [] { return DetectWebHost() != TWebHost::None; };
    hooks.ShowWebPage = [&driver](const TReportJob& job, bool fullReport) { ShowPage(job, fullReport, driver); };
    hooks.AskReproduction = [&driver](const TReportJob& job, std::string& steps) {
        std::exception_ptr failure;
        const bool given = AskReproductionSteps(*job.Options, steps, 0, &failure);
        WarnGui(failure, job, driver);
        return given;
    };
    hooks.SendingProgressOpen = [] { return TSendProgressBox::AnyOpen(); };
    hooks.Send = [&driver, &platform](const TReportJob& job, bool inThread) { Send(job, inThread, driver, platform); };
    hooks.MailFile = &MailFile;
}

}  // namespace quillan::crash

// Referenced by the library's link options, so that every program linking it gets this unit.
extern "C" void MishapLogPresentationUnit() {}

namespace {

// A report still being sent from its thread when the program ends normally gets a little time
// to arrive; a server that does not answer cannot hold the end longer than this.
constexpr unsigned kSendGraceAtExitMs = 10000;

struct TPresentationUnit {
    TPresentationUnit() { quillan::crash::SetPresentationInstaller(&quillan::crash::InstallPresentation); }
    ~TPresentationUnit() { quillan::crash::WaitForSendThreads(kSendGraceAtExitMs); }
};

TPresentationUnit g_presentationUnit;

}  // namespace
