// An exception nobody catches, on the main thread.
#include <stdexcept>

#include "framework/core/exceptions.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {
QUILLAN_EXCEPTION(EProbeUncaught, Exception);
}
using quillan::EProbeUncaught;

[[gnu::noinline]] void ThrowUncaught(int depth) {
    if (depth > 0) {
        ThrowUncaught(depth - 1);
        return;
    }
    throw EProbeUncaught("Nobody catches this.");  // THROW-SITE
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    ThrowUncaught(2);
    return 0;
}
