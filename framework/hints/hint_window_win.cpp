// The default hint window: a plain rectangle in the system's hint colours.
#include "framework/core/exceptions.h"
#include "framework/hints/hints_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"
#include "framework/win/window_win.h"

namespace quillan::win {
namespace {

constexpr wchar_t kHintClass[] = L"QuillanHintWindow";
constexpr int kMargin = 2;  // text inset from the border

class TDefaultHintWindow : public THintWindow, private TWindow {
public:
    TDefaultHintWindow() {
        NONCLIENTMETRICSW metrics = {};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            font_.reset(CreateFontIndirectW(&metrics.lfStatusFont));
        RegisterWindowClass(kHintClass, CS_SAVEBITS, nullptr, LoadCursorW(nullptr, IDC_ARROW),
                            reinterpret_cast<HBRUSH>(COLOR_INFOBK + 1));
        CreateHandle(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kHintClass, "", WS_POPUP | WS_BORDER, 0, 0, 0, 0, nullptr);
    }

    RECT CalcHintRect(int maxWidth, const std::string& hint) override {
        RECT rect = {0, 0, maxWidth, 0};
        WindowDC dc(hwnd_);
        SelectObjectScope scope(dc.get(), Font());
        std::wstring text = Wide(hint);
        DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &rect,
                  DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        rect.right += 2 * kMargin + 2 * GetSystemMetrics(SM_CXBORDER) + 2;
        rect.bottom += 2 * kMargin + 2 * GetSystemMetrics(SM_CYBORDER);
        return rect;
    }

    void ActivateHint(RECT screenRect, const std::string& hint) override {
        text_ = hint;
        screenRect = KeepHintOnMonitor(screenRect);
        SetWindowPos(hwnd_, HWND_TOPMOST, screenRect.left, screenRect.top, screenRect.right - screenRect.left,
                     screenRect.bottom - screenRect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        InvalidateRect(hwnd_, nullptr, TRUE);
        UpdateWindow(hwnd_);
    }

    void HideHint() override { ShowWindow(hwnd_, SW_HIDE); }
    HWND Handle() const override { return hwnd_; }

private:
    HGDIOBJ Font() const { return font_ ? font_.get() : GetStockObject(DEFAULT_GUI_FONT); }

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
            case WM_NCHITTEST:
                return HTTRANSPARENT;  // the mouse goes to the control below
            case WM_MOUSEACTIVATE:
                return MA_NOACTIVATE;
            case WM_PAINT:
                OnPaint();
                return 0;
            default:
                return TWindow::HandleMessage(msg, wParam, lParam);
        }
    }

    void OnPaint() {
        PaintDC paint(hwnd_);
        HDC dc = paint.get();
        RECT rect;
        GetClientRect(hwnd_, &rect);
        FillRect(dc, &rect, GetSysColorBrush(COLOR_INFOBK));
        InflateRect(&rect, -kMargin, -kMargin);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        {
            SelectObjectScope scope(dc, Font());
            std::wstring text = Wide(text_);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        }
    }

    FontHandle font_;
    std::string text_;
};

}  // namespace

std::unique_ptr<THintWindow> CreateDefaultHintWindow() { return std::make_unique<TDefaultHintWindow>(); }

}  // namespace quillan::win
