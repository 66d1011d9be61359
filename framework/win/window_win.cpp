#include "framework/win/window_win.h"

#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"

namespace quillan::win {
namespace {

constexpr wchar_t kObjectProp[] = L"QuillanWindowObject";

TWindow* ObjectOf(HWND hwnd) { return static_cast<TWindow*>(GetPropW(hwnd, kObjectProp)); }

}  // namespace

void RaiseLastOSError(const std::string& what) {
    int code = LastOSError();
    // Some calls fail without setting an error code (seen under Wine): say only what failed.
    if (code == 0) throw EOSError(what + " failed");
    throw EOSError(what + ": " + SysErrorMessage(code) + " (" + std::to_string(code) + ")");
}

TWindow::~TWindow() { DestroyHandle(); }

void TWindow::DestroyHandle() {
    if (hwnd_) {
        HWND h = hwnd_;
        DestroyWindow(h);
        // WM_NCDESTROY normally clears it; a window of another thread would not.
        hwnd_ = nullptr;
    }
}

void TWindow::RegisterWindowClass(const wchar_t* className, UINT style, HICON icon, HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, className, &existing)) {
        if (existing.lpfnWndProc == &StaticWndProc) return;
        UnregisterClassW(className, instance);
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &StaticWndProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) RaiseLastOSError("RegisterClass");
}

void TWindow::CreateHandle(DWORD exStyle, const wchar_t* className, const std::string& caption, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menuOrId) {
    HWND h = CreateWindowExW(exStyle, className, Wide(caption).c_str(), style, x, y, width, height, parent, menuOrId,
                             GetModuleHandleW(nullptr), this);
    if (!h) RaiseLastOSError("CreateWindowEx");
    hwnd_ = h;
}

LRESULT TWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultHandler(msg, wParam, lParam); }

LRESULT TWindow::GuardedHandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return HandleMessage(msg, wParam, lParam);
    } catch (...) {
        // An exception cannot unwind through user32: report it here.
        Application().HandleCurrentException();
        return 0;
    }
}

LRESULT TWindow::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK TWindow::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWindow* self = ObjectOf(hwnd);
    if (!self && msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<TWindow*>(cs->lpCreateParams);
        if (self) {
            SetPropW(hwnd, kObjectProp, self);
            self->hwnd_ = hwnd;
        }
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    LRESULT result = self->GuardedHandleMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, kObjectProp);
        self->hwnd_ = nullptr;
        self->HandleDestroyed();
    }
    return result;
}

void TSubclassedWindow::CreateControl(DWORD exStyle, const wchar_t* className, const std::string& caption, DWORD style,
                                      int x, int y, int width, int height, HWND parent, int id) {
    HWND h = CreateWindowExW(exStyle, className, Wide(caption).c_str(), style, x, y, width, height, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!h) RaiseLastOSError("CreateWindowEx");
    Attach(h);
}

void TSubclassedWindow::Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetPropW(hwnd, kObjectProp, this);
    original_ =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
}

LRESULT TSubclassedWindow::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(original_, hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK TSubclassedWindow::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<TSubclassedWindow*>(ObjectOf(hwnd));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    LRESULT result = self->GuardedHandleMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->original_));
        RemovePropW(hwnd, kObjectProp);
        self->hwnd_ = nullptr;
        self->HandleDestroyed();
    }
    return result;
}

namespace {

struct TWindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK TakeFirstVisible(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->process || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

HWND FirstVisibleWindowOf(DWORD processId) {
    TWindowSearch search{processId, nullptr};
    EnumWindows(&TakeFirstVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace quillan::win
