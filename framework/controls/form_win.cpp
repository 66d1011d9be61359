#include "framework/controls/form_win.h"

#include "framework/core/convert.h"
#include "framework/hints/hints_win.h"
#include "framework/win/application_win.h"
#include "framework/win/handle_win.h"

namespace quillan::win {
namespace {

constexpr wchar_t kFormProp[] = L"QuillanForm";

int ScreenDpi() {
    WindowDC dc(nullptr);
    int dpi = GetDeviceCaps(dc.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

TForm::~TForm() {
    if (filterId_) Application().RemoveMessageFilter(filterId_);
    DestroyHandle();  // before the font goes: the controls use it to the end
}

TForm* TForm::FromHandle(HWND hwnd) { return hwnd ? static_cast<TForm*>(GetPropW(hwnd, kFormProp)) : nullptr; }

void TForm::CreateForm(const wchar_t* windowClass, const std::string& caption, DWORD style, DWORD exStyle, int width,
                       int height, HWND owner) {
    dpi_ = ScreenDpi();
    // "Tahoma" 8 points: readable, with Cyrillic, at every DPI.
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(8, dpi_, 72);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    wcscpy(lf.lfFaceName, L"Tahoma");
    font_.reset(CreateFontIndirectW(&lf));
    RegisterWindowClass(windowClass);
    CreateHandle(exStyle | WS_EX_CONTROLPARENT, windowClass, caption, style | WS_CLIPCHILDREN, CW_USEDEFAULT,
                 CW_USEDEFAULT, Scale(width), Scale(height), owner);
    SetPropW(hwnd_, kFormProp, this);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    filterId_ = Application().AddMessageFilter([this](MSG& msg) { return DialogKeyFilter(msg); });
}

TControl* TForm::FindComponent(const std::string& name) const {
    for (TControl* control : components_)
        if (SameTextAscii(control->Name, name)) return control;
    return nullptr;
}

TButton* TForm::FindButton(bool defaultButton) const {
    for (TControl* control : components_) {
        auto* button = dynamic_cast<TButton*>(control);
        if (button && (defaultButton ? button->Default : button->Cancel) &&
            (GetWindowLongPtrW(button->Handle(), GWL_STYLE) & WS_VISIBLE) && button->Enabled())
            return button;
    }
    return nullptr;
}

// Dialog keys of the form's controls: Tab moves the focus, Enter presses the
// default button and Esc the cancel button, unless the focused control wants the key.
bool TForm::DialogKeyFilter(MSG& msg) {
    if (msg.message != WM_KEYDOWN || !hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    WPARAM key = msg.wParam;
    if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
    TControl* focused = TControl::FromHandle(msg.hwnd);
    if (focused && focused->WantsKey(key)) return false;
    // A dropped-down list closes with Enter / Esc itself.
    if (focused && dynamic_cast<TComboBox*>(focused) && SendMessageW(msg.hwnd, CB_GETDROPPEDSTATE, 0, 0)) return false;
    if (key == VK_TAB) {
        HWND next = GetNextDlgTabItem(hwnd_, msg.hwnd, GetKeyState(VK_SHIFT) < 0);
        if (next) ::SetFocus(next);
        return true;
    }
    bool handled = false;
    Guarded([&] { handled = DialogKey(key); });
    return handled || (key == VK_RETURN && focused != nullptr);
}

bool TForm::DialogKey(WPARAM key) {
    TButton* button = FindButton(key == VK_RETURN);
    if (!button) return false;
    button->Click();
    return true;
}

int TForm::ShowModal() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    ModalResult = mrNone;
    modal_ = true;
    Show();
    SetForegroundWindow(hwnd_);
    while (ModalResult == mrNone) {
        if (!Application().HandleMessage()) {
            ModalResult = mrCancel;  // WM_QUIT ends the dialog; the loop above gets it again
            PostQuitMessage(0);
        }
    }
    modal_ = false;
    Close();
    if (ownerWasEnabled) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    return ModalResult;
}

int TForm::AddFormHook(THookKind kind, std::function<void()> hook) {
    hooks_.push_back({nextHookId_, kind, std::move(hook)});
    return nextHookId_++;
}

void TForm::RemoveFormHook(int id) {
    std::erase_if(hooks_, [id](const THook& h) { return h.id == id; });
}

void TForm::RunHooks(THookKind kind) {
    auto hooks = hooks_;  // a hook may remove itself
    for (const THook& h : hooks)
        if (h.kind == kind && h.fn) Guarded(h.fn);
}

void TForm::Show() {
    RunHooks(THookKind::Show);
    FormShow();
    ShowWindow(hwnd_, InitialShowCmd);
    UpdateWindow(hwnd_);
}

void TForm::Close() {
    CancelHint();
    RunHooks(THookKind::Close);
    FormClose();
    ShowWindow(hwnd_, SW_HIDE);
}

LRESULT TForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectNotification(msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_SETFONT:
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_.get());
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            if (MinWidth > 0) info->ptMinTrackSize.x = MinWidth;
            if (MinHeight > 0) info->ptMinTrackSize.y = MinHeight;
            return 0;
        }
        case WM_SIZE:
            FormResize();
            return 0;
        case WM_CLOSE:
            // The close box: a modal form ends with Cancel, a modeless one closes.
            if (modal_)
                ModalResult = mrCancel;
            else
                Close();
            return 0;
        case WM_NCDESTROY:
            RemovePropW(hwnd_, kFormProp);
            break;
        default:
            break;
    }
    return TWindow::HandleMessage(msg, wParam, lParam);
}

}  // namespace quillan::win
