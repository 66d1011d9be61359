// An access violation: a write through a null pointer. Options:
//   illegal=1       an illegal instruction instead
//   notifyfault=1   the program's exception-notify event faults as well, while the report of the
//                   first fault is made
//   delay=MS        the first instance (not a restarted one) waits MS milliseconds first
#include <windows.h>

#include <string>

#include "crash/capture/mishaplog_win.h"
#include "tests/crash/capture/probes/probe_support.h"

[[gnu::noinline]] void WriteThroughNull(volatile int* target) {
    *target = 42;  // FAULT-ACCESS
}

[[gnu::noinline]] void ExecuteIllegal(int reason) {
    if (reason != 0) __builtin_trap();  // FAULT-ILLEGAL
}

int wmain(int argc, wchar_t** argv) {
    quillan::probe::Setup(argc, argv);
    const std::string delay = quillan::probe::Argument("delay");
    if (!delay.empty() && !quillan::probe::Restarted()) Sleep(static_cast<DWORD>(std::stoul(delay)));
    if (quillan::probe::Argument("notifyfault") == "1") {
        quillan::crash::MishapLogDriver()->Events.OnExceptionNotify = [](const quillan::crash::TReportJob&, bool&) {
            WriteThroughNull(nullptr);
        };
    }
    if (quillan::probe::Argument("illegal") == "1") ExecuteIllegal(argc);
    WriteThroughNull(nullptr);  // CALL-ACCESS
    return 0;
}
