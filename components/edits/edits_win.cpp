#include "components/edits/edits_win.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>

#include "framework/controls/form_win.h"
#include "framework/core/convert.h"
#include "framework/core/file_io.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

// Puts the previous error mode back on every path out of the chooser.
class ErrorModeScope {
public:
    explicit ErrorModeScope(UINT mode) : previous_(SetErrorMode(mode)) {}
    ~ErrorModeScope() { SetErrorMode(previous_); }
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;

private:
    UINT previous_;
};

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) {
    if (msg == BFFM_INITIALIZED) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

std::optional<int> ParseDecimal(const std::string& raw) {
    std::string text = Trim(raw);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

bool BrowseForFolderShell(HWND owner, const std::string& start, std::string& chosen) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring startWide = win::Wide(start);
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(startWide.c_str());
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&info);
    bool confirmed = false;
    if (pidl) {
        wchar_t path[MAX_PATH] = {};
        confirmed = SHGetPathFromIDListW(pidl, path) != FALSE;
        if (confirmed) chosen = win::Narrow(path);
        CoTaskMemFree(pidl);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return confirmed;
}

// The button stands beside the edit, in the same parent, not inside it: a themed
// button inside an edit takes the edit's painting of its client area for its
// background and is never seen.
TFolderEdit::TFolderEdit(HWND parent) : TEdit(parent) {
    button_ = std::make_unique<win::TButton>(parent, "...");
    SetWindowLongPtrW(button_->Handle(), GWL_STYLE,
                      GetWindowLongPtrW(button_->Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(WS_TABSTOP));
    button_->OnClick = [this](win::TControl&) { ButtonClick(); };
}

void TFolderEdit::SetBounds(int x, int y, int width, int height) {
    int side = std::min(height, width);
    TEdit::SetBounds(x, y, width - side, height);
    button_->SetBounds(x + width - side, y, side, height);
}

void TFolderEdit::SetVisible(bool visible) {
    TEdit::SetVisible(visible);
    button_->SetVisible(visible);
}

void TFolderEdit::SetEnabled(bool enabled) {
    TEdit::SetEnabled(enabled);
    button_->SetEnabled(enabled);
}

void TFolderEdit::ButtonClick() {
    static const std::string kRoot = "\\";
    std::string start = Text();
    if (start.empty()) start = InitialDir.empty() ? kRoot : InitialDir;
    if (!DirectoryExists(start)) start.assign(kRoot);
    std::string chosen;
    bool confirmed = false;
    {
        // No system box for an empty drive while the chooser looks at drives.
        ErrorModeScope scope(SEM_FAILCRITICALERRORS);
        confirmed = BrowseForFolder && BrowseForFolder(GetAncestor(hwnd_, GA_ROOT), start, chosen);
    }
    SetFocus();
    if (!confirmed) return;
    std::string text = MultipleDirs ? Text() : std::string();
    if (!text.empty()) text.push_back(';');
    text.append(chosen);
    SetText(text);
    if (!chosen.empty() && DirectoryExists(chosen)) InitialDir = chosen;
}

// The up/down buttons; they only report clicks, the edit keeps the value.
class TSpinEdit::TSpinButtons : public win::TControl {
public:
    TSpinButtons(HWND parent, TSpinEdit& edit) : edit_(edit) {
        win::InitCommonControls(ICC_UPDOWN_CLASS);
        Create(UPDOWN_CLASSW, "", UDS_ARROWKEYS, 0, parent);
        SendMessageW(hwnd_, UDM_SETRANGE32, static_cast<WPARAM>(-0x7FFFFFFF), 0x7FFFFFFF);
    }
    bool Notify(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) override {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (msg != WM_NOTIFY || header->code != UDN_DELTAPOS) return false;
        auto* updown = reinterpret_cast<NMUPDOWN*>(lParam);
        if (updown->iDelta > 0) edit_.Up();
        if (updown->iDelta < 0) edit_.Down();
        result = 1;  // the control's own position stays put
        return true;
    }

private:
    TSpinEdit& edit_;
};

TSpinEdit::TSpinEdit(HWND parent) : TEdit(parent, WS_CLIPCHILDREN) {
    buttons_ = std::make_unique<TSpinButtons>(hwnd_, *this);
    SetText("0");
}

TSpinEdit::~TSpinEdit() = default;

void TSpinEdit::SetBounds(int x, int y, int width, int height) {
    TEdit::SetBounds(x, y, width, height);
    RECT client;
    GetClientRect(hwnd_, &client);
    int buttonWidth = GetSystemMetrics(SM_CXVSCROLL);
    buttons_->SetBounds(client.right - buttonWidth, 0, buttonWidth, client.bottom);
    SendMessageW(hwnd_, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, buttonWidth + 1));
}

int TSpinEdit::Value() const { return ParseDecimal(Text()).value_or(MinValue); }

void TSpinEdit::SetValue(int value) {
    if (MinValue != MaxValue) value = value < MinValue ? MinValue : value > MaxValue ? MaxValue : value;
    std::string text = IntToStr(value);
    if (text != Text()) SetText(text);
}

std::vector<TPropInfo> TSpinEdit::PublishedProps() const {
    auto props = TEdit::PublishedProps();
    props.push_back({"Value", TPropKind::Integer, {}});
    return props;
}

int64_t TSpinEdit::GetOrdProp(const std::string& name) const {
    return name == "Value" ? Value() : TEdit::GetOrdProp(name);
}

void TSpinEdit::SetOrdProp(const std::string& name, int64_t value) {
    if (name == "Value")
        SetValue(static_cast<int>(value));
    else
        TEdit::SetOrdProp(name, value);
}

LRESULT TSpinEdit::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN) {
        if (wParam == VK_UP || wParam == VK_DOWN) {
            wParam == VK_UP ? Up() : Down();
            return 0;
        }
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            // Dialog keys belong to the form: default or cancel button.
            if (win::TForm* form = win::TForm::FromHandle(GetAncestor(hwnd_, GA_ROOT))) form->DialogKey(wParam);
            return 0;
        }
    }
    if (msg == WM_CHAR) {
        auto ch = static_cast<wchar_t>(wParam);
        if (ch == L'\r' || ch == 27) return 0;  // already handled as a dialog key
        bool allowed = ch < 32 || ch == L'+' || ch == L'-' || (ch >= L'0' && ch <= L'9');
        if (!allowed) {
            MessageBeep(0);
            return 0;
        }
    }
    return TEdit::HandleMessage(msg, wParam, lParam);
}

}  // namespace quillan
