// A C++ exception thrown three calls deep inside a menu item's handler: reported through the
// application's exception handling; the program goes on and still answers its hotkey.
#include <windows.h>

#include "framework/core/exceptions.h"
#include "framework/menus/menus_win.h"
#include "framework/win/application_win.h"
#include "framework/win/window_win.h"
#include "tests/crash/capture/probes/probe_support.h"

namespace quillan {

QUILLAN_EXCEPTION(EProbeMenu, Exception);

namespace {

constexpr UINT kOpenMenu = WM_APP + 1;
std::string g_folder;

[[gnu::noinline]] void ThrowingLevel3(int value) {
    if (value >= 0) throw EProbeMenu("Menu handler failed at level 3.");  // THROW-LEVEL3
}

[[gnu::noinline]] void CallingLevel2(int value) {
    ThrowingLevel3(value + 1);  // CALL-LEVEL2
    OutputDebugStringA("not reached");
}

[[gnu::noinline]] void CallingLevel1(int value) {
    CallingLevel2(value * 2);  // CALL-LEVEL1
    OutputDebugStringA("not reached");
}

class TProbeForm : public win::TWindow {
public:
    void Create() {
        RegisterWindowClass(L"TProbeForm");
        CreateHandle(0, L"TProbeForm", "Probe form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr);
        auto item = std::make_unique<TMenuItem>("Crash", "N1");
        item->OnClick = [](TMenuItem& sender) { CallingLevel1(static_cast<int>(sender.Tag)); };
        menu_.Items().Add(std::move(item));
        RegisterHotKey(hwnd_, 1, MOD_CONTROL | MOD_WIN, 'J');
        PostMessageW(hwnd_, kOpenMenu, 0, 0);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
            case kOpenMenu:
                // The menu's own loop takes these keys: the first item is chosen.
                PostMessageW(hwnd_, WM_KEYDOWN, VK_DOWN, 0);
                PostMessageW(hwnd_, WM_KEYDOWN, VK_RETURN, 0);
                menu_.Popup(60, 60, hwnd_);
                probe::WriteMarker(g_folder, "menu-done.txt");
                return 0;
            case WM_HOTKEY:
                probe::WriteMarker(g_folder, "hotkey.txt");
                UnregisterHotKey(hwnd_, 1);
                PostQuitMessage(0);
                return 0;
            default:
                return TWindow::HandleMessage(msg, wParam, lParam);
        }
    }

private:
    TPopupMenu menu_;
};

}  // namespace
}  // namespace quillan

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quillan::g_folder = quillan::probe::SetupFromCommandLine();
    quillan::TProbeForm form;
    form.Create();
    return quillan::win::Application().Run();
}
