// An access violation: a write through a null pointer.
#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] void WriteThroughNull(volatile int* target) {
    *target = 42;  // FAULT-ACCESS
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    WriteThroughNull(nullptr);  // CALL-ACCESS
    return 0;
}
