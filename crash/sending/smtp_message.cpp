#include "crash/sending/smtp_message.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "crash/codec/base64.h"
#include "framework/core/convert.h"

namespace quillan::crash {

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, char prefix, unsigned char byte) {
    out += prefix;
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

bool PrintableAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) return false;
    return true;
}

// Bytes of the program's text per RFC 2047 word: "=?windows-1251?B?" and "?=" leave 56 Base64
// characters of a word's 75; a header line should stay within 78.
constexpr size_t kEncodedWordBytes = 42;
constexpr size_t kMaxHeaderLine = 78;

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
        if (AsciiLowerCase(name.substr(name.size() - 4)) == ".png") return "image/png";
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

std::string QuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    size_t column = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            column = 0;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        const bool lineEnd = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        // A blank or TAB at a line's end would be lost by mail servers that trim lines.
        const bool literal = (byte >= 33 && byte <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnd);
        const size_t width = literal ? 1 : 3;
        // 75 characters and the "=" of the soft break at most; the last piece of a line may use 76.
        if (column + width > (lineEnd ? kMailBase64Line : kMailBase64Line - 1)) {
            out += "=\r\n";
            column = 0;
        }
        if (literal)
            out += c;
        else
            AppendHex(out, '=', byte);
        column += width;
    }
    return out;
}

std::string EncodedHeaderText(std::string_view text, size_t used) {
    if (PrintableAscii(text)) return std::string(text);
    std::string out;
    const std::string open = std::string("=?") + kMailCharset + "?B?";
    // Each word is at most 75 characters; the first shares its line with the header's name.
    const size_t frame = open.size() + 2;
    const size_t room = used + frame < kMaxHeaderLine ? kMaxHeaderLine - used - frame : 0;
    const size_t first = room >= 4 ? std::min(kEncodedWordBytes, room / 4 * 3) : kEncodedWordBytes;
    for (size_t at = 0, size = first; at < text.size(); at += size, size = kEncodedWordBytes) {
        if (at) out += "\r\n ";
        out += open + Base64Encode(text.substr(at, size)) + "?=";
    }
    return out;
}

std::string MimeParameter(std::string_view name, std::string_view value) {
    if (PrintableAscii(value) && value.find_first_of("\"\\") == std::string_view::npos)
        return std::string(name) + "=\"" + std::string(value) + "\"";
    std::string out = std::string(name) + "*=" + kMailCharset + "''";
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
        if (plain)
            out += c;
        else
            AppendHex(out, '%', byte);
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
    m += "Subject: " + EncodedHeaderText(parts.Subject, 9) + "\r\n";
    m += "To: <" + parts.Recipient + ">\r\n";
    m += "Message-ID: <" + std::to_string(parts.Tick) + "@" + kMessageIdDomain + ">\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\";\r\nMIME-Version: 1.0\r\n\r\n";
    m += "This is a multi-part message in MIME format\r\n\r\n--" + boundary +
         "\r\nContent-Type: text/plain; charset=" + kMailCharset +
         "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    m += DotStuff(QuotedPrintable(parts.Text));
    for (const auto& a : parts.Attachments) {
        m += "\r\n--" + boundary + "\r\nContent-Type: " + AttachmentContentType(a.Name) + ";\r\n";
        m += "        " + MimeParameter("name", a.Name) + "\r\n";
        m += "Content-Transfer-Encoding: base64\r\n";
        m += "Content-Disposition: attachment;\r\n";
        m += "        " + MimeParameter("filename", a.Name) + "\r\n\r\n";
        m += Base64EncodeLines(a.Bytes, kMailBase64Line);
    }
    m += "\r\n--" + boundary + "--\r\n.\r\n";
    return m;
}

}  // namespace quillan::crash
