#include "crash/sending/smtp_send.h"

#include <cstdio>

#include "crash/codec/base64.h"
#include "crash/options/options.h"
#include "crash/sending/dns_mx.h"
#include "crash/sending/smtp_client.h"
#include "crash/sending/socket_errors.h"

namespace quillan::crash {

namespace {

enum { kStatusDns, kStatusConnecting, kStatusConnected, kStatusSending };

void Status(const TSmtpContext& context, const TSmtpMail& mail, int which) {
    if (context.Progress && static_cast<size_t>(which) < mail.StatusTexts.size())
        context.Progress->SetStatus(mail.StatusTexts[which]);
}

std::string Dotted(std::uint32_t a) {
    char text[20];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24 & 0xFF, a >> 16 & 0xFF, a >> 8 & 0xFF, a & 0xFF);
    return text;
}

// A name fit for HELO: no blanks or control characters.
std::string HeloName(std::string name) {
    std::string out;
    for (char c : name)
        if (static_cast<unsigned char>(c) > ' ' && c != 0x7F) out += c;
    return out.empty() ? "localhost" : out;
}

class EConnectFailed : public EMishapSocketError {
public:
    using EMishapSocketError::EMishapSocketError;
};

// One whole session with host. A failure before the server greeted raises EConnectFailed, so
// that the next mail exchanger can be tried; later failures must not be retried elsewhere.
void Session(const TSmtpContext& context, const TSmtpMail& mail, const std::string& recipient, const std::string& host,
             std::string& log) {
    TMishapClientSMTP client(context.Platform->NewTcpSocket(), host, context.SocketTimeoutMs, mail.Port,
                             context.Deadline);
    try {
        Status(context, mail, kStatusConnecting);
        try {
            client.Open();
        } catch (const EMishapSocketError& e) {
            log = client.Log();
            throw EConnectFailed(e.Message());
        }
        Status(context, mail, kStatusConnected);
        const std::string helo = HeloName(context.Platform->LocalHostName());
        if (!mail.User.empty() || !mail.Password.empty()) {
            client.Command("EHLO " + helo, {250});
            client.Command("RSET", {250});
            client.Command("AUTH LOGIN", {334});
            client.Command(Base64Encode(mail.User), {334}, "(user name)");
            client.Command(Base64Encode(mail.Password), {235}, "(password)");
        } else {
            client.Command("HELO " + helo, {250});
            client.Command("RSET", {250});
        }
        client.Command("MAIL FROM:<" + mail.Sender + ">", {250});
        client.Command("RCPT TO:<" + recipient + ">", {250, 251});
        Status(context, mail, kStatusSending);
        client.Command("DATA", {354});

        TSmtpMessageParts parts;
        parts.Sender = mail.Sender;
        parts.Recipient = recipient;
        parts.Subject = mail.Subject;
        parts.Text = mail.Text;
        parts.Date = context.Platform->Now();
        parts.Tick = context.Platform->TickCount();
        parts.Attachments = mail.Attachments;
        const std::string message = BuildSmtpMessage(parts);
        client.SendRaw(message, [&](size_t sent) {
            if (context.Progress) context.Progress->SetPosition(static_cast<int>(sent * 100 / message.size()));
        });
        client.Expect({250});
        try {
            client.Command("QUIT", {221});
        } catch (const EMishapSocketError&) {
            // The mail was accepted; how the server says goodbye does not matter.
        }
        client.Close();
        log = client.Log();
    } catch (const EConnectFailed&) {
        throw;
    } catch (const EMishapSocketError&) {
        log = client.Log();
        throw;
    }
}

}  // namespace

TSmtpMail SmtpMailFromOptions(const TMishapModuleOptions& options, bool direct, std::string text,
                              std::vector<TMailAttachment> attachments) {
    TSmtpMail mail;
    mail.Direct = direct;
    mail.Host = options.SmtpHost();
    mail.Port = options.SmtpPort() ? options.SmtpPort() : 25;
    mail.Sender = options.SmtpSender();
    mail.User = options.SmtpUser();
    mail.Password = options.SmtpPassword();
    mail.Subject = FoldLineBreaks(options.MailSubject());
    mail.Text = std::move(text);
    mail.Attachments = std::move(attachments);
    for (int i = 77; i <= 80; ++i) mail.StatusTexts.push_back(options.Text(i));
    return mail;
}

void SendSmtpToRecipient(const TSmtpContext& context, const TSmtpMail& mail, const std::string& recipient) {
    // Both go into commands and headers as they are: a line break would start commands or
    // headers of its own.
    if (HasLineBreak(recipient))
        throw EMishapSocketError("Line break in the recipient \"" + FoldLineBreaks(recipient) + "\": not sent.");
    if (HasLineBreak(mail.Sender))
        throw EMishapSocketError("Line break in the sender \"" + FoldLineBreaks(mail.Sender) + "\": not sent.");

    std::vector<std::string> hosts;
    if (!mail.Direct) {
        hosts.push_back(mail.Host);
    } else {
        const size_t at = recipient.rfind('@');
        const std::string domain = at == std::string::npos ? std::string() : recipient.substr(at + 1);
        if (domain.empty()) throw EMishapSocketError(MxFailureText(recipient));
        Status(context, mail, kStatusDns);
        auto socket = context.Platform->NewUdpSocket();
        ISendPlatform* platform = context.Platform;
        const auto exchangers =
            LookupMailExchangers(*socket, platform->DnsServer(), domain, context.Deadline.Limit(context.DnsTimeoutMs),
                                 static_cast<std::uint16_t>(platform->TickCount() * 2654435761u >> 16),
                                 [platform] { return platform->TickCount(); });
        for (const auto& x : exchangers) hosts.push_back(x.Addresses.empty() ? x.Host : Dotted(x.Addresses.front()));
    }

    std::string failure;
    for (const auto& host : hosts) {
        std::string log;
        try {
            Session(context, mail, recipient, host, log);
            return;
        } catch (const EConnectFailed& e) {
            failure = e.Message() + "\r\n" + log;
        } catch (const EMishapSocketError& e) {
            throw EMishapSocketError(e.Message() + "\r\n" + log);
        }
    }
    throw EMishapSocketError(failure);
}

}  // namespace quillan::crash
