// The balloon-shaped hint window that the application's hint machinery shows in
// place of the plain one: a rounded body with a stem pointing at the mouse, an
// icon and the hint text. Settings come from the controller's default hint.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "components/balloon/balloon_geometry.h"
#include "components/balloon/balloon_hint_win.h"
#include "framework/hints/hints_win.h"
#include "framework/win/window_win.h"

namespace quillan::balloon {

inline constexpr wchar_t kBalloonWindowClass[] = L"TBalloonWindow";

class TBalloonWindow : public win::TWindow, public win::THintWindow {
public:
    // Creates the (hidden) window; raises EOSError when the system refuses.
    TBalloonWindow();
    ~TBalloonWindow() override;

    // The size that hint needs, placed so that the stem tip lies at (0, 0).
    RECT CalcHintRect(int maxWidth, const std::string& hint) override { return MeasureBalloon(maxWidth, hint); }
    // Shows the balloon for the placed rectangle, flipped to stay on the work area.
    void ActivateHint(RECT screenRect, const std::string& hint) override { ShowBalloonAt(screenRect, hint); }
    void HideHint() override;
    HWND Handle() const override { return hwnd_; }

    RECT MeasureBalloon(int maxWidth, const std::string& hintText);
    void ShowBalloonAt(RECT rect, const std::string& hintText);

    const BalloonLayout& Layout() const { return layout_; }
    bool ShowIcon() const { return showIcon_; }
    bool ShowHeader() const { return showHeader_; }

protected:
    virtual Rect MeasureHeader(int maxWidth);
    virtual Rect MeasureText(int maxWidth);
    virtual void LoadHintSettings();

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HRGN CreateBalloonRegion() const;
    void ApplyRegion();
    void OnEraseBackground(HDC dc);
    void OnPaint();
    UINT TextFlags() const;
    // Runs the system's tooltip animation or shows the window at once.
    void ShowTopmostNoActivate(const RECT& bounds);

    BalloonLayout layout_;
    bool showIcon_ = false;
    bool showHeader_ = false;
    std::string headerText_;
    std::string hintText_;
    TIconKind iconKind_ = ikInformation;
    int iconWidth_ = 16;
    int iconHeight_ = 16;
    COLORREF color_;
};

// Hint-window factory of the balloon class.
std::unique_ptr<win::THintWindow> CreateBalloonWindow();

}  // namespace quillan::balloon
