// The callback window and what the tray icon does with its messages: shell
// callbacks, clicks, menus, timers and the shell's restart.
#include "components/tray/tray_window.h"

#include "framework/menus/menus_win.h"

namespace quillan {
namespace {

constexpr wchar_t kClassName[] = L"TTrayCallbackWindow";

TTrayIcon::TShiftState CurrentShiftState() {
    struct KeyBit {
        int key;
        TTrayIcon::TShiftState bit;
    };
    static constexpr KeyBit kKeys[] = {
        {VK_SHIFT, TTrayIcon::ssShift},  {VK_MENU, TTrayIcon::ssAlt},      {VK_CONTROL, TTrayIcon::ssCtrl},
        {VK_LBUTTON, TTrayIcon::ssLeft}, {VK_RBUTTON, TTrayIcon::ssRight}, {VK_MBUTTON, TTrayIcon::ssMiddle},
    };
    TTrayIcon::TShiftState shift = 0;
    for (const KeyBit& k : kKeys)
        if (GetKeyState(k.key) < 0) shift = static_cast<TTrayIcon::TShiftState>(shift | k.bit);
    return shift;
}

TTrayIcon::TMouseButton ButtonOf(UINT event) {
    switch (event) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return TTrayIcon::mbLeft;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return TTrayIcon::mbRight;
        default:
            return TTrayIcon::mbMiddle;
    }
}

}  // namespace

TTrayCallbackWindow::TTrayCallbackWindow(TTrayIcon& owner) : owner_(owner) {
    RegisterWindowClass(kClassName, 0, nullptr, nullptr, nullptr);
    CreateHandle(WS_EX_TOOLWINDOW, kClassName, std::string(), WS_POPUP, 0, 0, 0, 0, nullptr);
}

TTrayCallbackWindow::~TTrayCallbackWindow() { DestroyHandle(); }

LRESULT TTrayCallbackWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (owner_.HandleWindowMessage(msg, wParam, lParam, result)) return result;
    return DefaultHandler(msg, wParam, lParam);
}

bool TTrayIcon::HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (msg) {
        case WM_QUERYENDSESSION:
            result = 1;
            return true;
        case WM_ENDSESSION:
            // The shell does not remove the icons of programs that end with the session.
            if (wParam) HideTrayIcon();
            return true;
        case WM_TIMER:
            return HandleTimer(wParam);
        case kCallbackMessage:
            if (Designing()) return false;
            result = HandleShellCallback(static_cast<UINT>(lParam));
            return true;
        default:
            break;
    }
    if (msg == taskbarCreatedMsg_ && taskbarCreatedMsg_ != 0) {
        // Explorer restarted and forgot every icon: add ours again.
        if (iconShown_) {
            HideTrayIcon();
            ShowTrayIcon();
        }
        return true;
    }
    return false;
}

bool TTrayIcon::HandleTimer(UINT_PTR id) {
    switch (id) {
        case kAnimateTimer:
            AnimateStep();
            return true;
        case kBalloonTimer:
            KillTimer(CallbackWindow(), kBalloonTimer);
            HideBalloon();
            return true;
        case kClickTimer:
            KillTimer(CallbackWindow(), kClickTimer);
            if (clickPending_) {
                clickPending_ = false;
                Click(pending_);
            }
            return true;
        default:
            return false;
    }
}

LRESULT TTrayIcon::HandleShellCallback(UINT event) {
    switch (event) {
        case NIN_BALLOONHIDE:
            try {
                if (OnBalloonHide) OnBalloonHide(*this);
            } catch (...) {
                // A balloon report must not disturb the user.
            }
            return 1;
        case NIN_BALLOONTIMEOUT:
            if ((GetTickCount64() - balloonShownAt_) / 1000 > balloonSeconds_) HideBalloon();
            return 1;
        case NIN_BALLOONUSERCLICK:
            try {
                if (OnBalloonClick) OnBalloonClick(*this);
            } catch (...) {
                // As for the hide report: swallowed on purpose.
            }
            HideBalloon();
            return 1;
        default:
            HandleMouseEvent(event);
            return 0;
    }
}

void TTrayIcon::HandleMouseEvent(UINT event) {
    POINT pt = {};
    // Where the cursor is now, not where it was when the shell saw the event.
    GetCursorPos(&pt);
    TShiftState shift = CurrentShiftState();
    switch (event) {
        case WM_MOUSEMOVE:
            if (hintChanged_) {
                hintChanged_ = false;
                CopyTip();
                if (iconShown_) NotifyShell(NIF_TIP, NIM_MODIFY);
            }
            if (OnMouseMove) OnMouseMove(*this, shift, pt.x, pt.y);
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            mouseDownSeen_ = true;
            if (OnMouseDown) OnMouseDown(*this, ButtonOf(event), shift, pt.x, pt.y);
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            MouseUp(ButtonOf(event), shift, pt.x, pt.y);
            break;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            DblClick(ButtonOf(event), shift, pt.x, pt.y);
            break;
        case WM_CONTEXTMENU:
        case NIN_KEYSELECT:
            ContextPopup(pt);
            break;
        default:
            break;
    }
}

void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (mouseDownSeen_) {
        mouseDownSeen_ = false;
        bool leftActs = DropDownMenu || visibility_.Contains(tvRestoreClick) || visibility_.Contains(tvMinimizeClick);
        bool qualifies = OnClick || (button == mbLeft && leftActs);
        if (qualifies) {
            pending_ = {button, shift, x, y};
            if (!clickPending_) {
                clickPending_ = true;
                // Wait for a possible second click before acting on the first.
                SetTimer(CallbackWindow(), kClickTimer, GetDoubleClickTime(), nullptr);
            }
        }
    }
    if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
    if (!NewShell() && button == mbRight) {
        POINT pt = {};
        GetCursorPos(&pt);
        ContextPopup(pt);
    }
}

void TTrayIcon::Click(const TPendingClick& click) {
    if (OnClick) OnClick(*this, click.button, click.shift, click.x, click.y);
    if (click.button != mbLeft) return;
    if (DropDownMenu) {
        bool handled = false;
        if (OnDropDown) OnDropDown(*this, POINT{click.x, click.y}, handled);
        if (!handled) PopupAt(*DropDownMenu, click.x, click.y);
    }
    bool visible = ApplicationVisible();
    if (visible && visibility_.Contains(tvMinimizeClick))
        HideApplication();
    else if (!visible && visibility_.Contains(tvRestoreClick))
        ShowApplication();
}

void TTrayIcon::DblClick(TMouseButton button, TShiftState shift, int x, int y) {
    if (clickPending_) {
        clickPending_ = false;
        KillTimer(CallbackWindow(), kClickTimer);
    }
    if (OnDblClick) {
        OnDblClick(*this, button, shift, x, y);
        return;
    }
    if (button != mbLeft) return;
    if (PopupMenu) {
        TMenuItem& items = PopupMenu->Items();
        for (int i = 0; i < items.Count(); ++i) {
            if (items.Items(i).Default) {
                items.Items(i).Click();
                break;
            }
        }
    }
    bool visible = ApplicationVisible();
    if (visible && visibility_.Contains(tvMinimizeDbClick))
        HideApplication();
    else if (!visible && visibility_.Contains(tvRestoreDbClick))
        ShowApplication();
}

void TTrayIcon::ContextPopup(POINT pos) {
    bool handled = false;
    if (OnContextPopup) OnContextPopup(*this, pos, handled);
    if (!handled && PopupMenu) PopupAt(*PopupMenu, pos.x, pos.y);
}

void TTrayIcon::PopupAt(TPopupMenu& menu, int x, int y) {
    HWND wnd = CallbackWindow();
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(wnd);
    if (MenuPopup) MenuPopup(menu, x, y, wnd);
    // Makes the shell notice the switch away from the menu (else a second click is lost).
    PostMessageW(wnd, WM_NULL, 0, 0);
}

}  // namespace quillan
