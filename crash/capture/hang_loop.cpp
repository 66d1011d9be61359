#include "crash/capture/hang_loop.h"

namespace quillan::crash {

namespace {

// Step 1: wait for a window, every 50 ms.
bool AwaitWindow(IHangProbe& probe) {
    while (!probe.FindWindow()) {
        if (!probe.Wait(50)) return false;
    }
    return true;
}

}  // namespace

void RunHangDetector(IHangProbe& probe, std::uint32_t timeoutSeconds) {
    const std::uint64_t limit = static_cast<std::uint64_t>(timeoutSeconds) * 1000;
    if (!AwaitWindow(probe)) return;
    std::uint64_t silent = 0;
    while (!probe.StopRequested()) {
        switch (probe.Ping()) {
            case IHangProbe::TPing::Answered:
                for (int i = 0; i < 5; ++i) {
                    if (!probe.Wait(50)) return;
                }
                silent = 0;
                break;
            case IHangProbe::TPing::NoAnswer:
                silent += 50;
                break;
            case IHangProbe::TPing::Gone:
                // A closed window is not a frozen one (a splash screen, a dialog that was the
                // first visible window): find the application's window again.
                silent = 0;
                if (!AwaitWindow(probe)) return;
                break;
        }
        if (silent > 0 && silent >= limit) {
            probe.ReportFrozen();
            silent = 0;
        }
    }
}

}  // namespace quillan::crash
