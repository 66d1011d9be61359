#include "crash/sending/smtp_message.h"

#include <cstdio>
#include <cstdlib>

#include "crash/codec/base64.h"

namespace quillan::crash {

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

std::string MailDateText(const TMailDate& date) {
    const int offset = std::abs(date.OffsetMinutes);
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02d%02d", date.OffsetMinutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60);
    char text[80];
    std::snprintf(text, sizeof text, "%s, %d %s %d %.2d:%.2d:%.2d %s", kDays[((date.DayOfWeek % 7) + 7) % 7], date.Day,
                  kMonths[(((date.Month - 1) % 12) + 12) % 12], date.Year, date.Hour, date.Minute, date.Second, zone);
    return text;
}

std::string AttachmentContentType(std::string_view name) {
    if (name.size() >= 4) {
        std::string ext;
        for (char c : name.substr(name.size() - 4)) ext += Lower(c);
        if (ext == ".png") return "image/png";
    }
    return "application/octet-stream";
}

std::string DotStuff(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 64);
    bool lineStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = false;
    }
    return out;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string FoldLineBreaks(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) ++i;
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string BuildSmtpMessage(const TSmtpMessageParts& parts) {
    const std::string boundary = kMailBoundary;
    std::string m;
    size_t size = parts.Text.size() + 1024;
    for (const auto& a : parts.Attachments) size += a.Bytes.size() * 4 / 3 + a.Bytes.size() / 38 + 256;
    m.reserve(size);
    m += "Date: " + MailDateText(parts.Date) + "\r\n";
    m += "From: <" + parts.Sender + ">\r\n";
    m += "Subject: " + parts.Subject + "\r\n";
    m += "To: <" + parts.Recipient + ">\r\n";
    m += "Message-ID: <" + std::to_string(parts.Tick) + "@" + kMessageIdDomain + ">\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\";\r\nMIME-Version: 1.0\r\n\r\n";
    m += "This is a multi-part message in MIME format\r\n\r\n--" + boundary +
         "\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
    m += DotStuff(parts.Text);
    for (const auto& a : parts.Attachments) {
        m += "\r\n--" + boundary + "\r\nContent-Type: " + AttachmentContentType(a.Name) + ";\r\n";
        m += "        name=\"" + a.Name + "\"\r\n";
        m += "Content-Transfer-Encoding: base64\r\n";
        m += "Content-Disposition: attachment;\r\n";
        m += "        filename=\"" + a.Name + "\"\r\n\r\n";
        m += Base64EncodeLines(a.Bytes, kMailBase64Line);
    }
    m += "\r\n--" + boundary + "--\r\n.\r\n";
    return m;
}

}  // namespace quillan::crash
