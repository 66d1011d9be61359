#include "components/tray/tray_icon_win.h"

#include <algorithm>
#include <vector>

#include "components/tray/tray_window.h"
#include "framework/menus/menus_win.h"
#include "framework/win/application_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

// Copies at most limit characters of text into a fixed wide buffer, zero-terminated.
template <size_t N>
void CopyCut(WCHAR (&dest)[N], const std::string& text, size_t limit) {
    std::wstring wide = win::Wide(text);
    size_t n = std::min({wide.size(), limit, N - 1});
    std::copy_n(wide.data(), n, dest);
    dest[n] = L'\0';
}

// The text before the first "|": the short-hint part.
std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

std::string ReplaceLineBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += " - ";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

DWORD WINAPI NoServiceProcess(DWORD, DWORD) { return 0; }

// Only Windows 9x has it; elsewhere the process stays as it is.
struct TKernel {
    win::TProcLibrary Library{L"kernel32.dll", win::TProcLibrary::TOpen::Loaded};
    win::TProc<DWORD(WINAPI*)(DWORD processId, DWORD type)> RegisterServiceProcess{Library, "RegisterServiceProcess",
                                                                                   &NoServiceProcess};
};

TKernel& Kernel() {
    static TKernel table;
    return table;
}

}  // namespace

DWORD TTrayIcon::SystemShellVersion() {
    static const DWORD version = [] {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(L"shell32.dll", &handle);
        if (size == 0) return DWORD{0};
        std::vector<BYTE> block(size);
        if (!GetFileVersionInfoW(L"shell32.dll", 0, size, block.data())) return DWORD{0};
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
            length < sizeof(VS_FIXEDFILEINFO))
            return DWORD{0};
        return info->dwFileVersionMS;
    }();
    return version;
}

TTrayIcon::TTrayIcon(DWORD shellVersion) : shellVersion_(shellVersion) {
    ShellNotifyIcon = [](DWORD message, NOTIFYICONDATAW& data) { return Shell_NotifyIconW(message, &data); };
    MenuPopup = [](TPopupMenu& menu, int x, int y, HWND owner) { menu.Popup(x, y, owner); };
    callbackWindow_ = std::make_unique<TTrayCallbackWindow>(*this);
    taskbarCreatedMsg_ = RegisterWindowMessageW(L"TaskbarCreated");
}

TTrayIcon::~TTrayIcon() {
    if (HWND wnd = CallbackWindow()) {
        KillTimer(wnd, kClickTimer);
        KillTimer(wnd, kBalloonTimer);
    }
    // Not while loading: then SetActive would only record the value.
    TPlainComponent::Loaded();
    try {
        SetActive(false);
    } catch (...) {
        // A destructor must not throw; the shell drops the icon with the window anyway.
    }
    icon_.reset();
    currentIcon_.reset();
    callbackWindow_.reset();
}

HWND TTrayIcon::CallbackWindow() const { return callbackWindow_ ? callbackWindow_->Handle() : nullptr; }

void TTrayIcon::Loaded() {
    TPlainComponent::Loaded();
    UpdateIcon();
    if (streamedActive_) SetActive(true);
    if (Designing()) return;
    if (!visibility_.Contains(tvVisibleTaskBar)) {
        win::Application().ShowMainForm = false;
        ShowWindow(win::Application().Handle(), SW_HIDE);
        hiddenAtLoad_ = true;
    }
    if (!visibility_.Contains(tvVisibleTaskList)) SetTaskListVisible(false);
}

void TTrayIcon::SetActive(bool value) {
    if (Loading()) {
        streamedActive_ = value;
        return;
    }
    if (value == active_) return;
    active_ = value;
    if (value) {
        InitIconData();
        if (!Designing() || visibility_.Contains(tvVisibleDesign)) {
            if (!Designing()) HookApplication();
            ShowTrayIcon();
        }
    } else {
        StopAnimation();
        UnhookApplication();
        HideTrayIcon();
    }
}

void TTrayIcon::SetAnimated(bool value) {
    animated_ = value;
    if (value)
        StartAnimation();
    else
        StopAnimation();
}

void TTrayIcon::SetDelay(unsigned value) {
    delay_ = value;
    bool wasAnimating = animating_;
    StopAnimation();
    if (wasAnimating) StartAnimation();
}

void TTrayIcon::SetIcon(HICON icon) {
    icon_.reset(icon ? CopyIcon(icon) : nullptr);
    UpdateIcon();
}

void TTrayIcon::SetIconIndex(int value) {
    iconIndex_ = value;
    UpdateIcon();
}

void TTrayIcon::SetIcons(HIMAGELIST list) {
    icons_ = list;
    UpdateIcon();
}

void TTrayIcon::SetHint(const std::string& value) {
    std::string text = NewShell() ? value : ReplaceLineBreaks(value);
    if (text == hint_) return;
    hint_ = std::move(text);
    hintChanged_ = true;
}

void TTrayIcon::FreeNotification(const void* component) {
    if (!component) return;
    if (component == DropDownMenu) DropDownMenu = nullptr;
    if (component == PopupMenu) PopupMenu = nullptr;
    if (component == icons_) SetIcons(nullptr);
}

void TTrayIcon::CopyTip() { CopyCut(iconData_.szTip, ShortHint(hint_), TipLimit()); }

void TTrayIcon::InitIconData() {
    // Shells before 5.0 reject any record larger than the first layout.
    iconData_.cbSize = NewShell() ? NOTIFYICONDATAW_V2_SIZE : NOTIFYICONDATAW_V1_SIZE;
    iconData_.hWnd = CallbackWindow();
    iconData_.uID = kIconId;
    iconData_.uCallbackMessage = kCallbackMessage;
    if (NewShell()) iconData_.uVersion = NOTIFYICON_VERSION;
    if (!currentIcon_) currentIcon_.reset(CopyIcon(win::Application().Icon()));
    iconData_.hIcon = currentIcon_.get();
    CopyTip();
    iconData_.uFlags = 0;
}

void TTrayIcon::NotifyShell(UINT flags, DWORD message) {
    iconData_.uFlags = flags;
    // The result is not used: a refused call leaves the state as if it had worked.
    if (ShellNotifyIcon) ShellNotifyIcon(message, iconData_);
}

void TTrayIcon::ShowTrayIcon() {
    if (iconShown_ || !active_) return;
    if (Designing() ? !visibility_.Contains(tvVisibleDesign)
                    : visibility_.Contains(tvAutoHideIcon) && ApplicationVisible())
        return;
    iconShown_ = true;
    NotifyShell(NIF_MESSAGE | NIF_ICON | NIF_TIP, NIM_ADD);
    if (NewShell()) {
        // The same field carries a balloon's time-out: put the version back first.
        iconData_.uVersion = NOTIFYICON_VERSION;
        NotifyShell(0, NIM_SETVERSION);
    }
    if (animated_) StartAnimation();
}

void TTrayIcon::HideTrayIcon() {
    if (!iconShown_) return;
    iconShown_ = false;
    StopAnimation();
    NotifyShell(0, NIM_DELETE);
}

void TTrayIcon::UpdateIcon() {
    if (Loading()) return;
    if (icons_ && iconIndex_ >= 0 && iconIndex_ < win::ImageListGetImageCount(icons_)) {
        win::IconHandle drawn(win::ImageListGetIcon(icons_, iconIndex_, ILD_NORMAL));
        if (drawn) {
            MakeCurrent(drawn.get());
            return;
        }
    }
    MakeCurrent(icon_ ? icon_.get() : win::Application().Icon());
}

void TTrayIcon::MakeCurrent(HICON icon) {
    currentIcon_.reset(icon ? CopyIcon(icon) : nullptr);
    iconData_.hIcon = currentIcon_.get();
    if (iconShown_) NotifyShell(NIF_ICON, NIM_MODIFY);
}

// ---- application window ----

bool TTrayIcon::ApplicationVisible() const { return !hiddenAtLoad_ && !IsIconic(win::Application().Handle()); }

void TTrayIcon::HideApplication() {
    win::TApplication& app = win::Application();
    if (ApplicationVisible()) {
        if (Snap) {
            if (app.MainFormHandle) ShowWindow(app.MainFormHandle, SW_HIDE);
            app.ShowMainForm = false;
        }
        app.Minimize();
    }
    // Hiding the application window is what removes the taskbar button.
    ShowWindow(app.Handle(), SW_HIDE);
    visibility_.Exclude(tvVisibleTaskBar);
    if (visibility_.Contains(tvAutoHideIcon)) ShowTrayIcon();
}

void TTrayIcon::ShowApplication() {
    win::TApplication& app = win::Application();
    if (hiddenAtLoad_) {
        hiddenAtLoad_ = false;
        app.Minimize();
        app.ShowMainForm = true;
    }
    visibility_.Include(tvVisibleTaskBar);
    ShowWindow(app.Handle(), SW_SHOW);
    app.Restore();
    if (app.MainFormHandle) ShowWindow(app.MainFormHandle, SW_SHOW);
    if (visibility_.Contains(tvAutoHideIcon)) HideTrayIcon();
}

void TTrayIcon::HookApplication() {
    if (appHook_) return;
    appHook_ = win::Application().HookMainWindow([this](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (msg != WM_SYSCOMMAND || (wParam & 0xFFF0) != SC_MINIMIZE || !visibility_.Contains(tvAutoHide) || !active_)
            return false;
        HideApplication();
        // HideApplication has minimised the window already; the default handling
        // would show it again (minimised, with its taskbar button).
        result = 0;
        return true;
    });
}

void TTrayIcon::UnhookApplication() {
    if (!appHook_) return;
    win::Application().UnhookMainWindow(appHook_);
    appHook_ = 0;
}

void TTrayIcon::SetTaskListVisible(bool value) {
    if (value == taskListVisible_) return;
    taskListVisible_ = value;
    if (Designing()) return;
    Kernel().RegisterServiceProcess.Get()(GetCurrentProcessId(), value ? 0 : 1);
}

void TTrayIcon::SetVisibility(TTrayVisibilities value) {
    TTrayVisibilities added = value.Minus(visibility_);
    TTrayVisibilities removed = visibility_.Minus(value);
    visibility_ = value;
    if (Loading()) return;
    if (Designing()) {
        if (added.Contains(tvVisibleDesign)) ShowTrayIcon();
        if (removed.Contains(tvVisibleDesign)) HideTrayIcon();
        return;
    }
    if (active_) ApplyVisibilityChange(added, removed);
}

void TTrayIcon::ApplyVisibilityChange(TTrayVisibilities added, TTrayVisibilities removed) {
    SetTaskListVisible(visibility_.Contains(tvVisibleTaskList));
    if (added.Contains(tvAutoHide) && !ApplicationVisible()) HideApplication();
    if (added.Contains(tvVisibleTaskBar))
        ShowApplication();
    else if (removed.Contains(tvVisibleTaskBar))
        HideApplication();
    bool iconic = IsIconic(win::Application().Handle()) != FALSE;
    if (added.Contains(tvAutoHideIcon) && !iconic) HideTrayIcon();
    if (removed.Contains(tvAutoHideIcon) && !iconic) ShowTrayIcon();
}

// ---- animation ----

void TTrayIcon::StartAnimation() {
    if (!iconShown_ || animating_) return;
    animating_ = true;
    SetTimer(CallbackWindow(), kAnimateTimer, delay_, nullptr);
}

void TTrayIcon::StopAnimation() {
    if (!animating_) return;
    animating_ = false;
    KillTimer(CallbackWindow(), kAnimateTimer);
}

void TTrayIcon::AnimateStep() {
    if (!iconShown_ || !icons_) return;
    int count = win::ImageListGetImageCount(icons_);
    if (count <= 0) return;
    SetIconIndex(iconIndex_ < 0 ? 0 : (iconIndex_ + 1) % count);
    if (OnAnimate) OnAnimate(*this, iconIndex_);
}

// ---- balloons ----

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text, TBalloonType kind, unsigned delayMs,
                            bool cancelPrevious) {
    if (!NewShell()) return;
    // Cancel first: the empty balloons that clear the old one would overwrite the timing.
    if (cancelPrevious) HideBalloon();
    balloonShownAt_ = GetTickCount64();
    balloonSeconds_ = delayMs / 1000;
    static constexpr DWORD kIconFlags[] = {NIIF_NONE, NIIF_ERROR, NIIF_INFO, NIIF_WARNING};
    CopyCut(iconData_.szInfoTitle, title, 63);
    CopyCut(iconData_.szInfo, text, 255);
    iconData_.uTimeout = delayMs;
    iconData_.dwInfoFlags = kIconFlags[kind];
    NotifyShell(NIF_INFO, NIM_MODIFY);
    bool hasText = !title.empty() || !text.empty();
    if (hasText)
        ++balloonCount_;
    else if (balloonCount_ > 0)
        --balloonCount_;
    // The shell keeps a balloon at least 10 s; a shorter wish needs our own timer.
    if (delayMs < 10000 && hasText) SetTimer(CallbackWindow(), kBalloonTimer, delayMs, nullptr);
    if (OnBalloonShow) OnBalloonShow(*this);
}

void TTrayIcon::HideBalloon() {
    if (balloonCount_ < 0) return;
    // Each empty balloon takes one off the count; one more clears the last shown.
    for (int i = balloonCount_ + 1; i > 0; --i) ShowBalloon({}, {}, btNone, 5000, false);
}

}  // namespace quillan
