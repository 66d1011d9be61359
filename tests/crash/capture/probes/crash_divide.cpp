// An integer division by zero.
#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] int Divide(int dividend, int divisor) {
    volatile int by = divisor;
    return dividend / by;  // FAULT-DIVIDE
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    volatile int result = Divide(10, 0);  // CALL-DIVIDE
    return result;
}
