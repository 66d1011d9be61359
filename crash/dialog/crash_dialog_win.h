// The crash dialog, the reproduction request and the web-page presentation, as the report driver
// calls them. Everything here runs on the report thread.
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "crash/dialog/dialog_types.h"

namespace quillan::crash {

class TMishapModuleOptions;

// Shows the crash dialog modally ("ML_DIALOG" through DialogBoxParamA) and returns the user's
// choices; runs BeforeTerminate and shows the dialog again when it cancels. When the dialog cannot
// be shown (no template, or it never painted) the message goes into a plain top-most stop box and
// EMishapLogError "Cannot show the DialogBox window." is raised: the driver's "GUI" warning. An
// exception inside the shown dialog's message handling closes it with the user's choices and comes
// back in the result's Failure.
TCrashDialogResult ShowCrashDialog(const TCrashDialogRequest& request);

// The reproduction request ("ML_REQUEST"). True with the entered text when the user wrote
// something; false (steps untouched) for an empty text or a dialog that could not be shown. An
// exception inside its message handling closes it with the text written so far and comes back in
// failure (when given).
bool AskReproductionSteps(const TMishapModuleOptions& options, std::string& steps, TAddress resourceModule = 0,
                          std::exception_ptr* failure = nullptr);

// Web hosts answered by the library instead of a dialog.
enum class TWebHost { None, Isapi, Cgi };
// CGI: the environment names a CGI gateway (GATEWAY_INTERFACE "CGI/..."); ISAPI: the executable
// exports HttpExtensionProc.
TWebHost DetectWebHost();

// Answers the pending web request with the page of HtmlLayout: the exception message with an OK
// button (messageOnly) or text 3 and the report. reportId goes into the page's ID comment.
// Returns the internal warning's text when the page could not be sent.
std::optional<std::string> ShowWebPage(TWebHost host, const TMishapModuleOptions& options, const std::string& message,
                                       const std::string& reportText, bool messageOnly, const std::string& reportId);

}  // namespace quillan::crash
