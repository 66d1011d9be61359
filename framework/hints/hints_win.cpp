#include "framework/hints/hints_win.h"

#include <map>

#include "framework/win/application_win.h"

namespace quillan::win {
namespace {

constexpr UINT kHintPause = 500;
constexpr UINT kHintShortPause = 50;  // moving from one hinted control to another
constexpr UINT kHintHidePause = 2500;
constexpr UINT kTrackInterval = 100;  // checks that the mouse is still over the control

// One manager per process; everything runs on the GUI thread.
struct THintManager {
    HintWindowFactory factory;
    std::unique_ptr<THintWindow> window;
    std::map<HWND, std::string> hints;
    int filterId = 0;
    HWND control = nullptr;  // control whose hint is pending or shown
    bool shown = false;
    UINT_PTR showTimer = 0;
    UINT_PTR hideTimer = 0;
    UINT_PTR trackTimer = 0;
};

THintManager& Manager() {
    static THintManager manager;
    return manager;
}

void KillTimerOnce(UINT_PTR& timer) {
    if (timer) KillTimer(nullptr, timer);
    timer = 0;
}

// The control whose hint applies at hwnd: the window itself or its nearest
// parent that has a hint.
HWND HintControlOf(HWND hwnd, std::string* hint) {
    THintManager& m = Manager();
    for (HWND h = hwnd; h; h = GetParent(h)) {
        auto it = m.hints.find(h);
        if (it != m.hints.end() && IsWindow(h)) {
            if (hint) *hint = it->second;
            return h;
        }
        if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) break;
    }
    return nullptr;
}

void HideCurrent() {
    THintManager& m = Manager();
    KillTimerOnce(m.showTimer);
    KillTimerOnce(m.hideTimer);
    KillTimerOnce(m.trackTimer);
    if (m.window && m.shown) m.window->HideHint();
    m.shown = false;
    m.control = nullptr;
}

void CALLBACK HideTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    Guarded([] { HideCurrent(); });
}

// Keeps the mouse on the control: leaving it anywhere (even off the program) hides.
void CALLBACK TrackTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    Guarded([] {
        THintManager& m = Manager();
        POINT pt;
        GetCursorPos(&pt);
        HWND under = WindowFromPoint(pt);
        if (!m.control || !IsWindow(m.control) ||
            (under != m.control && !IsChild(m.control, under) && (!m.window || under != m.window->Handle())))
            HideCurrent();
    });
}

}  // namespace

RECT KeepHintOnMonitor(RECT rect) {
    POINT anchor = {rect.left, rect.top};
    HMONITOR monitor = MonitorFromPoint(anchor, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    const RECT& area = info.rcMonitor;
    // Shifted left to stay on the screen, and above the cursor when it would fall off the bottom.
    if (rect.right > area.right) OffsetRect(&rect, area.right - rect.right, 0);
    if (rect.left < area.left) OffsetRect(&rect, area.left - rect.left, 0);
    if (rect.bottom > area.bottom) OffsetRect(&rect, 0, -(rect.bottom - rect.top) - GetSystemMetrics(SM_CYCURSOR));
    if (rect.top < area.top) OffsetRect(&rect, 0, area.top - rect.top);
    return rect;
}

namespace {

void ShowNow() {
    THintManager& m = Manager();
    KillTimerOnce(m.showTimer);
    std::string hint;
    if (!m.control || HintControlOf(m.control, &hint) != m.control) return HideCurrent();
    std::string text = GetShortHint(hint);
    if (text.empty()) return HideCurrent();
    if (!m.window) m.window = (m.factory ? m.factory : HintWindowFactory(&CreateDefaultHintWindow))();
    if (!m.window) return;
    POINT pt;
    GetCursorPos(&pt);
    POINT anchor = {pt.x, pt.y + GetSystemMetrics(SM_CYCURSOR)};
    RECT rect = m.window->CalcHintRect(GetSystemMetrics(SM_CXSCREEN), text);
    // Only moved to the anchor: each window keeps itself on the screen in its own way
    // (a balloon flips its stem; shifting it here would leave the stem off the cursor).
    OffsetRect(&rect, anchor.x, anchor.y);
    m.window->ActivateHint(rect, text);
    m.shown = true;
    m.hideTimer = SetTimer(nullptr, 0, kHintHidePause, &HideTimerProc);
}

void CALLBACK ShowTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    Guarded([] { ShowNow(); });
}

void OnMouseMove(HWND target) {
    THintManager& m = Manager();
    HWND control = HintControlOf(target, nullptr);
    if (control == m.control) return;
    bool wasShown = m.shown;
    HideCurrent();
    if (!control) return;
    m.control = control;
    m.showTimer = SetTimer(nullptr, 0, wasShown ? kHintShortPause : kHintPause, &ShowTimerProc);
    m.trackTimer = SetTimer(nullptr, 0, kTrackInterval, &TrackTimerProc);
}

bool HintFilter(MSG& msg) {
    switch (msg.message) {
        case WM_MOUSEMOVE:
            OnMouseMove(msg.hwnd);
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (Manager().control) HideCurrent();
            break;
        default:
            break;
    }
    return false;
}

void EnsureFilter() {
    THintManager& m = Manager();
    if (!m.filterId) m.filterId = Application().AddMessageFilter(&HintFilter);
}

}  // namespace

std::string GetShortHint(const std::string& hint) {
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

HintWindowFactory SetHintWindowClass(HintWindowFactory factory) {
    THintManager& m = Manager();
    HideCurrent();
    HintWindowFactory previous = m.factory ? m.factory : HintWindowFactory(&CreateDefaultHintWindow);
    m.factory = std::move(factory);
    m.window.reset();
    return previous;
}

void SetControlHint(HWND control, const std::string& hint) {
    THintManager& m = Manager();
    // Windows destroyed since their hint was set may have left stale entries.
    std::erase_if(m.hints, [](const auto& entry) { return !IsWindow(entry.first); });
    if (hint.empty()) {
        m.hints.erase(control);
        if (m.control == control) HideCurrent();
        return;
    }
    m.hints[control] = hint;
    EnsureFilter();
}

std::string GetControlHint(HWND control) {
    auto& hints = Manager().hints;
    auto it = hints.find(control);
    return it == hints.end() || !IsWindow(control) ? std::string() : it->second;
}

void CancelHint() { HideCurrent(); }

}  // namespace quillan::win
