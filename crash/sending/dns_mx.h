// The MX lookup of direct sending: the query packet, the reply reader and the exchange over UDP
// with the system's DNS server. Platform-free; the reply reader reads network bytes, so it is fuzzed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/sending/send_platform.h"

namespace quillan::crash {

inline constexpr std::uint16_t kDnsTypeA = 1;
inline constexpr std::uint16_t kDnsTypeMx = 15;
inline constexpr int kDnsNameError = 3;  // RCODE: the name does not exist

struct TMxRecord {
    std::uint16_t Preference = 0;
    std::string Host;
};

struct TDnsReply {
    std::uint16_t Id = 0;
    bool Response = false;
    bool Truncated = false;
    int RCode = 0;
    std::string Question;       // the first question's name, as it came back
    std::vector<TMxRecord> Mx;  // answers of type MX for the question's name
    // A records from any section: name (lower case) and IPv4 address, most significant byte first.
    std::vector<std::pair<std::string, std::uint32_t>> Addresses;
};

// A recursive query for the MX records of domain. Empty when domain is no valid name (an empty or
// over-long label, more than 253 characters).
std::string BuildMxQuery(std::uint16_t id, std::string_view domain);

// Reads a reply. False when the packet is malformed (truncated records, bad or looping name
// pointers, names over 255 bytes).
[[nodiscard]] bool ParseDnsReply(std::string_view packet, TDnsReply& reply);

// A mail exchanger in preference order, with the addresses the reply already gave for it.
struct TMailExchanger {
    std::string Host;
    std::vector<std::uint32_t> Addresses;
};

// The exchangers of the reply, lowest preference first (ties in answer order). A reply without MX
// records names the domain itself (the implicit exchanger).
std::vector<TMailExchanger> MailExchangers(const TDnsReply& reply, std::string_view domain);

// Asks server (a dotted IPv4 address, optionally ":" port) for the MX records of domain, sending
// the query again every fifth of timeoutMs, and gives up after timeoutMs. Raises
// EMishapSocketError "Cannot resolve the "domain" MX record." when no usable answer came.
std::vector<TMailExchanger> LookupMailExchangers(IUdpSocket& socket, const std::string& server,
                                                 const std::string& domain, int timeoutMs, std::uint16_t id,
                                                 const std::function<std::uint32_t()>& tickCount);

// "Cannot resolve the "domain" MX record."
std::string MxFailureText(const std::string& domain);

}  // namespace quillan::crash
