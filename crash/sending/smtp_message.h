// The mail the SMTP path sends: headers, the text part and the Base64 attachments between fixed
// boundaries, ready for DATA. Platform-free.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crash/sending/send_platform.h"

namespace quillan::crash {

inline constexpr char kMailBoundary[] = "=_xcjvnxkbhvfkxzhfdbvzldjhfv";
// The domain part of every Message-ID.
inline constexpr char kMessageIdDomain[] = "quillan.local";
// Characters of a Base64 line of an attachment, and the longest quoted-printable line.
inline constexpr size_t kMailBase64Line = 76;
// The character set of every text the program sends: its own.
inline constexpr char kMailCharset[] = "windows-1251";

struct TMailAttachment {
    std::string Name;   // file name without folder
    std::string Bytes;  // the file's content
};

struct TSmtpMessageParts {
    std::string Sender;
    std::string Recipient;
    std::string Subject;  // one line (see FoldLineBreaks)
    std::string Text;     // the text part
    TMailDate Date;
    std::uint32_t Tick = 0;                        // the Message-ID's local part
    std::span<const TMailAttachment> Attachments;  // not owned
};

// "Mon, 2 Jan 2024 03:04:05 +0300".
std::string MailDateText(const TMailDate& date);

// "image/png" for ".png" (any case), else "application/octet-stream".
std::string AttachmentContentType(std::string_view name);

// The text with every line end made CR LF and a "." doubled at the start of each line, so that no
// line of it can end the DATA block early.
std::string DotStuff(std::string_view text);

// Quoted-printable (RFC 2045): every line break becomes CR LF; "=", control characters, bytes from
// 0x7F on and a blank or TAB before a line end become "=" and two hex digits; lines longer than 76
// characters are broken with "=" at their end.
std::string QuotedPrintable(std::string_view text);

// A header text as it may travel: printable ASCII as it stands, anything else as RFC 2047 encoded
// words in the program's character set, folded onto continuation lines. used: the characters
// before it on the header's first line ("Subject: ").
std::string EncodedHeaderText(std::string_view text, size_t used);

// A MIME parameter: name="value" for a printable ASCII value, else the RFC 2231 form
// name*=windows-1251''%XX... that mail readers decode.
std::string MimeParameter(std::string_view name, std::string_view value);

// True when the text holds a CR or an LF.
bool HasLineBreak(std::string_view text);
// Each run of CR and LF replaced by one blank.
std::string FoldLineBreaks(std::string_view text);

// The whole DATA block, ending with the closing boundary and the end-of-data line ".".
std::string BuildSmtpMessage(const TSmtpMessageParts& parts);

}  // namespace quillan::crash
