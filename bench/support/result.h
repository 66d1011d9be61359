// One row of the table that scripts/bench.sh ends with: the measure, our figure, the peer or
// limit it is held against (same unit), and the goal in words. The script works out the ratio.
#pragma once

#include <cstdio>

namespace quillan::bench {

inline void PrintResult(const char* measure, double ours, double against, const char* againstName, const char* unit,
                        const char* goal) {
    std::printf("bench-result: %s|%.4g|%.4g|%s|%s|%s\n", measure, ours, against, againstName, unit, goal);
    std::fflush(stdout);
}

}  // namespace quillan::bench
