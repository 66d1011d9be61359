#include "components/balloon/balloon_window_win.h"

#include "framework/win/common_controls_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::balloon {
namespace {

constexpr UINT kTextFlags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

// The screen's hint font, optionally bold; the caller owns the font.
win::FontHandle CreateHintFont(bool bold) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font = {};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font = metrics.lfStatusFont;
    else
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    if (bold) font.lfWeight = FW_BOLD;
    return win::FontHandle(CreateFontIndirectW(&font));
}

// Text measured from (0, 0, maxWidth, 0) with DT_CALCRECT.
Rect MeasureString(const std::string& text, int maxWidth, bool bold, UINT flags) {
    win::WindowDC dc(nullptr);
    win::FontHandle font = CreateHintFont(bold);
    win::SelectObjectScope select(dc.get(), font.get());
    RECT r = {0, 0, maxWidth, 0};
    std::wstring wide = win::Wide(text);
    DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &r, DT_CALCRECT | flags);
    return Rect{r.left, r.top, r.right, r.bottom};
}

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
Rect FromRECT(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

}  // namespace

std::unique_ptr<win::THintWindow> CreateBalloonWindow() { return std::make_unique<TBalloonWindow>(); }

TBalloonWindow::TBalloonWindow() : color_(GetSysColor(COLOR_INFOBK)) {
    UINT style = CS_SAVEBITS | (IsWindowsXPOrLater() ? CS_DROPSHADOW : 0);
    RegisterWindowClass(kBalloonWindowClass, style, nullptr, LoadCursorW(nullptr, IDC_ARROW), nullptr);
    // No frame of its own: the region and the painted outline are the balloon.
    CreateHandle(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kBalloonWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr);
}

TBalloonWindow::~TBalloonWindow() = default;

void TBalloonWindow::HideHint() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

UINT TBalloonWindow::TextFlags() const {
    bool rtl = hwnd_ && (GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) & WS_EX_RTLREADING);
    return kTextFlags | (rtl ? DT_RTLREADING : 0);
}

void TBalloonWindow::LoadHintSettings() {
    const TBalloonHint& hint = TGlobalCtrl::Instance().DefaultHint();
    iconKind_ = hint.DefaultIcon;
    showIcon_ = (hint.ApplicationHintOptions & ahShowIconInHint) && hint.DefaultIcon != ikNone &&
                !(hint.DefaultIcon == ikCustom && hint.DefaultImageIndex < 0);
    showHeader_ = (hint.ApplicationHintOptions & ahShowHeaderInHint) && !hint.DefaultHeader.empty();
    headerText_ = hint.DefaultHeader;
    layout_.position = hint.DefaultBalloonPosition;
    iconWidth_ = iconHeight_ = 16;
    if (hint.DefaultIcon == ikNone) {
        iconWidth_ = iconHeight_ = 0;
    } else if (hint.DefaultIcon == ikCustom && hint.Images && hint.DefaultImageIndex >= 0 &&
               hint.DefaultImageIndex < win::ImageListGetImageCount(hint.Images)) {
        win::ImageListGetIconSize(hint.Images, &iconWidth_, &iconHeight_);
    }
    layout_.cursorHeight = GetSystemMetrics(SM_CYCURSOR);
}

Rect TBalloonWindow::MeasureText(int maxWidth) {
    if (hintText_.empty()) return Rect{};
    return TextRectFromMeasured(MeasureString(hintText_, maxWidth, false, TextFlags()), false);
}

Rect TBalloonWindow::MeasureHeader(int maxWidth) {
    HeaderInput header;
    header.showIcon = showIcon_;
    header.showHeader = showHeader_;
    header.iconWidth = iconWidth_;
    header.iconHeight = iconHeight_;
    if (showHeader_) header.headerText = MeasureString(headerText_, maxWidth, true, TextFlags());
    return HeaderRect(header);
}

RECT TBalloonWindow::MeasureBalloon(int maxWidth, const std::string& hintText) {
    LoadHintSettings();
    hintText_ = hintText;
    Rect text = MeasureText(maxWidth);
    Rect header = MeasureHeader(maxWidth);
    return ToRECT(MeasureBalloonRect(layout_, text, header));
}

void TBalloonWindow::ShowBalloonAt(RECT rect, const std::string& hintText) {
    if (hwnd_ && IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
    hintText_ = hintText;
    color_ = GetSysColor(COLOR_INFOBK);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Rect r = FromRECT(rect);
    FitToWorkArea(r, layout_, FromRECT(work));
    RECT bounds = ToRECT(r);
    // The window is 4 pixels taller than the balloon; the body's region stops short of it.
    bounds.bottom += 4;
    SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOREDRAW);
    ApplyRegion();
    TGlobalCtrl& ctrl = TGlobalCtrl::Instance();
    const TBalloonHint& hint = ctrl.DefaultHint();
    if (hint.ApplicationHintOptions & ahPlaySound) ctrl.PlaySoundOf(hint.DefaultIcon);
    ShowTopmostNoActivate(bounds);
}

void TBalloonWindow::ShowTopmostNoActivate(const RECT& bounds) {
    SetWindowPos(hwnd_, HWND_TOPMOST, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOACTIVATE);
    BOOL animate = FALSE;
    BOOL fade = FALSE;
    SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &animate, 0);
    SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &fade, 0);
    if (animate && AnimateWindow(hwnd_, 100, fade ? AW_BLEND : (AW_SLIDE | AW_VER_POSITIVE))) return;
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

HRGN TBalloonWindow::CreateBalloonRegion() const {
    RECT window = {};
    GetWindowRect(hwnd_, &window);
    RegionShape shape =
        BalloonRegionShape(layout_.position, window.right - window.left, window.bottom - window.top, layout_.stem);
    POINT points[3];
    for (int i = 0; i < 3; ++i) points[i] = POINT{shape.triangle[i].x, shape.triangle[i].y};
    win::RegionHandle stem(CreatePolygonRgn(points, 3, WINDING));
    win::RegionHandle body(CreateRoundRectRgn(shape.body.left, shape.body.top, shape.body.right, shape.body.bottom,
                                              kCornerEllipse, kCornerEllipse));
    if (body && stem) CombineRgn(body.get(), body.get(), stem.get(), RGN_OR);
    return body.release();
}

void TBalloonWindow::ApplyRegion() {
    win::RegionHandle region(CreateBalloonRegion());
    // On success the system owns the region; a refused one is ours to free.
    if (region && SetWindowRgn(hwnd_, region.get(), FALSE)) region.release();
}

void TBalloonWindow::OnEraseBackground(HDC dc) {
    win::RegionHandle region(CreateBalloonRegion());
    if (!region) return;
    // The window region clips the outer pixel row: draw the outline one pixel in.
    OffsetRgn(region.get(), -1, -1);
    win::BrushHandle fill(CreateSolidBrush(color_));
    FillRgn(dc, region.get(), fill.get());
    FrameRgn(dc, region.get(), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), 1, 1);
}

void TBalloonWindow::OnPaint() {
    win::PaintDC paint(hwnd_);
    HDC dc = paint.get();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    RECT client = {};
    GetClientRect(hwnd_, &client);
    if (showIcon_) TGlobalCtrl::Instance().DrawIcon(dc, iconKind_, 12, layout_.stemTop + 8, color_);
    if (!hintText_.empty()) {
        win::FontHandle font = CreateHintFont(false);
        win::SelectObjectScope select(dc, font.get());
        RECT r = client;
        r.left += 12;
        r.top += layout_.stemTop + layout_.textTop;
        std::wstring wide = win::Wide(hintText_);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
    }
    if (showHeader_) {
        win::FontHandle font = CreateHintFont(true);
        win::SelectObjectScope select(dc, font.get());
        RECT r = client;
        r.left += showIcon_ ? iconWidth_ + 20 : 12;
        r.top += layout_.stemTop + 8;
        std::wstring wide = win::Wide(headerText_);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, TextFlags());
    }
}

LRESULT TBalloonWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ERASEBKGND:
            OnEraseBackground(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_NCPAINT:
            return 0;
        case WM_SHOWWINDOW:
            if (wParam) ApplyRegion();
            break;
        case WM_NCHITTEST:
            // The mouse belongs to what lies under the hint, as with the plain hint.
            return HTTRANSPARENT;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            break;
    }
    return DefaultHandler(msg, wParam, lParam);
}

}  // namespace quillan::balloon
