// abort(), or with signal=1 SIGABRT raised through the C run-time, as its own abort() and
// assert() do (those calls never pass the program's abort wrapper).
#include <csignal>
#include <cstdlib>

#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] void GiveUp(int reason) {
    if (reason != 0) std::abort();  // FAULT-ABORT
}

[[gnu::noinline]] void RaiseAbortSignal(int reason) {
    if (reason != 0) std::raise(SIGABRT);  // FAULT-SIGNAL
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    if (quillan::probe::Argument("signal") == "1") {
        RaiseAbortSignal(argc);
        return 0;
    }
    GiveUp(argc);
    return 0;
}
