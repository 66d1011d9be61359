#include "crash/sending/smtp_reply.h"

namespace quillan::crash {

int SmtpReplyCode(std::string_view line) {
    int code = 0;
    size_t digits = 0;
    while (digits < line.size() && digits < 9 && line[digits] >= '0' && line[digits] <= '9') {
        code = code * 10 + (line[digits] - '0');
        ++digits;
    }
    return digits ? code : -1;
}

void TSmtpReplyReader::Feed(std::string_view bytes) {
    // Taken replies are dropped only now, so a reply is never copied twice while being read.
    if (start_ > 0 && start_ >= pending_.size() / 2) {
        pending_.erase(0, start_);
        start_ = 0;
    }
    pending_.append(bytes);
}

bool TSmtpReplyReader::Next(TSmtpReply& reply) {
    std::string text;
    size_t at = start_;
    for (;;) {
        const size_t end = pending_.find('\n', at);
        if (end == std::string::npos) return false;
        std::string_view line(pending_.data() + at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        text.append(line);
        text += "\r\n";
        at = end + 1;
        size_t digits = 0;
        while (digits < line.size() && digits < 9 && line[digits] >= '0' && line[digits] <= '9') ++digits;
        const bool continued = digits > 0 && digits < line.size() && line[digits] == '-';
        if (!continued) {
            reply.Code = SmtpReplyCode(line);
            reply.Text = std::move(text);
            start_ = at;
            return true;
        }
    }
}

void TSmtpReplyReader::Clear() {
    pending_.clear();
    start_ = 0;
}

}  // namespace quillan::crash
