// Feeds arbitrary bytes to the DNS reply reader and the choice of mail exchangers, and the same
// bytes as the answer to a lookup through a stand-in socket. Names stay within 255 bytes, and a
// lookup either returns exchangers or raises its one failure text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crash/sending/dns_mx.h"
#include "crash/sending/socket_errors.h"

namespace {

class TOneAnswer : public quillan::crash::IUdpSocket {
public:
    explicit TOneAnswer(std::string answer) : answer_(std::move(answer)) {}
    void SendTo(const std::string&, std::uint16_t, std::string_view) override {}
    bool ReceiveFrom(std::string& datagram, int) override {
        if (given_) return false;
        given_ = true;
        datagram = answer_;
        return true;
    }

private:
    std::string answer_;
    bool given_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    quillan::crash::TDnsReply reply;
    if (quillan::crash::ParseDnsReply(bytes, reply)) {
        if (reply.Question.size() > 255) std::abort();
        for (const auto& mx : reply.Mx)
            if (mx.Host.size() > 255) std::abort();
        for (const auto& x : quillan::crash::MailExchangers(reply, "example.test"))
            if (x.Host.empty()) std::abort();
    }
    // The lookup's id is taken from the packet so that matching replies are reached too.
    const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : 0;
    TOneAnswer socket(bytes);
    std::uint32_t clock = 0;
    try {
        const auto found = quillan::crash::LookupMailExchangers(socket, "127.0.0.1:53", "example.test", 100, id,
                                                                [&clock] { return clock += 30; });
        if (found.empty()) std::abort();
    } catch (const quillan::crash::EMishapSocketError& e) {
        if (e.Message() != "Cannot resolve the \"example.test\" MX record.") std::abort();
    }
    return 0;
}
