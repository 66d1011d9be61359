// The rule that refuses a paste into a program of a higher integrity level, on what is
// known of the two levels.
#include "engine/paste/integrity.h"

#include <gtest/gtest.h>

namespace quillan {
namespace {

constexpr uint32_t kLow = 0x1000;
constexpr uint32_t kMedium = 0x2000;
constexpr uint32_t kHigh = 0x3000;
constexpr uint32_t kSystem = 0x4000;

struct Case {
    const char* what;
    TIntegrityLevel ours;
    TIntegrityLevel target;
    bool blocked;
};

TEST(InputBlockedByIntegrity, RefusesOnlyAKnownHigherLevel) {
    const Case cases[] = {
        {"target's token refused (another user, same level)", kMedium, std::nullopt, false},
        {"target's token refused while we run high", kHigh, std::nullopt, false},
        {"our own level unknown", std::nullopt, kHigh, false},
        {"neither known", std::nullopt, std::nullopt, false},
        {"equal levels", kMedium, kMedium, false},
        {"equal high levels", kHigh, kHigh, false},
        {"target elevated", kMedium, kHigh, true},
        {"target a system service's window", kHigh, kSystem, true},
        {"we are low, target medium", kLow, kMedium, true},
        {"target lower", kHigh, kMedium, false},
        {"target low", kMedium, kLow, false},
    };
    for (const Case& c : cases) EXPECT_EQ(InputBlockedByIntegrity(c.ours, c.target), c.blocked) << c.what;
}

}  // namespace
}  // namespace quillan
