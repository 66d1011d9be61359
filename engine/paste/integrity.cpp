#include "engine/paste/integrity.h"

namespace quillan {

bool InputBlockedByIntegrity(TIntegrityLevel ours, TIntegrityLevel target) {
    return ours.has_value() && target.has_value() && *target > *ours;
}

}  // namespace quillan
