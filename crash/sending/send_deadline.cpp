#include "crash/sending/send_deadline.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "crash/sending/socket_errors.h"

namespace quillan::crash {

namespace {

// Four decimal numbers of 0 to 255 between dots, nothing else.
bool DottedAddress(const std::string& host, std::uint32_t& address) {
    std::uint32_t value = 0;
    int parts = 0;
    for (size_t at = 0; at <= host.size(); ++parts) {
        size_t end = host.find('.', at);
        if (end == std::string::npos) end = host.size();
        if (end == at || end - at > 3 || parts == 4) return false;
        unsigned part = 0;
        for (size_t i = at; i < end; ++i) {
            if (host[i] < '0' || host[i] > '9') return false;
            part = part * 10 + static_cast<unsigned>(host[i] - '0');
        }
        if (part > 255) return false;
        value = value << 8 | part;
        at = end + 1;
    }
    if (parts != 4) return false;
    address = value;
    return true;
}

// What the lookup thread and the waiting one share; the last of the two frees it.
struct TLookupState {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    bool Found = false;
    std::uint32_t Address = 0;
};

}  // namespace

TSendDeadline::TSendDeadline(std::function<std::uint32_t()> tickCount, int totalMs)
    : tickCount_(std::move(tickCount)), totalMs_(totalMs) {
    if (tickCount_) start_ = tickCount_();
}

int TSendDeadline::Limit(int limitMs) const {
    if (!tickCount_) return limitMs;
    const auto elapsed = static_cast<std::int64_t>(static_cast<std::uint32_t>(tickCount_() - start_));
    const std::int64_t left = totalMs_ - elapsed;
    if (left <= 0) RaiseSocketError(TSocketFailure::Timeout);
    return static_cast<int>(std::min<std::int64_t>(limitMs, left));
}

bool ResolveHostWithin(const std::string& host, int timeoutMs, const THostLookup& lookup, std::uint32_t& address) {
    if (DottedAddress(host, address)) return true;
    auto state = std::make_shared<TLookupState>();
    try {
        std::thread([state, host, lookup] {
            std::uint32_t found = 0;
            bool ok = false;
            try {
                ok = lookup(host, found);
            } catch (...) {
                // A failed lookup is one that found nothing.
            }
            std::lock_guard<std::mutex> hold(state->Lock);
            state->Found = ok;
            state->Address = found;
            state->Finished = true;
            state->Done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: a lookup without a limit must not run on the fault path.
        return false;
    }
    std::unique_lock<std::mutex> hold(state->Lock);
    if (!state->Done.wait_for(hold, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] { return state->Finished; }))
        RaiseSocketError(TSocketFailure::Timeout);
    if (!state->Found) return false;
    address = state->Address;
    return true;
}

}  // namespace quillan::crash
