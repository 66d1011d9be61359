// The report flow's rules, one scenario per run (argument scenario=...):
//   duplicate   the same exception twice: one report
//   reentrant   exceptions raised while the report is made, on the same thread: swallowed
//   filter      exceptions of a filtered class (and of a class derived from it): no report
//   burst       ten reports within a minute with the burst rule on: the program restarts
//   concurrent  two threads fail at the same moment: one report after the other
#include <windows.h>

#include <string>
#include <thread>

#include "crash/capture/mishaplog_win.h"
#include "framework/core/exceptions.h"
#include "framework/win/application_win.h"
#include "framework/win/window_win.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {

QUILLAN_EXCEPTION(EProbeFlow, Exception);
QUILLAN_EXCEPTION(EProbeFiltered, Exception);
QUILLAN_EXCEPTION(EProbeFilteredChild, EProbeFiltered);
QUILLAN_EXCEPTION(EProbeInner, Exception);

namespace {

std::string g_folder;
int g_inner = 0;
int g_pumped = 0;
int g_keys = 0;
constexpr UINT kThrowWhilePumped = WM_APP + 2;

[[gnu::noinline]] void ThrowFlow(const std::string& message) {
    throw EProbeFlow(message);  // THROW-FLOW
}

// A window whose message handler fails: its message is dispatched while the main thread waits
// for a report.
class TFailingWindow : public win::TWindow {
public:
    void Create() {
        RegisterWindowClass(L"TProbeFailing");
        CreateHandle(0, L"TProbeFailing", "", 0, 0, 0, 0, 0, HWND_MESSAGE);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kThrowWhilePumped) {
            ++g_pumped;
            throw EProbeInner("Raised by a message pumped during the report.");
        }
        if (msg == WM_KEYDOWN) ++g_keys;
        return TWindow::HandleMessage(msg, wParam, lParam);
    }
};

void Duplicate() {
    for (int i = 0; i < 2; ++i) win::Guarded([] { ThrowFlow("The same failure twice."); });
}

void Reentrant() {
    TFailingWindow window;
    window.Create();
    crash::MishapLogDriver()->Events.OnExceptionNotify = [](const crash::TReportJob&, bool&) {
        win::Guarded([] { throw EProbeInner("Raised by the exception-notify event."); });
        ++g_inner;
    };
    // Waiting for the report, this thread dispatches the first, answers the key with a beep and
    // drops the quit.
    PostMessageW(window.Handle(), kThrowWhilePumped, 0, 0);
    PostMessageW(window.Handle(), WM_KEYDOWN, 'A', 0);
    PostQuitMessage(3);
    win::Guarded([] { ThrowFlow("The outer failure."); });
    crash::MishapLogDriver()->Events.OnExceptionNotify = nullptr;
    MSG msg;
    int left = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT || msg.message == WM_KEYDOWN) ++left;
    }
    probe::WriteMarker(g_folder, "reentrant.txt",
                       "inner=" + std::to_string(g_inner) + " pumped=" + std::to_string(g_pumped) +
                           " keys=" + std::to_string(g_keys) + " left=" + std::to_string(left));
}

void Filter() {
    win::Guarded([] { throw EProbeFiltered("Filtered by its class."); });
    win::Guarded([] { throw EProbeFilteredChild("Filtered by its ancestor."); });
}

void Burst() {
    for (int i = 1; i <= 10; ++i) win::Guarded([i] { ThrowFlow("Burst failure " + std::to_string(i) + "."); });
}

void Concurrent() {
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto fail = [start](int n) {
        WaitForSingleObject(start, INFINITE);
        win::Guarded([n] { ThrowFlow("Concurrent failure " + std::to_string(n) + "."); });
    };
    std::thread first(fail, 1), second(fail, 2);
    Sleep(100);
    SetEvent(start);
    first.join();
    second.join();
    CloseHandle(start);
}

}  // namespace
}  // namespace quillan

int wmain(int argc, wchar_t** argv) {
    using namespace quillan;
    g_folder = probe::Setup(argc, argv);
    const std::string scenario = probe::Argument("scenario");
    if (scenario == "duplicate") Duplicate();
    if (scenario == "reentrant") Reentrant();
    if (scenario == "filter") Filter();
    if (scenario == "burst") Burst();
    if (scenario == "concurrent") Concurrent();
    probe::WriteMarker(g_folder, "done.txt", scenario);
    return 0;
}
