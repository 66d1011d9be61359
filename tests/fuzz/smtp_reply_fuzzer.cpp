// Feeds arbitrary server bytes to the SMTP reply reader, split where the first byte says. However
// the bytes arrive, the replies read must be the same, and each must end where its last line ends.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "crash/sending/smtp_reply.h"

namespace {

std::vector<quillan::crash::TSmtpReply> Read(std::string_view bytes, size_t piece) {
    quillan::crash::TSmtpReplyReader reader;
    std::vector<quillan::crash::TSmtpReply> replies;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        reader.Feed(bytes.substr(at, piece));
        for (quillan::crash::TSmtpReply r; reader.Next(r);) replies.push_back(r);
        if (reader.Overflow()) break;
    }
    return replies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = data[0] % 16 + 1;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (bytes.size() > quillan::crash::kMaxSmtpReplyBytes) return 0;
    const auto whole = Read(bytes, bytes.size() + 1);
    const auto pieces = Read(bytes, piece);
    if (whole.size() != pieces.size()) std::abort();
    for (size_t i = 0; i < whole.size(); ++i) {
        if (whole[i].Code != pieces[i].Code || whole[i].Text != pieces[i].Text) std::abort();
        const std::string& t = whole[i].Text;
        if (t.size() < 2 || t.compare(t.size() - 2, 2, "\r\n") != 0) std::abort();
        const size_t last = t.rfind("\r\n", t.size() - 3);
        const std::string line = t.substr(last == std::string::npos ? 0 : last + 2);
        if (quillan::crash::SmtpReplyCode(line) != whole[i].Code) std::abort();
    }
    return 0;
}
