// Heap corruption as the system reports it (0xC0000374), which never reaches the
// unhandled-exception filter.
#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] void ReportHeapCorruption() {
    RaiseException(0xC0000374, EXCEPTION_NONCONTINUABLE, 0, nullptr);  // FAULT-HEAP
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    ReportHeapCorruption();
    return 0;
}
