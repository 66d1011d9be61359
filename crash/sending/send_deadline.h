// Time limits of a send: one deadline for a whole SMTP send, and host names looked up within a
// limit. Platform-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillan::crash {

// The end of a whole send, on the platform's millisecond tick (wrap-around safe). Without one
// (default) every wait keeps its own limit.
class TSendDeadline {
public:
    TSendDeadline() = default;
    TSendDeadline(std::function<std::uint32_t()> tickCount, int totalMs);

    // The smaller of limitMs and what is left; raises EMishapSocketError "Socket timeout." when
    // nothing is left.
    int Limit(int limitMs) const;

private:
    std::function<std::uint32_t()> tickCount_;
    std::uint32_t start_ = 0;
    int totalMs_ = 0;
};

// The IPv4 address of host (most significant byte first): a dotted address is read directly; a name
// goes to lookup (the system's resolver, which has no limit of its own) on a thread of its own,
// waited for at most timeoutMs. A lookup still running then is left to end by itself and its
// answer dropped. Raises EMishapSocketError "Socket timeout." on timeout; false when lookup found
// nothing (or no thread could be started for it).
using THostLookup = std::function<bool(const std::string& host, std::uint32_t& address)>;
[[nodiscard]] bool ResolveHostWithin(const std::string& host, int timeoutMs, const THostLookup& lookup,
                                     std::uint32_t& address);

}  // namespace quillan::crash
