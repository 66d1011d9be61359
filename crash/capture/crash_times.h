// The crash-burst rule: too many reports too close together end the application. Platform-free.
#pragma once

#include <cstdint>
#include <cstddef>
#include <deque>

namespace quillan::crash {

// The times (days since 1899-12-30) of the most recent reports.
class TCrashTimes {
public:
    // Appends now and drops the oldest entries while more than keep are held.
    void Add(double now, std::uint32_t keep);
    // True when exactly count times are held and the newest is at most minutes after the oldest.
    bool BurstReached(std::uint32_t count, std::uint32_t minutes) const;
    size_t Size() const { return times_.size(); }
    void Clear() { times_.clear(); }

private:
    std::deque<double> times_;
};

}  // namespace quillan::crash
