// The report thread itself faults while it reports a C++ exception: where=present in the
// presentation step (before the log), where=send in sending (after it). A report of that
// exception lands once (reduced when the fault came first), then the program restarts or ends
// as TerminateAction says.
#include <windows.h>

#include "crash/capture/mishaplog_win.h"
#include "crash/options/current_options.h"
#include "framework/core/exceptions.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {

QUILLAN_EXCEPTION(EProbeGuard, Exception);

namespace {

[[gnu::noinline]] void FaultInTheReport(volatile int* target) {
    *target = 3;  // FAULT-REPORT
}

}  // namespace
}  // namespace quillan

int wmain(int argc, wchar_t** argv) {
    const std::string folder = quillan::probe::Setup(argc, argv);
    auto& hooks = quillan::crash::MishapLogPlatform()->Hooks;
    if (quillan::probe::Argument("where") == "send") {
        quillan::crash::CurrentMishapLogOptions().SetMailMethod(1);
        hooks.Send = [](const quillan::crash::TReportJob&, bool) { quillan::FaultInTheReport(nullptr); };
    } else {
        hooks.WebHost = [] {
            quillan::FaultInTheReport(nullptr);
            return false;
        };
    }
    try {
        throw quillan::EProbeGuard("Reported although the report failed.");
    } catch (const std::exception& e) {
        quillan::crash::ExceptionManagerEntry(&e, nullptr, 0, nullptr);
    }
    quillan::probe::WriteMarker(folder, "returned.txt");
    return 0;
}
