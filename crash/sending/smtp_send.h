// Mail over the library's own SMTP client: one session per recipient, through the configured
// server or each recipient's mail exchanger. Platform-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crash/sending/send_deadline.h"
#include "crash/sending/send_platform.h"
#include "crash/sending/smtp_message.h"

namespace quillan::crash {

class TMishapModuleOptions;

struct TSmtpMail {
    bool Direct = false;  // to each recipient's mail exchanger instead of Host
    std::string Host;
    std::uint16_t Port = 25;
    std::string Sender;
    std::string User;
    std::string Password;
    std::string Subject;  // one line
    std::string Text;
    std::vector<TMailAttachment> Attachments;
    std::vector<std::string> StatusTexts;  // texts 77 to 80
};

// The mail of MailMethod 2 or 3 from the options (the subject's line breaks folded to blanks).
TSmtpMail SmtpMailFromOptions(const TMishapModuleOptions& options, bool direct, std::string text,
                              std::vector<TMailAttachment> attachments);

struct TSmtpContext {
    ISendPlatform* Platform = nullptr;
    ISendProgress* Progress = nullptr;  // may be null
    int SocketTimeoutMs = 30000;
    int DnsTimeoutMs = 30000;
    TSendDeadline Deadline;  // bounds the MX lookup and every socket call
};

// Sends the mail to one recipient in one session (through each mail exchanger in turn while the
// connection cannot be made, for the direct method). Raises EMishapSocketError; a raised message
// carries the socket log after a line break. A recipient or sender holding a CR or LF is refused
// before anything is sent.
void SendSmtpToRecipient(const TSmtpContext& context, const TSmtpMail& mail, const std::string& recipient);

}  // namespace quillan::crash
