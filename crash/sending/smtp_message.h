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
// Characters of a Base64 line of an attachment.
inline constexpr size_t kMailBase64Line = 76;

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

// True when the text holds a CR or an LF.
bool HasLineBreak(std::string_view text);
// Each run of CR and LF replaced by one blank.
std::string FoldLineBreaks(std::string_view text);

// The whole DATA block, ending with the closing boundary and the end-of-data line ".".
std::string BuildSmtpMessage(const TSmtpMessageParts& parts);

}  // namespace quillan::crash
