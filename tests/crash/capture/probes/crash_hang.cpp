// A main window that stops answering for 3.5 seconds with HangTimeout 2: one EApplicationFrozen
// report naming the main thread's stack. With heaplock=1 the main thread holds the process
// heap's lock while it is frozen: the report needs that heap, so it can end only once the main
// thread has been let go on.
#include <windows.h>

#include "crash/options/current_options.h"
#include "framework/win/application_win.h"
#include "framework/win/window_win.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {
namespace {

std::string g_folder;
enum : UINT_PTR { kFreezeTimer = 1, kQuitTimer = 2 };

[[gnu::noinline]] void Freeze(DWORD milliseconds) {
    Sleep(milliseconds);  // HANG-SLEEP
    OutputDebugStringA("thawed");
}

[[gnu::noinline]] void FreezeHoldingTheHeap(DWORD milliseconds) {
    HeapLock(GetProcessHeap());
    Sleep(milliseconds);  // HANG-LOCKED
    HeapUnlock(GetProcessHeap());
    OutputDebugStringA("thawed");
}

class THangForm : public win::TWindow {
public:
    void Create() {
        RegisterWindowClass(L"THangForm");
        CreateHandle(0, L"THangForm", "Hang probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 80, 300, 200, nullptr);
        SetTimer(hwnd_, kFreezeTimer, 600, nullptr);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_TIMER && wParam == kFreezeTimer) {
            KillTimer(hwnd_, kFreezeTimer);
            if (probe::Argument("heaplock") == "1") {
                FreezeHoldingTheHeap(3500);
            } else {
                Freeze(3500);
            }
            SetTimer(hwnd_, kQuitTimer, 1500, nullptr);
            return 0;
        }
        if (msg == WM_TIMER && wParam == kQuitTimer) {
            KillTimer(hwnd_, kQuitTimer);
            // Closing a visible window takes Wine without a window manager about two seconds,
            // which the detector would rightly call frozen: it stops first.
            crash::CurrentMishapLogOptions().SetHangDetection(false);
            probe::WriteMarker(g_folder, "done.txt");
            PostQuitMessage(0);
            return 0;
        }
        return TWindow::HandleMessage(msg, wParam, lParam);
    }
};

}  // namespace
}  // namespace quillan

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quillan::g_folder = quillan::probe::SetupFromCommandLine();
    quillan::THangForm form;
    form.Create();
    return quillan::win::Application().Run();
}
