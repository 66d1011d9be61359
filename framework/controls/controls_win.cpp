#include "framework/controls/controls_win.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/controls/form_win.h"
#include "framework/core/convert.h"
#include "framework/hints/hints_win.h"
#include "framework/win/application_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::win {
namespace {

constexpr wchar_t kControlProp[] = L"QuillanControl";
constexpr wchar_t kPanelClass[] = L"QuillanPanel";

}  // namespace

TControl* TControl::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<TControl*>(GetPropW(hwnd, kControlProp)) : nullptr;
}

void TControl::Create(const wchar_t* className, const std::string& caption, DWORD style, DWORD exStyle, HWND parent) {
    // Loaded before the first control: a button or an edit takes the look the manifest asks for
    // only from the common controls, which the program loads no sooner than it needs them.
    LoadCommonControls();
    CreateControl(exStyle, className, caption, style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent, 0);
    SetPropW(hwnd_, kControlProp, this);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0));
    if (font) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void TControl::SetBounds(int x, int y, int width, int height) {
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
void TControl::SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled); }
void TControl::SetFocus() { ::SetFocus(hwnd_); }
std::string TControl::Text() const { return GetWindowTextA1251(hwnd_); }
// Like the framework's Text property: the window (and its change event) is
// touched only when the text differs.
void TControl::SetText(const std::string& text) {
    if (Text() != text) SetWindowTextA1251(hwnd_, text);
}
void TControl::SetHint(const std::string& hint) { SetControlHint(hwnd_, hint); }
std::string TControl::Hint() const { return GetControlHint(hwnd_); }

bool TControl::Notify(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

std::vector<TPropInfo> TControl::PublishedProps() const {
    return {{"Enabled", TPropKind::Enumeration, {"False", "True"}},
            {"Hint", TPropKind::String, {}},
            {"Tag", TPropKind::Integer, {}},
            {"Text", TPropKind::String, {}},
            {"Visible", TPropKind::Enumeration, {"False", "True"}}};
}

int64_t TControl::GetOrdProp(const std::string& name) const {
    if (name == "Enabled") return Enabled() ? 1 : 0;
    if (name == "Visible") return Visible() ? 1 : 0;
    if (name == "Tag") return Tag;
    return 0;
}

void TControl::SetOrdProp(const std::string& name, int64_t value) {
    if (name == "Enabled") SetEnabled(value != 0);
    if (name == "Visible") SetVisible(value != 0);
    if (name == "Tag") Tag = static_cast<int>(value);
}

std::string TControl::GetStrProp(const std::string& name) const {
    if (name == "Text") return Text();
    if (name == "Hint") return Hint();
    return {};
}

void TControl::SetStrProp(const std::string& name, const std::string& value) {
    if (name == "Text") SetText(value);
    if (name == "Hint") SetHint(value);
}

bool ReflectNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND sender = nullptr;
    if (msg == WM_COMMAND)
        sender = reinterpret_cast<HWND>(lParam);
    else if (msg == WM_NOTIFY)
        sender = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    else
        return false;
    TControl* control = TControl::FromHandle(sender);
    if (!control) return false;
    // The handler may destroy the control: the event runs guarded.
    bool handled = false;
    Guarded([&] { handled = control->Notify(msg, wParam, lParam, result); });
    return handled;
}

LRESULT TControl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ReflectNotification(msg, wParam, lParam, result)) return result;
    if (msg == WM_NCDESTROY) RemovePropW(hwnd_, kControlProp);
    return TSubclassedWindow::HandleMessage(msg, wParam, lParam);
}

TLabel::TLabel(HWND parent, const std::string& caption) {
    Create(L"STATIC", caption, SS_LEFT | SS_NOPREFIX, 0, parent);
}

TEdit::TEdit(HWND parent, DWORD extraStyle) {
    Create(L"EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP | extraStyle, WS_EX_CLIENTEDGE, parent);
}

void TEdit::SelectAll() { SendMessageW(hwnd_, EM_SETSEL, 0, -1); }

bool TEdit::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
    if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
        if (OnChange) OnChange(*this);
        return true;
    }
    return false;
}

LRESULT TEdit::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CHAR && OnKeyPress) {
        // The program's text is Windows-1251: hand the key over as one byte.
        std::string key = Narrow(std::wstring(1, static_cast<wchar_t>(wParam)));
        char ch = key.empty() ? '?' : key[0];
        OnKeyPress(*this, ch);
        if (ch == 0) return 0;
        std::wstring wide = Wide(std::string(1, ch));
        wParam = wide.empty() ? wParam : static_cast<WPARAM>(wide[0]);
    }
    return TControl::HandleMessage(msg, wParam, lParam);
}

TLabeledEdit::TLabeledEdit(HWND parent, const std::string& label) : TEdit(parent) {
    label_ = std::make_unique<TLabel>(parent, label);
}

void TLabeledEdit::SetBounds(int x, int y, int width, int height) {
    TEdit::SetBounds(x, y, width, height);
    WindowDC dc(hwnd_);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    SelectObjectScope scope(dc.get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm;
    GetTextMetricsW(dc.get(), &tm);
    int labelHeight = tm.tmHeight;
    label_->SetBounds(x, y - labelHeight - LabelSpacing, width, labelHeight);
}

void TLabeledEdit::SetVisible(bool visible) {
    TEdit::SetVisible(visible);
    label_->SetVisible(visible);
}

TMemo::TMemo(HWND parent) {
    Create(L"EDIT", "", ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
           parent);
}

namespace {

std::wstring WideText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

// The control counts UTF-16 units and the program Windows-1251 characters; they
// differ only where a surrogate pair makes one "?", so the prefix is converted.
int TMemo::SelStart() const {
    DWORD start = 0;
    SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    std::wstring text = WideText(hwnd_);
    return static_cast<int>(Narrow(std::wstring_view(text).substr(0, start)).size());
}

void TMemo::SetSelStart(int offset) {
    std::string text = Narrow(WideText(hwnd_));
    size_t at = std::min(static_cast<size_t>(offset > 0 ? offset : 0), text.size());
    WPARAM pos = Wide(std::string_view(text).substr(0, at)).size();
    SendMessageW(hwnd_, EM_SETSEL, pos, static_cast<LPARAM>(pos));
    SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

bool TMemo::Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (settingText_ && msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) return true;  // reported below
    return TEdit::Notify(msg, wParam, lParam, result);
}

LRESULT TMemo::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT) {
        // A multi-line edit sends no EN_CHANGE for WM_SETTEXT; the memo's change event fires all the same.
        settingText_ = true;
        LRESULT result = TEdit::HandleMessage(msg, wParam, lParam);
        settingText_ = false;
        if (OnChange) OnChange(*this);
        return result;
    }
    if (msg == WM_LBUTTONUP) {
        // The click follows the edit's own handling, so the caret is already placed.
        LRESULT result = TEdit::HandleMessage(msg, wParam, lParam);
        if (OnClick) OnClick(*this);
        return result;
    }
    return TEdit::HandleMessage(msg, wParam, lParam);
}

TComboBox::TComboBox(HWND parent) { Create(L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, parent); }

void TComboBox::ClearItems() { SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0); }
void TComboBox::AddItem(const std::string& text) {
    SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}
int TComboBox::ItemCount() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
int TComboBox::ItemIndex() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }
void TComboBox::SetItemIndex(int index) { SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

bool TComboBox::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
    if (msg == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
        if (OnChange) OnChange(*this);
        return true;
    }
    return false;
}

std::vector<TPropInfo> TComboBox::PublishedProps() const {
    auto props = TControl::PublishedProps();
    props.push_back({"ItemIndex", TPropKind::Integer, {}});
    return props;
}

int64_t TComboBox::GetOrdProp(const std::string& name) const {
    return name == "ItemIndex" ? ItemIndex() : TControl::GetOrdProp(name);
}

void TComboBox::SetOrdProp(const std::string& name, int64_t value) {
    if (name == "ItemIndex")
        SetItemIndex(value < -1 || value >= ItemCount() ? -1 : static_cast<int>(value));
    else
        TControl::SetOrdProp(name, value);
}

TButton::TButton(HWND parent, const std::string& caption, DWORD extraStyle) {
    Create(L"BUTTON", caption, (extraStyle ? extraStyle : BS_PUSHBUTTON) | WS_TABSTOP, 0, parent);
}

void TButton::SetDefault(bool isDefault) {
    Default = isDefault;
    SendMessageW(hwnd_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (!Enabled()) return;
    if (ModalResult != mrNone)
        if (TForm* form = TForm::FromHandle(GetAncestor(hwnd_, GA_ROOT))) form->ModalResult = ModalResult;
    if (OnClick) OnClick(*this);
}

bool TButton::Notify(UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        Click();
        return true;
    }
    return false;
}

TToolButton::TToolButton(HWND parent, const std::string& caption) : TButton(parent, caption) {
    SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_TABSTOP));
}

TCheckBox::TCheckBox(HWND parent, const std::string& caption) : TButton(parent, caption, BS_AUTOCHECKBOX) {}

bool TCheckBox::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TCheckBox::SetChecked(bool checked) { SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

std::vector<TPropInfo> TCheckBox::PublishedProps() const {
    auto props = TControl::PublishedProps();
    props.push_back({"Checked", TPropKind::Enumeration, {"False", "True"}});
    return props;
}

int64_t TCheckBox::GetOrdProp(const std::string& name) const {
    return name == "Checked" ? (Checked() ? 1 : 0) : TControl::GetOrdProp(name);
}

void TCheckBox::SetOrdProp(const std::string& name, int64_t value) {
    if (name == "Checked")
        SetChecked(value != 0);
    else
        TControl::SetOrdProp(name, value);
}

TPanel::TPanel(HWND parent, bool border) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!GetClassInfoExW(instance, kPanelClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &DefWindowProcW;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kPanelClass;
        RegisterClassExW(&wc);
    }
    // WS_EX_CONTROLPARENT: Tab moves through the panel's controls.
    Create(kPanelClass, "", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | (border ? WS_EX_STATICEDGE : 0), parent);
}

LRESULT TPanel::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETFONT:
            SetPropW(hwnd_, L"QuillanFont", reinterpret_cast<HANDLE>(wParam));
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(GetPropW(hwnd_, L"QuillanFont"));
        case WM_LBUTTONUP:
            if (OnClick) OnClick(*this);
            return 0;
        case WM_NCDESTROY:
            RemovePropW(hwnd_, L"QuillanFont");
            break;
        default:
            break;
    }
    return TControl::HandleMessage(msg, wParam, lParam);
}

TGroupBox::TGroupBox(HWND parent, const std::string& caption) {
    Create(L"BUTTON", caption, BS_GROUPBOX, WS_EX_CONTROLPARENT, parent);
}

LRESULT TGroupBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    // A group box is transparent to the mouse by default; its hint needs the mouse.
    if (msg == WM_NCHITTEST) return HTCLIENT;
    return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace quillan::win
