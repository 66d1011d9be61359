#include "crash/capture/crash_times.h"

namespace quillan::crash {

void TCrashTimes::Add(double now, std::uint32_t keep) {
    times_.push_back(now);
    while (times_.size() > keep) times_.pop_front();
}

bool TCrashTimes::BurstReached(std::uint32_t count, std::uint32_t minutes) const {
    if (count == 0 || times_.size() != count) return false;
    // A millisecond of slack: date-times are doubles and a minute is not exact in days.
    return times_.back() - times_.front() <= minutes / 1440.0 + 1.0 / 86400000.0;
}

}  // namespace quillan::crash
