// Whether synthesised keys reach another program: the system drops input sent to a
// process of a higher integrity level without any error. The rule on what is known
// of the two levels, free of any platform.
#pragma once

#include <cstdint>
#include <optional>

namespace quillan {

// A process's mandatory integrity level, the RID of its token's label (0x1000 low,
// 0x2000 medium, 0x3000 high, 0x4000 system); empty when it could not be read.
using TIntegrityLevel = std::optional<uint32_t>;

// True only when both levels are known and the target's is above ours. A target whose
// token may not be read (another user's program at the same level, say) gets the keys.
bool InputBlockedByIntegrity(TIntegrityLevel ours, TIntegrityLevel target);

}  // namespace quillan
