#include "dialogs/about/about_form_win.h"

#include <algorithm>

#include "dialogs/about/version_label.h"
#include "framework/core/convert.h"
#include "framework/win/application_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/text.h"

namespace quillan::about {
namespace {

TAbout_Form* gAboutForm = nullptr;

// Disables the enabled top-level windows of this thread for a modal box.
class DisabledWindows {
public:
    explicit DisabledWindows(HWND except) : except_(except) {
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
    }
    ~DisabledWindows() {
        for (HWND w : windows_)
            if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND w, LPARAM self) {
        auto* me = reinterpret_cast<DisabledWindows*>(self);
        if (w != me->except_ && IsWindowVisible(w) && IsWindowEnabled(w)) {
            EnableWindow(w, FALSE);
            me->windows_.push_back(w);
        }
        return TRUE;
    }
    HWND except_;
    std::vector<HWND> windows_;
};

}  // namespace

TAbout_Form::TAbout_Form() : TAbout_Form(win::ModuleFileName()) {}

TAbout_Form::TAbout_Form(const std::string& exePath) : exePath_(exePath) {
    RegisterWindowClass(kAboutFormClass);
    {
        win::WindowDC screen(nullptr);
        int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
        dpi_ = dpi > 0 ? dpi : 96;
    }
    const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame = {0, 0, Scale(kAboutClientWidth), Scale(kAboutClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    CreateHandle(exStyle, kAboutFormClass, "", style, x, y, width, height, win::Application().Handle());
    CreateControls();
    FormCreate();
}

TAbout_Form::~TAbout_Form() {
    DestroyHandle();
    FormDestroy();
}

HWND TAbout_Form::AddControl(const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h,
                             int id) {
    // The controls' look comes from the common controls (see TControl::Create).
    win::LoadCommonControls();
    HWND control = CreateWindowExW(0, cls, win::Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, Scale(x), Scale(y),
                                   Scale(w), Scale(h), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control) win::RaiseLastOSError("CreateWindowEx");
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
}

void TAbout_Form::CreateControls() {
    // Heights of the 96-DPI design, scaled like every place below.
    font_.reset(CreateFontW(-Scale(11), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif"));
    descriptionFont_.reset(
        CreateFontW(-Scale(13), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Sans Serif"));
    // Design-time texts: replaced from the version resource when there is one.
    AddControl(L"STATIC", "", SS_ICON | SS_CENTERIMAGE, 12, 56, 48, 48, idImage1);
    AddControl(L"STATIC", "1", SS_CENTER | SS_NOPREFIX, 72, 12, 209, 32, idProductName);
    AddControl(L"STATIC", "1", SS_OWNERDRAW, 72, 48, 209, 36, idDescription);
    AddControl(L"STATIC", "1", SS_OWNERDRAW, 72, 88, 209, 44, idCopyRight);
    AddControl(L"STATIC", "1", SS_CENTER | SS_NOPREFIX, 72, 138, 209, 16, idVersion);
    AddControl(L"STATIC", "", SS_ETCHEDHORZ, 8, 164, 273, 2, idBevel);
    AddControl(L"BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 107, 176, 75, 25, idButton1);
}

void TAbout_Form::FormCreate() {
    versionInfo_ = std::make_unique<version::TVersionInfo>(exePath_);
    if (versionInfo_->Valid()) {
        win::SetWindowTextA1251(Control(idVersion), VersionLabel(versionInfo_->FileVersion()));
        win::SetWindowTextA1251(Control(idCopyRight), versionInfo_->LegalCopyright());
        win::SetWindowTextA1251(Control(idProductName), versionInfo_->ProductName());
        win::SetWindowTextA1251(Control(idDescription), versionInfo_->FileDescription());
    }
    SendMessageW(Control(idImage1), STM_SETICON, reinterpret_cast<WPARAM>(win::Application().Icon()), 0);
}

void TAbout_Form::FormShow() {
    win::SetWindowTextA1251(hwnd_, "О программе \"" + AsciiUpperCase(win::Application().Title()) + "\"");
}

void TAbout_Form::FormKeyPress(char& key) {
    if (key == 27) Close(IDCANCEL);
}

void TAbout_Form::FormDestroy() {
    versionInfo_.reset();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

bool TAbout_Form::PreviewKey(const MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.message == WM_CHAR) {
        char key = static_cast<char>(msg.wParam);
        FormKeyPress(key);
        return modalResult_ != 0;
    }
    // Enter presses the default button, whichever control has the focus.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        Close(IDOK);
        return true;
    }
    return false;
}

int TAbout_Form::ShowModal() {
    modalResult_ = 0;
    FormShow();
    DisabledWindows disabled(hwnd_);
    int filter = win::Application().AddMessageFilter([this](MSG& msg) { return PreviewKey(msg); });
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(Control(idButton1));
    try {
        while (modalResult_ == 0) {
            if (!win::Application().HandleMessage()) {
                // Leave the quit for the main loop too.
                PostQuitMessage(0);
                if (modalResult_ == 0) modalResult_ = IDCANCEL;
            }
        }
    } catch (...) {
        win::Application().RemoveMessageFilter(filter);
        throw;
    }
    win::Application().RemoveMessageFilter(filter);
    ShowWindow(hwnd_, SW_HIDE);
    return modalResult_;
}

void TAbout_Form::DrawLabel(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    std::wstring text = win::Wide(win::GetWindowTextA1251(item.hwndItem));
    const UINT flags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    SetBkMode(dc, TRANSPARENT);
    if (item.CtlID == idDescription) {
        win::SelectObjectScope select(dc, descriptionFont_.get());
        // The shadow first, one pixel to the lower right, then the text over it.
        RECT shadow = r;
        OffsetRect(&shadow, std::max(1, Scale(1)), std::max(1, Scale(1)));
        SetTextColor(dc, RGB(128, 128, 128));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shadow, flags);
        SetTextColor(dc, RGB(0, 0, 0));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
        return;
    }
    win::SelectObjectScope select(dc, font_.get());
    RECT measured = r;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, flags | DT_CALCRECT);
    // Aligned to the bottom of its area.
    r.top = std::max(r.top, r.bottom - (measured.bottom - measured.top));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
}

LRESULT TAbout_Form::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wParam) == idButton1 && HIWORD(wParam) == BN_CLICKED) Close(IDOK);
            return 0;
        case WM_DRAWITEM:
            DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CLOSE:
            Close(IDCANCEL);
            return 0;
        default:
            return DefaultHandler(msg, wParam, lParam);
    }
}

void ShowAboutBox() {
    auto form = std::make_unique<TAbout_Form>();
    gAboutForm = form.get();
    try {
        form->ShowModal();
    } catch (...) {
        form.reset();
        gAboutForm = nullptr;
        throw;
    }
    form.reset();
    gAboutForm = nullptr;
}

TAbout_Form* AboutForm() { return gAboutForm; }

}  // namespace quillan::about
