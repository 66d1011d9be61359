#include "crash/sending/mailto.h"

namespace quillan::crash {

namespace {

bool Plain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c >= 0x80;
}

std::string Encode(std::string_view text, std::string_view alsoKept) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (Plain(c) || alsoKept.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

std::string MailtoEncode(std::string_view text) { return Encode(text, {}); }

std::string MailtoUrl(const std::vector<std::string>& recipients, std::string_view subject, std::string_view body) {
    std::string url = "mailto:";
    for (size_t i = 0; i < recipients.size(); ++i) {
        if (i) url += ',';
        url += Encode(recipients[i], "._@+");
    }
    url += "?Subject=" + MailtoEncode(subject) + "&Body=" + MailtoEncode(body);
    return url;
}

std::string MailtoUrl(const std::vector<std::string>& recipients, std::string_view subject, std::string_view body,
                      size_t maxLength, std::string_view note) {
    std::string url = MailtoUrl(recipients, subject, body);
    if (url.size() <= maxLength) return url;
    url = MailtoUrl(recipients, subject, {});
    const std::string tail = MailtoEncode(note);
    const size_t room = maxLength > url.size() + tail.size() ? maxLength - url.size() - tail.size() : 0;
    size_t used = 0, cut = 0, lineCut = 0;
    for (; cut < body.size(); ++cut) {
        const size_t width = Plain(static_cast<unsigned char>(body[cut])) ? 1 : 3;
        if (used + width > room) break;
        used += width;
        if (body[cut] == '\n') lineCut = cut + 1;
    }
    url += MailtoEncode(body.substr(0, lineCut ? lineCut : cut));
    return url + tail;
}

std::string MailtoCommandLine(std::string_view command, std::string_view url) {
    std::string out;
    bool replaced = false;
    for (size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size() && command[i + 1] == '1') {
            out.append(url);
            ++i;
            replaced = true;
        } else {
            out += command[i];
        }
    }
    if (!replaced) {
        out += " \"";
        out.append(url);
        out += '"';
    }
    return out;
}

}  // namespace quillan::crash
