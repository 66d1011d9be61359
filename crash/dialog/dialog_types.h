// What the crash dialog is given and what it reports back. Platform-free, so the report driver
// and its host tests can speak of a dialog without the system.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "crash/report/report_context.h"

namespace quillan::crash {

class TMishapModuleOptions;

// One showing of the crash dialog (pipeline step 10).
struct TCrashDialogRequest {
    const TMishapModuleOptions* Options = nullptr;  // required: the current options
    const TReportContext* Context = nullptr;        // required: what the tabs show
    std::string Message;                            // the exception message of the compact form
    // Reports made in this run, this one included: Terminate/Restart is offered only above
    // ReportsBeforeTerminateButton.
    int ExceptionCount = 0;
    // A duplicate report is never offered for sending.
    bool Duplicate = false;
    // Module holding the "ML_*" templates and bitmaps; 0: the executable.
    TAddress ResourceModule = 0;
    // The host's before-terminate event, run after Terminate/Restart was pressed. The driver runs
    // it in the faulting thread (through its synchronised-call slot). Returning false clears the
    // pending terminate and the dialog is shown again. Unset: the choice stands.
    std::function<bool()> BeforeTerminate;
};

// The user's choices, read when the dialog closed.
struct TCrashDialogResult {
    bool SendOffered = false;        // the dialog offered sending (mail or upload set, not a duplicate)
    bool SendChecked = false;        // "Send this error" was checked
    bool ScreenshotChecked = false;  // "Attach a Screenshot image" was checked and enabled
    bool CopyToClipboard = false;    // "Copy to Clipboard" was checked
    bool TerminatePressed = false;   // Terminate/Restart pressed (and not cancelled by the event)
    // What ended the dialog early when its message handling raised; the choices above are what
    // its boxes held then (the options' defaults when it had not set them up yet).
    std::exception_ptr Failure;

    // The user cleared "Send": the report must not be sent.
    bool SendUnchecked() const { return SendOffered && !SendChecked; }
};

}  // namespace quillan::crash
