// Test fixture for the tray icon: records what goes to the shell and which menu
// would pop up, and pumps messages until a condition holds or a deadline passes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/tray/tray_icon_win.h"
#include "framework/menus/menus_win.h"
#include "framework/win/application_win.h"
#include "tests/support/pump.h"

namespace quillan::test {

struct ShellCall {
    DWORD message;
    UINT flags;
    DWORD size;
    HWND wnd;
    UINT id;
    UINT callback;
    UINT version;
    HICON icon;
    std::wstring tip, title, info;
    DWORD infoFlags;
};

struct MenuPopupCall {
    TPopupMenu* menu;
    int x, y;
    HWND owner;
    ULONGLONG tick;
};

inline constexpr DWORD kNewShell = 0x00060000;
inline constexpr DWORD kOldShell = 0x00040000;

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::Application().ShowMainForm = true;
        win::Application().OnException = [this](const std::exception& e) { exceptions.push_back(e.what()); };
        trayMenu.Items().Add(std::make_unique<TMenuItem>("Выход", "N3"));
    }
    void TearDown() override { win::Application().OnException = nullptr; }

    // A tray icon wired to the recorders, still loading.
    std::unique_ptr<TTrayIcon> MakeTray(DWORD shellVersion = kNewShell) {
        auto tray = std::make_unique<TTrayIcon>(shellVersion);
        tray->ShellNotifyIcon = [this](DWORD message, NOTIFYICONDATAW& d) {
            calls.push_back({message, d.uFlags, d.cbSize, d.hWnd, d.uID, d.uCallbackMessage, d.uVersion, d.hIcon,
                             d.szTip, d.szInfoTitle, d.szInfo, d.dwInfoFlags});
            return TRUE;
        };
        tray->MenuPopup = [this](TPopupMenu& menu, int x, int y, HWND owner) {
            popups.push_back({&menu, x, y, owner, GetTickCount64()});
        };
        return tray;
    }

    // Configured as the main form configures it, and loaded.
    std::unique_ptr<TTrayIcon> MakeProgramTray(DWORD shellVersion = kNewShell) {
        auto tray = MakeTray(shellVersion);
        tray->SetActive(true);
        tray->SetHint("Quillan (Ctrl + Win + A)");
        tray->DropDownMenu = &trayMenu;
        tray->SetDelay(50);
        tray->SetVisibility({tvVisibleTaskList, tvAutoHide});
        tray->Loaded();
        return tray;
    }

    static LRESULT Callback(TTrayIcon& tray, UINT event) {
        return SendMessageW(tray.CallbackWindow(), TTrayIcon::kCallbackMessage, TTrayIcon::kIconId, event);
    }

    // Lets a pending click's timer fire, for checks that nothing happens.
    static void PumpPastDoubleClickTime() {
        PumpUntil([] { return false; }, 2 * GetDoubleClickTime() + 200);
    }
    static DWORD ClickDeadline() { return 4 * GetDoubleClickTime() + 2000; }

    size_t CountCalls(DWORD message) const {
        size_t n = 0;
        for (const ShellCall& c : calls) n += c.message == message;
        return n;
    }

    TPopupMenu trayMenu;
    std::vector<ShellCall> calls;
    std::vector<MenuPopupCall> popups;
    std::vector<std::string> exceptions;
};

}  // namespace quillan::test
