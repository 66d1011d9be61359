#include "crash/dialog/crash_dialog_win.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "crash/dialog/dialog_pages_win.h"
#include "crash/dialog/dialog_rules.h"
#include "crash/dialog/dialog_state_win.h"
#include "crash/dialog/dialog_support_win.h"
#include "crash/options/errors.h"
#include "crash/options/options.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"
#include "resources/crash_dialog_ids.h"

namespace quillan::crash {

namespace {

constexpr UINT_PTR kPaintTimer = 1;
constexpr UINT_PTR kAutoCloseTimer = 2;
constexpr UINT_PTR kFrontTimer = 3;
// The dialog's result when it closed itself because it never painted.
constexpr INT_PTR kNeverPainted = 0x4E50;
// The library's own background (DialogFlags bit 7).
constexpr COLORREF kOwnColour = RGB(212, 208, 200);
// Stop icon, task-modal, top-most, service notification.
constexpr UINT kFallbackBoxFlags = 0x242010;

class TCrashDialog {
public:
    explicit TCrashDialog(const TCrashDialogRequest& request);
    ~TCrashDialog();
    // One modal showing; the dialog's result code, -1 when it could not be made.
    INT_PTR Run();
    const TCrashDialogResult& Result() const { return result_; }

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void SetForm(bool expanded);
    void PlaceExpanded();
    void PlaceCompact(const RECT& window, DWORD style, DWORD exStyle);
    SIZE CompactClientSize();
    void Layout();
    int LayoutButtons(const RECT& client, HFONT font, int boxesTop);
    void LayoutBoxes(const RECT& client, HFONT font, int boxesTop);
    void LayoutMessage(const RECT& client, HFONT font, int lineTop);
    void OnPaint();
    void OnTimer(UINT_PTR id);
    void KeepInFront();
    void OnCommand(int id, int code);
    bool OnSetCursor();
    void OnMouse(UINT message, LPARAM lParam);
    void Close(int id);
    void Fail(std::exception_ptr failure);
    void ReadChoices(int id);
    void SaveState();
    void UserActed() { idleSeconds_ = 0; }
    int S(int pixels) const { return Scale(pixels, dpi_); }
    SIZE TextSize(const std::string& text, int width, HFONT font) const;

    const TCrashDialogRequest& request_;
    const TMishapModuleOptions& options_;
    TDialogOffers offers_;
    std::vector<TDialogTab> tabs_;
    HINSTANCE resources_;
    HWND hwnd_ = nullptr;
    win::HookHandle filter_;
    int dpi_ = 96;
    bool expanded_ = false;
    bool painted_ = false;
    bool topMost_ = false;
    bool boxesSet_ = false;  // the check boxes hold the offered choices
    unsigned idleSeconds_ = 0;
    bool linkPressed_ = false;
    RECT linkRect_{};
    RECT pictureRect_{};
    std::string stateFile_;
    TDialogState state_;
    TDialogPages pages_;
    TDialogPicture error_;
    win::BrushHandle background_;
    win::FontHandle linkFont_;
    TCrashDialogResult result_;
};

// The dialog open on this thread, for the message filter.
thread_local TCrashDialog* currentDialog = nullptr;

TCrashDialog::TCrashDialog(const TCrashDialogRequest& request)
    : request_(request), options_(*request.Options), resources_(DialogResources(request.ResourceModule)) {
    offers_ = DialogOffers(options_, request.Duplicate, request.ExceptionCount);
    tabs_ = DialogTabs(options_, !request.Context->CustomData.empty());
    result_.SendOffered = offers_.Send;
}

TCrashDialog::~TCrashDialog() {
    if (currentDialog == this) currentDialog = nullptr;
}

INT_PTR TCrashDialog::Run() {
    currentDialog = this;
    // Input anywhere in the dialog restarts the auto-close count; the dialog's own loop passes
    // every message through the message filter first.
    filter_.reset(SetWindowsHookExW(WH_MSGFILTER, MessageFilter, nullptr, GetCurrentThreadId()));
    const INT_PTR code = DialogBoxParamA(resources_, "ML_DIALOG", nullptr, Proc, reinterpret_cast<LPARAM>(this));
    filter_.reset();
    currentDialog = nullptr;
    return code;
}

LRESULT CALLBACK TCrashDialog::MessageFilter(int code, WPARAM wParam, LPARAM lParam) {
    TCrashDialog* dialog = currentDialog;
    if (code >= 0 && dialog) {
        const UINT message = reinterpret_cast<const MSG*>(lParam)->message;
        if ((message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
            (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
            (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK))
            dialog->UserActed();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK TCrashDialog::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TCrashDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<TCrashDialog*>(lParam);
        dialog->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        dialog = reinterpret_cast<TCrashDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!dialog) return FALSE;
    try {
        return dialog->Handle(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the dialog manager: the dialog closes with what the user chose.
        dialog->Fail(std::current_exception());
        return TRUE;
    }
}

INT_PTR TCrashDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit();
            return FALSE;  // the focus is set
        case WM_PAINT:
            painted_ = true;
            OnPaint();
            return TRUE;
        case WM_TIMER:
            OnTimer(wParam);
            return TRUE;
        case WM_COMMAND:
            UserActed();
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lParam)->idFrom == ML_ID_TABS &&
                reinterpret_cast<const NMHDR*>(lParam)->code == TCN_SELCHANGE) {
                UserActed();
                pages_.SelectionChanged();
            }
            return FALSE;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) Layout();
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            if (expanded_) {
                const SIZE compact = CompactClientSize();
                RECT frame{0, 0, compact.cx, compact.cy + S(160)};
                AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                                   static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
                info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
            }
            return TRUE;
        }
        case WM_SETCURSOR:
            if (!OnSetCursor()) return FALSE;
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            OnMouse(message, lParam);
            return TRUE;
        case WM_CLOSE:
            Close(ML_ID_OK);
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (!background_) return FALSE;
            SetBkColor(reinterpret_cast<HDC>(wParam), kOwnColour);
            return reinterpret_cast<INT_PTR>(background_.get());
        default:
            return FALSE;
    }
}

void TCrashDialog::OnInit() {
    dpi_ = ScreenDpi();
    topMost_ = offers_.TopMost;
    if (topMost_) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (offers_.OwnColours) {
        background_.reset(CreateSolidBrush(kOwnColour));
    } else {
        const LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
        SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (font && GetObjectW(font, sizeof logFont, &logFont)) {
        logFont.lfUnderline = TRUE;
        linkFont_.reset(CreateFontIndirectW(&logFont));
    }
    error_.Load(resources_, "ML_ERROR", S(32), S(32));

    SetDialogTitle(hwnd_, options_.Text(TMishapText::ErrorCaption));
    SetControlText(hwnd_, ML_ID_OK, options_.Text(TMishapText::OkButton));
    SetControlText(hwnd_, ML_ID_TERMINATE,
                   options_.Text(offers_.Restart ? TMishapText::RestartButton : TMishapText::TerminateButton));
    SetControlText(hwnd_, ML_ID_SEND, options_.Text(TMishapText::SendCheck));
    SetControlText(hwnd_, ML_ID_SCREENSHOT, options_.Text(TMishapText::AttachScreenshotCheck));
    SetControlText(hwnd_, ML_ID_COPY, options_.Text(TMishapText::CopyToClipboardCheck));
    ShowWindow(GetDlgItem(hwnd_, ML_ID_TERMINATE), offers_.Terminate ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(hwnd_, ML_ID_DETAILS), offers_.Details ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(hwnd_, ML_ID_SEND), offers_.Send ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(hwnd_, ML_ID_SCREENSHOT), offers_.Screenshot ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(hwnd_, ML_ID_COPY), offers_.CopyToClipboard ? SW_SHOW : SW_HIDE);
    CheckDlgButton(hwnd_, ML_ID_SEND, offers_.SendChecked ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, ML_ID_SCREENSHOT, offers_.ScreenshotChecked ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, ML_ID_COPY, BST_UNCHECKED);
    EnableWindow(GetDlgItem(hwnd_, ML_ID_SCREENSHOT), offers_.SendChecked);
    boxesSet_ = true;

    const SIZE compact = CompactClientSize();
    stateFile_ = DialogStateFilePath();
    state_ = ReadDialogStateFile(stateFile_, compact.cx, compact.cy, dpi_);

    HWND tabs = GetDlgItem(hwnd_, ML_ID_TABS);
    TDialogPages::TSetup setup;
    setup.Request = &request_;
    setup.State = &state_;
    setup.Resources = resources_;
    setup.Dpi = dpi_;
    setup.Background = background_.get();
    setup.BackgroundColour = kOwnColour;
    pages_.Create(hwnd_, tabs, setup, tabs_);
    pages_.Select(InitialTabIndex(options_.InitialTab(), tabs_));

    SetForm(offers_.OpenExpanded);
    SetFocus(GetDlgItem(hwnd_, ML_ID_OK));
    SendMessageW(hwnd_, DM_SETDEFID, ML_ID_OK, 0);

    SetTimer(hwnd_, kPaintTimer, 1, nullptr);
    if (options_.DialogAutoCloseSeconds() > 0) SetTimer(hwnd_, kAutoCloseTimer, 1000, nullptr);
    SetTimer(hwnd_, kFrontTimer, 10, nullptr);
}

SIZE TCrashDialog::TextSize(const std::string& text, int width, HFONT font) const {
    win::WindowDC dc(hwnd_);
    win::SelectObjectScope select(dc.get(), font);
    const std::wstring wide = win::Wide(text);
    RECT r{0, 0, width, 0};
    DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    return {r.right - r.left, r.bottom - r.top};
}

// The compact form: the picture and the message over the buttons, as wide as the template.
SIZE TCrashDialog::CompactClientSize() {
    RECT templateSize{0, 0, 473, 14};
    MapDialogRect(hwnd_, &templateSize);
    const int width = templateSize.right;
    const int buttonHeight = templateSize.bottom;
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    const int textWidth = width - 2 * S(8) - S(32) - S(12);
    const int text = std::min<int>(TextSize(request_.Message, textWidth, font).cy, S(300));
    const int rows = offers_.BoxRows;
    return {width, S(8) + std::max(S(32), text) + S(8) + 2 + S(8) + buttonHeight + (rows ? S(4) : 0) +
                       S(LowerMargin(rows)) + S(8)};
}

void TCrashDialog::SetForm(bool expanded) {
    if (expanded_ && !expanded) SaveState();
    expanded_ = expanded;
    SetControlText(hwnd_, ML_ID_MESSAGE, expanded ? options_.Text(TMishapText::DialogMessage) : request_.Message);
    SetControlText(hwnd_, ML_ID_DETAILS, DetailsCaption(options_.Text(TMishapText::DetailsButton), expanded));
    ShowWindow(GetDlgItem(hwnd_, ML_ID_TABS), expanded ? SW_SHOW : SW_HIDE);

    if (!expanded && IsZoomed(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    RECT window;
    GetWindowRect(hwnd_, &window);
    const LONG_PTR resizable = WS_THICKFRAME | WS_MAXIMIZEBOX | (offers_.OwnColours ? 0 : WS_SYSMENU);
    style = expanded ? (style | resizable) : (style & ~static_cast<LONG_PTR>(WS_THICKFRAME | WS_MAXIMIZEBOX));
    SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));

    if (expanded)
        PlaceExpanded();
    else
        PlaceCompact(window, static_cast<DWORD>(style), exStyle);
    pages_.Show(expanded);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// The stored size, position and placement, kept on the work area.
void TCrashDialog::PlaceExpanded() {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const TStateRect area{work.left, work.top, work.right, work.bottom};
    const TStateRect place = PlaceDialog(state_, area, (work.left + work.right) / 2, (work.top + work.bottom) / 2);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd_, &placement);
    placement.rcNormalPosition = {place.Left, place.Top, place.Right, place.Bottom};
    placement.showCmd = state_.WindowsState == kPlacementMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    SetWindowPlacement(hwnd_, &placement);
}

// The compact size: centred on the screen the first time, afterwards where the dialog was.
void TCrashDialog::PlaceCompact(const RECT& window, DWORD style, DWORD exStyle) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const SIZE client = CompactClientSize();
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const RECT& around = painted_ ? window : work;
    const int cx = (around.left + around.right) / 2, cy = (around.top + around.bottom) / 2;
    const int left = std::clamp<int>(cx - width / 2, work.left, std::max<int>(work.left, work.right - width));
    const int top = std::clamp<int>(cy - height / 2, work.top, std::max<int>(work.top, work.bottom - height));
    SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

void TCrashDialog::Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    const int boxesTop = client.bottom - S(8) - S(LowerMargin(offers_.BoxRows));
    const int lineTop = LayoutButtons(client, font, boxesTop);
    LayoutBoxes(client, font, boxesTop);
    LayoutMessage(client, font, lineTop);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// OK at the right, then Details and Terminate/Restart leftwards, each when offered, over the rows of
// boxes; the etched line above them. Returns the line's top.
int TCrashDialog::LayoutButtons(const RECT& client, HFONT font, int boxesTop) {
    RECT unit{0, 0, 60, 14};
    MapDialogRect(hwnd_, &unit);
    int buttonWidth = unit.right;
    for (int id : {ML_ID_OK, ML_ID_TERMINATE, ML_ID_DETAILS})
        buttonWidth = std::max<int>(buttonWidth, TextSize(ControlText(hwnd_, id), 0, font).cx + S(24));
    const int buttonHeight = unit.bottom;
    const int buttonsTop = boxesTop - (offers_.BoxRows ? S(4) : 0) - buttonHeight;
    int x = client.right - S(8);
    for (int id : {ML_ID_OK, ML_ID_DETAILS, ML_ID_TERMINATE}) {
        if ((id == ML_ID_DETAILS && !offers_.Details) || (id == ML_ID_TERMINATE && !offers_.Terminate)) continue;
        x -= buttonWidth;
        MoveWindow(GetDlgItem(hwnd_, id), x, buttonsTop, buttonWidth, buttonHeight, TRUE);
        x -= S(6);
    }
    const int lineTop = buttonsTop - S(8) - 2;
    MoveWindow(GetDlgItem(hwnd_, ML_ID_LINE), S(8), lineTop, client.right - 2 * S(8), 2, TRUE);
    return lineTop;
}

// Rows of boxes in the lower margin: sending and the screenshot, then the copy box and the support
// link at the right.
void TCrashDialog::LayoutBoxes(const RECT& client, HFONT font, int boxesTop) {
    const int rowHeight = offers_.BoxRows >= 2 ? S(17) : S(20);
    int row = 0;
    linkRect_ = {};
    auto placeBox = [&](int id, int& left, int top) {
        const SIZE text = TextSize(ControlText(hwnd_, id), 0, font);
        const int width = text.cx + GetSystemMetrics(SM_CXMENUCHECK) + S(10);
        const int height = std::min(rowHeight, std::max<int>(text.cy + S(2), S(14)));
        MoveWindow(GetDlgItem(hwnd_, id), left, top + (rowHeight - height) / 2, width, height, TRUE);
        left += width + S(16);
    };
    if (offers_.Send) {
        int left = S(8);
        placeBox(ML_ID_SEND, left, boxesTop);
        if (offers_.Screenshot) placeBox(ML_ID_SCREENSHOT, left, boxesTop);
        ++row;
    }
    if (!offers_.CopyToClipboard && !offers_.SupportLink) return;
    const int top = boxesTop + row * rowHeight;
    int left = S(8);
    if (offers_.CopyToClipboard) placeBox(ML_ID_COPY, left, top);
    if (offers_.SupportLink) {
        const SIZE text = TextSize(options_.Text(TMishapText::SupportLink), 0, linkFont_.get());
        const int linkLeft = std::max<int>(left, client.right - S(8) - text.cx);
        linkRect_ = {linkLeft, top + (rowHeight - text.cy) / 2, linkLeft + text.cx, top + (rowHeight + text.cy) / 2};
    }
}

// The message, and under it the tabs (expanded) or beside the picture (compact).
void TCrashDialog::LayoutMessage(const RECT& client, HFONT font, int lineTop) {
    const int m = S(8);
    HWND message = GetDlgItem(hwnd_, ML_ID_MESSAGE);
    if (expanded_) {
        pictureRect_ = {};
        const int width = client.right - 2 * m;
        const int height = TextSize(options_.Text(TMishapText::DialogMessage), width, font).cy;
        MoveWindow(message, m, m, width, height, TRUE);
        const int tabsTop = m + height + S(6);
        MoveWindow(GetDlgItem(hwnd_, ML_ID_TABS), m, tabsTop, width, std::max(0, lineTop - S(6) - tabsTop), TRUE);
        pages_.Place();
        return;
    }
    const int pictureSize = S(32);
    pictureRect_ = {m, m, m + pictureSize, m + pictureSize};
    const int left = m + pictureSize + S(12);
    const int width = client.right - left - m;
    const int available = std::max(0, lineTop - S(8) - m);
    const int height = std::min<int>(TextSize(request_.Message, width, font).cy, available);
    const int top = height < pictureSize ? m + (pictureSize - height) / 2 : m;
    MoveWindow(message, left, top, width, height, TRUE);
}

void TCrashDialog::OnPaint() {
    win::PaintDC paint(hwnd_);
    HDC dc = paint.get();
    if (!expanded_) error_.Draw(dc, pictureRect_.left, pictureRect_.top);
    if (offers_.SupportLink && linkRect_.right > linkRect_.left) {
        win::SelectObjectScope select(dc, linkFont_.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 255));
        const std::wstring text = win::Wide(options_.Text(TMishapText::SupportLink));
        RECT r = linkRect_;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_NOPREFIX);
    }
}

void TCrashDialog::OnTimer(UINT_PTR id) {
    if (id == kPaintTimer) {
        KillTimer(hwnd_, kPaintTimer);
        // Timer messages come only when no paint is due: a dialog that has not painted by now
        // cannot be seen (no interactive desktop).
        if (!painted_) {
            KillTimer(hwnd_, kAutoCloseTimer);
            KillTimer(hwnd_, kFrontTimer);
            EndDialog(hwnd_, kNeverPainted);
        }
    } else if (id == kAutoCloseTimer) {
        if (++idleSeconds_ >= options_.DialogAutoCloseSeconds()) {
            KillTimer(hwnd_, kAutoCloseTimer);
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        }
    } else if (id == kFrontTimer) {
        KeepInFront();
    }
}

void TCrashDialog::KeepInFront() {
    if (topMost_) return;
    HWND foreground = GetForegroundWindow();
    if (!foreground || foreground == hwnd_ || IsChild(hwnd_, foreground)) return;
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    if (process != GetCurrentProcessId()) return;
    // A window the dialog owns stays in front of it.
    for (HWND owner = GetWindow(foreground, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER)) {
        if (owner == hwnd_) return;
    }
    SetForegroundWindow(hwnd_);
}

void TCrashDialog::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
        case ML_ID_OK:
        case ML_ID_TERMINATE:
            Close(id);
            break;
        case ML_ID_DETAILS:
            SetForm(!expanded_);
            break;
        case ML_ID_SEND:
            EnableWindow(GetDlgItem(hwnd_, ML_ID_SCREENSHOT), IsDlgButtonChecked(hwnd_, ML_ID_SEND) == BST_CHECKED);
            break;
        default:
            break;
    }
}

bool TCrashDialog::OnSetCursor() {
    POINT at;
    GetCursorPos(&at);
    ScreenToClient(hwnd_, &at);
    if (!offers_.SupportLink || !PtInRect(&linkRect_, at)) return false;
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
    return true;
}

void TCrashDialog::OnMouse(UINT message, LPARAM lParam) {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const bool inside = offers_.SupportLink && PtInRect(&linkRect_, at);
    if (message == WM_LBUTTONDOWN) {
        linkPressed_ = inside;
        if (inside) SetCapture(hwnd_);
        return;
    }
    const bool pressed = linkPressed_;
    linkPressed_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    if (!pressed || !inside) return;
    // The page opens in front of the dialog.
    topMost_ = false;
    SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShellExecuteW(hwnd_, L"open", win::Wide(options_.SupportUrl()).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void TCrashDialog::ReadChoices(int id) {
    auto checked = [&](int box, bool initially) {
        return boxesSet_ ? IsDlgButtonChecked(hwnd_, box) == BST_CHECKED : initially;
    };
    result_.SendChecked = offers_.Send && checked(ML_ID_SEND, offers_.SendChecked);
    result_.ScreenshotChecked =
        offers_.Screenshot && result_.SendChecked && checked(ML_ID_SCREENSHOT, offers_.ScreenshotChecked);
    result_.CopyToClipboard = offers_.CopyToClipboard && checked(ML_ID_COPY, false);
    result_.TerminatePressed = id == ML_ID_TERMINATE && offers_.Terminate;
}

void TCrashDialog::Close(int id) {
    KillTimer(hwnd_, kPaintTimer);
    KillTimer(hwnd_, kAutoCloseTimer);
    KillTimer(hwnd_, kFrontTimer);
    ReadChoices(id);
    if (expanded_) SaveState();
    EndDialog(hwnd_, id);
}

// Closes like OK with the boxes as they are, keeping the failure for the driver's "GUI" warning; a
// dialog that never showed ends as one that never painted, so the message still reaches the user.
// The state file is left alone: what failed may be what writes it.
void TCrashDialog::Fail(std::exception_ptr failure) {
    if (result_.Failure) return;  // a second failure while closing
    result_.Failure = std::move(failure);
    KillTimer(hwnd_, kPaintTimer);
    KillTimer(hwnd_, kAutoCloseTimer);
    KillTimer(hwnd_, kFrontTimer);
    ReadChoices(ML_ID_OK);
    EndDialog(hwnd_, painted_ ? ML_ID_OK : kNeverPainted);
}

void TCrashDialog::SaveState() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(hwnd_, &placement)) {
        const RECT& r = placement.rcNormalPosition;
        state_.Left = r.left;
        state_.Top = r.top;
        state_.Width = r.right - r.left;
        state_.Height = r.bottom - r.top;
        state_.HasPosition = true;
        state_.WindowsState = placement.showCmd == SW_SHOWMAXIMIZED ? kPlacementMaximized : kPlacementNormal;
    }
    pages_.SaveColumns(state_);
    // A state that cannot be kept costs only the layout of the next opening.
    WriteDialogStateFile(stateFile_, state_);
}

}  // namespace

TCrashDialogResult ShowCrashDialog(const TCrashDialogRequest& request) {
    if (!request.Options || !request.Context) throw EMishapLogError("The crash dialog needs options and a report.");
    const TMishapModuleOptions& options = *request.Options;
    // The rich-edit pages need their class; the library stays loaded while the dialog is open.
    win::ModuleHandle richEdit(LoadLibraryA("RICHED32.DLL"));
    win::InitCommonControls(ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS);
    HWND foreground = GetForegroundWindow();
    MessageBeep(MB_ICONHAND);

    TCrashDialogResult result;
    for (;;) {
        TCrashDialog dialog(request);
        const INT_PTR code = dialog.Run();
        if (code == -1 || code == 0 || code == kNeverPainted) {
            MessageBoxW(nullptr, win::Wide(request.Message).c_str(),
                        win::Wide(options.Text(TMishapText::ErrorCaption)).c_str(), kFallbackBoxFlags);
            if (foreground && IsWindow(foreground)) SetForegroundWindow(foreground);
            throw EMishapLogError("Cannot show the DialogBox window.");
        }
        result = dialog.Result();
        if (!result.TerminatePressed || !request.BeforeTerminate || request.BeforeTerminate()) break;
        // The host kept the process: the pending terminate is cleared and the dialog shown again.
    }
    if (foreground && IsWindow(foreground)) SetForegroundWindow(foreground);
    return result;
}

}  // namespace quillan::crash
