// An exception nobody catches, on the main thread. Options:
//   rethrow=1   caught on the way and rethrown with "throw;"
//   carried=1   thrown in a std::async task and rethrown on the main thread by future::get()
#include <future>
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

[[gnu::noinline]] void CatchAndRethrow(int depth) {
    try {
        ThrowUncaught(depth);
    } catch (const EProbeUncaught&) {
        OutputDebugStringA("passing it on");
        throw;  // RETHROW-SITE
    }
}

[[gnu::noinline]] int TaskThrows(int depth) {
    if (depth >= 0) throw EProbeUncaught("Carried over from a task.");  // THROW-TASK
    return depth;
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    if (quillan::probe::Argument("rethrow") == "1") CatchAndRethrow(2);
    if (quillan::probe::Argument("carried") == "1") {
        std::future<int> result = std::async(std::launch::async, TaskThrows, argc);
        return result.get();
    }
    ThrowUncaught(2);
    return 0;
}
