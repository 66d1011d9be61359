// A stack overflow: real, by unbounded recursion, or simulated (simulated=1) by raising the
// code, for systems that end the process before a real one can be reported.
#include "tests/crash/capture/probes/probe_support.h"

// The limit is never reached: the stack ends first (a 2 MB stack holds some 4,000 frames).
volatile int g_limit = 1 << 30;

[[gnu::noinline]] int Recurse(int depth) {
    volatile char frame[512];
    for (char& c : const_cast<char(&)[512]>(frame)) c = static_cast<char>(depth);
    if (depth >= g_limit) return 0;
    return Recurse(depth + 1) + frame[depth % 512];  // FAULT-RECURSE
}

[[gnu::noinline]] void RaiseOverflow() {
    RaiseException(EXCEPTION_STACK_OVERFLOW, 0, 0, nullptr);  // FAULT-SIMULATED
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    if (quillan::probe::Argument("simulated") == "1") {
        RaiseOverflow();
        return 0;
    }
    return Recurse(0);
}
