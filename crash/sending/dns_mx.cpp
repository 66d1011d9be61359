#include "crash/sending/dns_mx.h"

#include <algorithm>
#include <cstdlib>

#include "crash/sending/socket_errors.h"
#include "framework/core/convert.h"

namespace quillan::crash {

namespace {

constexpr size_t kMaxName = 255;

// Reads packet bytes with bounds checks; any overrun makes the whole reply malformed.
class TReader {
public:
    explicit TReader(std::string_view packet) : p_(packet) {}

    bool U8(std::uint8_t& v) {
        if (at_ + 1 > p_.size()) return false;
        v = static_cast<std::uint8_t>(p_[at_++]);
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (at_ + 2 > p_.size()) return false;
        v = static_cast<std::uint16_t>(static_cast<std::uint8_t>(p_[at_]) << 8 |
                                       static_cast<std::uint8_t>(p_[at_ + 1]));
        at_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        std::uint16_t hi, lo;
        if (!U16(hi) || !U16(lo)) return false;
        v = static_cast<std::uint32_t>(hi) << 16 | lo;
        return true;
    }
    bool Skip(size_t n) {
        if (n > p_.size() - at_) return false;
        at_ += n;
        return true;
    }
    // A name at the current position, following compression pointers. Each pointer must go back
    // before the label that holds it, so a pointer loop cannot exist.
    bool Name(std::string& name) { return NameAt(at_, name, true); }
    size_t Position() const { return at_; }
    void Seek(size_t at) { at_ = at; }

private:
    bool NameAt(size_t at, std::string& name, bool advance) {
        name.clear();
        size_t limit = at;  // a pointer must go before this
        size_t wire = 0;
        bool jumped = false;
        for (;;) {
            if (at >= p_.size()) return false;
            const auto len = static_cast<std::uint8_t>(p_[at]);
            if ((len & 0xC0) == 0xC0) {
                if (at + 1 >= p_.size()) return false;
                const size_t target = (len & 0x3F) << 8 | static_cast<std::uint8_t>(p_[at + 1]);
                if (target >= limit) return false;
                if (!jumped && advance) at_ = at + 2;
                jumped = true;
                limit = target;
                at = target;
                continue;
            }
            if (len & 0xC0) return false;  // the reserved label kinds
            wire += len + 1;
            if (wire > kMaxName) return false;
            if (len == 0) {
                if (!jumped && advance) at_ = at + 1;
                return true;
            }
            if (at + 1 + len > p_.size()) return false;
            if (!name.empty()) name += '.';
            name.append(p_.data() + at + 1, len);
            at += 1 + len;
        }
    }

    std::string_view p_;
    size_t at_ = 0;
};

}  // namespace

std::string BuildMxQuery(std::uint16_t id, std::string_view domain) {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    if (domain.empty() || domain.size() > 253) return {};
    std::string q;
    q += static_cast<char>(id >> 8);
    q += static_cast<char>(id & 0xFF);
    q += '\x01';  // recursion desired
    q += '\x00';
    q += std::string("\x00\x01\x00\x00\x00\x00\x00\x00", 8);  // one question
    size_t start = 0;
    for (;;) {
        const size_t dot = domain.find('.', start);
        const std::string_view label = domain.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (label.empty() || label.size() > 63) return {};
        q += static_cast<char>(label.size());
        q.append(label);
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    q += '\x00';
    q += std::string("\x00\x0F\x00\x01", 4);  // type MX, class IN
    return q;
}

bool ParseDnsReply(std::string_view packet, TDnsReply& reply) {
    TDnsReply r;
    TReader in(packet);
    std::uint16_t flags, qd, an, ns, ar;
    if (!in.U16(r.Id) || !in.U16(flags) || !in.U16(qd) || !in.U16(an) || !in.U16(ns) || !in.U16(ar)) return false;
    r.Response = flags & 0x8000;
    r.Truncated = flags & 0x0200;
    r.RCode = flags & 0x000F;
    for (unsigned i = 0; i < qd; ++i) {
        std::string name;
        if (!in.Name(name) || !in.Skip(4)) return false;
        if (i == 0) r.Question = name;
    }
    const std::string question = AsciiLowerCase(r.Question);
    const unsigned records = static_cast<unsigned>(an) + ns + ar;
    for (unsigned i = 0; i < records; ++i) {
        std::string owner;
        std::uint16_t type, klass, length;
        std::uint32_t ttl;
        if (!in.Name(owner) || !in.U16(type) || !in.U16(klass) || !in.U32(ttl) || !in.U16(length)) return false;
        const size_t dataStart = in.Position();
        if (length > packet.size() - dataStart) return false;
        if (klass == 1 && type == kDnsTypeMx && i < an && AsciiLowerCase(owner) == question) {
            TMxRecord mx;
            if (length < 3 || !in.U16(mx.Preference) || !in.Name(mx.Host)) return false;
            if (in.Position() > dataStart + length) return false;
            r.Mx.push_back(std::move(mx));
        } else if (klass == 1 && type == kDnsTypeA && length == 4) {
            std::uint32_t address;
            if (!in.U32(address)) return false;
            r.Addresses.emplace_back(AsciiLowerCase(owner), address);
        }
        in.Seek(dataStart + length);
    }
    reply = std::move(r);
    return true;
}

std::vector<TMailExchanger> MailExchangers(const TDnsReply& reply, std::string_view domain) {
    std::vector<TMxRecord> mx = reply.Mx;
    std::stable_sort(mx.begin(), mx.end(),
                     [](const TMxRecord& a, const TMxRecord& b) { return a.Preference < b.Preference; });
    std::vector<TMailExchanger> out;
    if (mx.empty()) mx.push_back({0, std::string(domain)});
    for (const auto& record : mx) {
        if (record.Host.empty()) continue;  // "." is a null exchanger: no mail for this domain
        TMailExchanger x;
        x.Host = record.Host;
        const std::string key = AsciiLowerCase(record.Host);
        for (const auto& [name, address] : reply.Addresses)
            if (name == key) x.Addresses.push_back(address);
        out.push_back(std::move(x));
    }
    return out;
}

std::string MxFailureText(const std::string& domain) { return "Cannot resolve the \"" + domain + "\" MX record."; }

std::vector<TMailExchanger> LookupMailExchangers(IUdpSocket& socket, const std::string& server,
                                                 const std::string& domain, int timeoutMs, std::uint16_t id,
                                                 const std::function<std::uint32_t()>& tickCount) {
    std::string address = server;
    std::uint16_t port = 53;
    if (const size_t colon = server.find(':'); colon != std::string::npos) {
        address = server.substr(0, colon);
        port = static_cast<std::uint16_t>(std::strtoul(server.c_str() + colon + 1, nullptr, 10));
    }
    const std::string query = BuildMxQuery(id, domain);
    if (query.empty() || address.empty() || port == 0) throw EMishapSocketError(MxFailureText(domain));
    std::string wanted(domain);
    if (!wanted.empty() && wanted.back() == '.') wanted.pop_back();
    wanted = AsciiLowerCase(wanted);

    const std::uint32_t start = tickCount();
    const int resend = std::max(timeoutMs / 5, 1);
    int sinceSend = resend;
    for (;;) {
        const int elapsed = static_cast<int>(tickCount() - start);
        if (elapsed >= timeoutMs) break;
        if (sinceSend >= resend) {
            socket.SendTo(address, port, query);
            sinceSend = 0;
        }
        const int wait = std::min(resend - sinceSend, timeoutMs - elapsed);
        const std::uint32_t before = tickCount();
        std::string datagram;
        const bool got = socket.ReceiveFrom(datagram, wait);
        sinceSend += static_cast<int>(tickCount() - before);
        if (!got) {
            sinceSend = std::max(sinceSend, wait);
            continue;
        }
        TDnsReply reply;
        // Stray or forged datagrams (another id, another question) are ignored.
        if (!ParseDnsReply(datagram, reply) || !reply.Response || reply.Id != id || AsciiLowerCase(reply.Question) != wanted)
            continue;
        // A truncated reply is used when the MX records it kept are whole; without any it proves nothing.
        if (reply.RCode != 0 || (reply.Truncated && reply.Mx.empty())) break;
        auto exchangers = MailExchangers(reply, wanted);
        if (exchangers.empty()) break;
        return exchangers;
    }
    throw EMishapSocketError(MxFailureText(domain));
}

}  // namespace quillan::crash
