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

// The registered command with each "%1" replaced by url; a command without "%1" gets the url
// appended as its last argument, in quotes.
std::string MailtoCommandLine(std::string_view command, std::string_view url);

}  // namespace quillan::crash
