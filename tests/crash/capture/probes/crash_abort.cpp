// abort().
#include <cstdlib>

#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] void GiveUp(int reason) {
    if (reason != 0) std::abort();  // FAULT-ABORT
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    GiveUp(argc);
    return 0;
}
