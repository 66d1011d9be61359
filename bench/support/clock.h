// Milliseconds on the monotonic clock, for benches that time a step by hand.
#pragma once

#include <chrono>

namespace quillan::bench {

inline double MonotonicMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace quillan::bench
