// Mouse callbacks from the shell: which clicks open which menu, and when.
#include "tests/tray/tray_support.h"

#include <stdexcept>

namespace quillan::test {
namespace {

TEST_F(TrayTest, SingleLeftClickOpensTrayMenuAtReleasePointAfterDoubleClickTime) {
    auto tray = MakeProgramTray();
    SetCursorPos(120, 140);
    POINT release = {};
    GetCursorPos(&release);
    ULONGLONG releasedAt = GetTickCount64();
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    EXPECT_TRUE(popups.empty()) << "the menu waits for a possible second click";
    SetCursorPos(300, 310);  // the menu still opens where the button was released
    bool nullAfterMenu = false;
    int filter = win::Application().AddMessageFilter([&](MSG& m) {
        if (m.hwnd == tray->CallbackWindow() && m.message == WM_NULL && !popups.empty()) nullAfterMenu = true;
        return false;
    });

    ASSERT_TRUE(PumpUntil([&] { return !popups.empty() && nullAfterMenu; }, ClickDeadline()));
    win::Application().RemoveMessageFilter(filter);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].menu, &trayMenu);
    EXPECT_EQ(popups[0].owner, tray->CallbackWindow());
    EXPECT_EQ(popups[0].x, release.x);
    EXPECT_EQ(popups[0].y, release.y);
    // Tick granularity allowance only: the timer itself never fires early.
    EXPECT_GE(popups[0].tick - releasedAt + 20, GetDoubleClickTime());
}

TEST_F(TrayTest, HandledDropDownOpensNoMenuAndTakesNoFocus) {
    auto tray = MakeProgramTray();
    int asked = 0;
    tray->OnDropDown = [&](TTrayIcon&, POINT, bool& handled) {
        ++asked;
        handled = true;
    };
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return asked == 1; }, ClickDeadline()));
    EXPECT_TRUE(popups.empty());
    EXPECT_NE(GetForegroundWindow(), tray->CallbackWindow());

    tray->OnDropDown = [&](TTrayIcon&, POINT, bool&) { ++asked; };
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return popups.size() == 1; }, ClickDeadline()));
    EXPECT_EQ(asked, 2);
}

TEST_F(TrayTest, DoubleClickAndStrayReleasesOpenNoMenu) {
    auto tray = MakeProgramTray();
    // The shell's sequence for a double click.
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    Callback(*tray, WM_LBUTTONDBLCLK);
    Callback(*tray, WM_LBUTTONUP);
    // A release without a press is no click either.
    Callback(*tray, WM_LBUTTONUP);
    PumpPastDoubleClickTime();
    EXPECT_TRUE(popups.empty());

    // The state is clean afterwards: the next single click still works.
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    EXPECT_TRUE(PumpUntil([&] { return popups.size() == 1; }, ClickDeadline()));
}

TEST_F(TrayTest, RightButtonAndKeyboardDoNothingInProgramConfiguration) {
    auto tray = MakeProgramTray();
    calls.clear();
    for (UINT event : std::initializer_list<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU, NIN_KEYSELECT,
                                                  WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP})
        EXPECT_EQ(Callback(*tray, event), 0);
    PumpPastDoubleClickTime();
    EXPECT_TRUE(popups.empty());
    EXPECT_TRUE(calls.empty());
}

TEST_F(TrayTest, ContextMenuAndDefaultItemOfPopupMenu) {
    auto tray = MakeProgramTray();
    TPopupMenu context;
    int plainClicks = 0, defaultClicks = 0;
    context.Items().Add(std::make_unique<TMenuItem>("a")).OnClick = [&](TMenuItem&) { ++plainClicks; };
    TMenuItem& def = context.Items().Add(std::make_unique<TMenuItem>("b"));
    def.Default = true;
    def.OnClick = [&](TMenuItem&) { ++defaultClicks; };
    tray->PopupMenu = &context;

    Callback(*tray, WM_CONTEXTMENU);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].menu, &context);

    bool asked = false;
    tray->OnContextPopup = [&](TTrayIcon&, POINT, bool& handled) { asked = handled = true; };
    Callback(*tray, NIN_KEYSELECT);
    EXPECT_TRUE(asked);
    EXPECT_EQ(popups.size(), 1u) << "a handled context popup shows no menu";

    // A double click runs the default item and cancels the pending single click.
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    Callback(*tray, WM_LBUTTONDBLCLK);
    EXPECT_EQ(defaultClicks, 1);
    EXPECT_EQ(plainClicks, 0);
    PumpPastDoubleClickTime();
    EXPECT_EQ(popups.size(), 1u);

    // With OnDblClick assigned, that handler alone runs.
    int dbl = 0;
    tray->OnDblClick = [&](TTrayIcon&, TTrayIcon::TMouseButton, TTrayIcon::TShiftState, int, int) { ++dbl; };
    Callback(*tray, WM_LBUTTONDBLCLK);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(defaultClicks, 1);
    tray->FreeNotification(&context);
    EXPECT_EQ(tray->PopupMenu, nullptr);
}

TEST_F(TrayTest, OldShellOpensContextMenuOnRightRelease) {
    auto tray = MakeProgramTray(kOldShell);
    TPopupMenu context;
    tray->PopupMenu = &context;
    Callback(*tray, WM_RBUTTONDOWN);
    Callback(*tray, WM_RBUTTONUP);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].menu, &context);
}

TEST_F(TrayTest, ClickEventsReportButtonAndRightClickQualifiesWithOnClick) {
    auto tray = MakeProgramTray();
    std::vector<TTrayIcon::TMouseButton> clicks, downs, ups;
    tray->OnClick = [&](TTrayIcon&, TTrayIcon::TMouseButton b, TTrayIcon::TShiftState, int, int) {
        clicks.push_back(b);
    };
    tray->OnMouseDown = [&](TTrayIcon&, TTrayIcon::TMouseButton b, TTrayIcon::TShiftState, int, int) {
        downs.push_back(b);
    };
    tray->OnMouseUp = [&](TTrayIcon&, TTrayIcon::TMouseButton b, TTrayIcon::TShiftState, int, int) {
        ups.push_back(b);
    };
    Callback(*tray, WM_RBUTTONDOWN);
    Callback(*tray, WM_RBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return !clicks.empty(); }, ClickDeadline()));
    EXPECT_EQ(clicks, std::vector<TTrayIcon::TMouseButton>{TTrayIcon::mbRight});
    EXPECT_EQ(downs, std::vector<TTrayIcon::TMouseButton>{TTrayIcon::mbRight});
    EXPECT_EQ(ups, std::vector<TTrayIcon::TMouseButton>{TTrayIcon::mbRight});
    EXPECT_TRUE(popups.empty()) << "only the left button opens the drop-down menu";
}

TEST_F(TrayTest, ExceptionsFromHandlersReachApplicationAndMessagesReturn) {
    auto tray = MakeProgramTray();
    tray->OnMouseMove = [](TTrayIcon&, TTrayIcon::TShiftState, int, int) { throw std::runtime_error("move failed"); };
    EXPECT_EQ(Callback(*tray, WM_MOUSEMOVE), 0);
    ASSERT_EQ(exceptions.size(), 1u);
    EXPECT_EQ(exceptions[0], "move failed");

    // From the click timer, through the message loop.
    tray->OnClick = [](TTrayIcon&, TTrayIcon::TMouseButton, TTrayIcon::TShiftState, int, int) {
        throw std::runtime_error("click failed");
    };
    Callback(*tray, WM_LBUTTONDOWN);
    Callback(*tray, WM_LBUTTONUP);
    ASSERT_TRUE(PumpUntil([&] { return exceptions.size() == 2; }, ClickDeadline()));
    EXPECT_EQ(exceptions[1], "click failed");
    // The window still works afterwards.
    EXPECT_EQ(SendMessageW(tray->CallbackWindow(), WM_QUERYENDSESSION, 0, 0), 1);

    // Balloon reports are swallowed, not reported.
    tray->OnBalloonClick = [](TTrayIcon&) { throw std::runtime_error("balloon"); };
    tray->OnBalloonHide = [](TTrayIcon&) { throw std::runtime_error("balloon"); };
    EXPECT_EQ(Callback(*tray, NIN_BALLOONUSERCLICK), 1);
    EXPECT_EQ(Callback(*tray, NIN_BALLOONHIDE), 1);
    EXPECT_EQ(exceptions.size(), 2u);
}

}  // namespace
}  // namespace quillan::test
