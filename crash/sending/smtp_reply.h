// SMTP replies read from the bytes a server sends. Platform-free; fed by the network, so fuzzed.
#pragma once

#include <string>
#include <string_view>

namespace quillan::crash {

// A reply line longer than this, or a reply of more lines in all, is refused.
inline constexpr size_t kMaxSmtpReplyBytes = 64 * 1024;

struct TSmtpReply {
    int Code = -1;     // the leading digits of its last line; -1 when that line has none
    std::string Text;  // every line of the reply, each ended by CR LF
};

// The leading decimal digits of a line (at most 9), or -1 when it starts with none.
int SmtpReplyCode(std::string_view line);

// Splits received bytes into replies. A line ends at LF (a CR before it is dropped); a line whose
// digits are followed by "-" continues the reply, any other line ends it.
class TSmtpReplyReader {
public:
    void Feed(std::string_view bytes);
    // Takes the next complete reply; false when none is complete yet.
    bool Next(TSmtpReply& reply);
    // More than kMaxSmtpReplyBytes are waiting without a complete reply.
    bool Overflow() const { return pending_.size() - start_ > kMaxSmtpReplyBytes; }
    void Clear();

private:
    std::string pending_;
    size_t start_ = 0;  // first byte not yet taken
};

}  // namespace quillan::crash
