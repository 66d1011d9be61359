// The send step of a report (pipeline step 14): the attachments are gathered, mailed and/or
// uploaded as the options say, the failure options applied, the outcome shown and the temporary
// files removed. Platform-free: the system is reached through ISendPlatform.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillan::crash {

class ISendPlatform;
class TMishapModuleOptions;

// What failed; in the order of the report driver's error codes from eeEmailMAPIError on.
enum class TSendError : int { None, Mapi, Shell, Smtp, Http, Https, Ftp };

// One internal warning of the send step.
struct TSendWarning {
    TSendError Code = TSendError::None;
    std::string Message;
};

// A sending method, as the before/after and error events name it.
enum class TSendMethod : int { MailClient, SmtpServer, SmtpDirect, Http, Https, Ftp };

// The host's events around sending. The driver wraps each so that it runs where the host's events
// run; an exception leaving one is the driver's to swallow.
struct TSendEvents {
    // May add files to, or remove files from, the attachment list (paths).
    std::function<void(std::vector<std::string>& files)> OnAttachedFiles;
    std::function<void(TSendMethod method)> OnBeforeSend;
    std::function<void(TSendMethod method, bool sent)> OnAfterSend;
    // Raised when a method failed; returning true runs the method again.
    std::function<bool(TSendMethod method, const std::string& message)> OnSendError;
};

// Socket and name-lookup limits. The defaults are the product's; tests shorten them.
struct TSendTimeouts {
    int SocketMs = 30000;  // connect, and every send and receive of a session
    int DnsMs = 30000;     // one MX lookup, retries included
    // One SMTP send whole: every recipient's session with its name lookups, so that a server that
    // answers a little at a time cannot hold the report thread.
    int SmtpTotalMs = 120000;
    int MailtoIdleMs = 10000;
    int MailtoSettleMs = 2000;  // pause before the mail client's window is made top-most
    // The whole wait for the mail client, input idle and pause included; a client still open then
    // has the mail, and the report thread goes on.
    int MailClientMs = 120000;
};

// Everything the driver hands to the send step.
struct TSendRequest {
    const TMishapModuleOptions* Options = nullptr;  // required; the current options
    std::string ReportText;                         // the current report, as logged
    // The log file. Its file name names the temporary copies (text, ".xml"); its folder keeps the
    // packed copies of failed sends; its bytes are the text to send with SendFlags bit 2.
    std::string LogPath;
    double ReportTime = 0;  // days since 1899-12-30, local time: the stamp of attachment names
    // The saved screenshot, attached when the screenshot is wanted; empty when there is none.
    std::string ScreenshotFile;
    bool ScreenshotChecked = true;  // "Attach a Screenshot image" left checked
    bool SendUnchecked = false;     // the user cleared "Send this error": nothing is sent
    std::string LastHtmlPage;       // with SendFlags bit 6 attached as "LastHTMLPage.html"
    std::string Reproduction;       // the reproduction steps, for the XML copy
    bool GuiProcess = true;         // the progress box is shown only in a GUI process
    TSendEvents Events;
    // Each internal warning as it happens (the progress box, when shown, is still open).
    std::function<void(TSendError code, const std::string& message)> OnWarning;
    TSendTimeouts Timeouts;
};

struct TSendResult {
    bool Attempted = false;  // a method was configured and sending was not unchecked
    bool Success = false;    // every configured method succeeded
    TSendError LastError = TSendError::None;
    std::string LastErrorMessage;
    std::vector<TSendWarning> Warnings;  // in order
};

// Runs the whole send step in the calling thread. Never raises: failures end as warnings.
TSendResult SendReport(const TSendRequest& request, ISendPlatform& platform);

}  // namespace quillan::crash
