// A C++ exception in a message handler is being reported while the main thread waits and keeps
// dispatching; one of the messages it dispatches then faults (then=fault, the default), ends in
// std::terminate (then=terminate) or calls abort() (then=abort). Both are reported, then the
// program restarts or ends as TerminateAction says.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "framework/core/exceptions.h"
#include "framework/win/application_win.h"
#include "framework/win/window_win.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {

QUILLAN_EXCEPTION(EProbeWaiting, Exception);
QUILLAN_EXCEPTION(EProbeTerminate, Exception);

namespace {

enum : UINT { kThrow = WM_APP + 1, kFault = WM_APP + 2 };

[[gnu::noinline]] void ThrowFirst() {
    throw EProbeWaiting("Reported while the second fails.");  // THROW-FIRST
}

[[gnu::noinline]] void FaultWhileWaiting(volatile int* target) {
    *target = 2;  // FAULT-WAITING
}

[[gnu::noinline]] void ThrowTerminate() {
    throw EProbeTerminate("Terminated while waiting.");  // THROW-TERMINATE
}

[[gnu::noinline]] void ThrowThroughNoexcept() noexcept { ThrowTerminate(); }

void FailWhileWaiting() {
    const std::string then = probe::Argument("then");
    if (then == "terminate") ThrowThroughNoexcept();
    if (then == "abort") abort();
    FaultWhileWaiting(nullptr);
}

class TWaitingForm : public win::TWindow {
public:
    void Create() {
        RegisterWindowClass(L"TWaitingForm");
        CreateHandle(0, L"TWaitingForm", "Waiting probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 300, 200, nullptr);
        PostMessageW(hwnd_, kThrow, 0, 0);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kThrow) {
            // Dispatched by the loop that waits for the report of the throw below.
            PostMessageW(hwnd_, kFault, 0, 0);
            ThrowFirst();
        }
        if (msg == kFault) FailWhileWaiting();
        return TWindow::HandleMessage(msg, wParam, lParam);
    }
};

}  // namespace
}  // namespace quillan

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quillan::probe::SetupFromCommandLine();
    quillan::TWaitingForm form;
    form.Create();
    return quillan::win::Application().Run();
}
