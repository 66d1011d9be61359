// The "mailto:" command of the mail-client path. Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillan::crash {

// Keeps letters, digits, "-" and bytes from 0x80 on; every other byte becomes "%" and two
// upper-case hex digits.
std::string MailtoEncode(std::string_view text);

// "mailto:" recipients "?Subject=" subject "&Body=" body. The recipients are joined by ","; in an
// address every byte but letters, digits and "-._@+" and bytes from 0x80 on is encoded too, so a
// quote cannot end the command's argument.
std::string MailtoUrl(const std::vector<std::string>& recipients, std::string_view subject, std::string_view body);

// A process's command line holds at most 32,767 characters, its terminating NUL included; the
// "mailto:" URL may take all but what the mail client's own command needs.
inline constexpr size_t kMaxCommandLine = 32766;
inline constexpr size_t kMaxMailtoUrl = 30000;

// MailtoUrl, the body cut short and note appended when the whole URL would be longer than
// maxLength: the cut is at the last line break that fits, or mid-line when none does. Only the
// recipients and subject can make it longer still.
std::string MailtoUrl(const std::vector<std::string>& recipients, std::string_view subject, std::string_view body,
                      size_t maxLength, std::string_view note);

// The registered command with each "%1" replaced by url; a command without "%1" gets the url
// appended as its last argument, in quotes.
std::string MailtoCommandLine(std::string_view command, std::string_view url);

}  // namespace quillan::crash
