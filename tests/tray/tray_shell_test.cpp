// What the tray icon tells the shell: adding, tips, re-adding after an Explorer
// restart, removal, balloons and animation; and the application's taskbar button.
#include "tests/tray/tray_support.h"

namespace quillan::test {
namespace {

TEST_F(TrayTest, LoadingWithProgramSettingsAddsIconAndHidesTaskbarButton) {
    auto tray = MakeTray();
    tray->SetActive(true);
    EXPECT_TRUE(calls.empty()) << "while loading Active is only recorded";
    tray->SetHint("Quillan (Ctrl + Win + A)");
    tray->DropDownMenu = &trayMenu;
    tray->SetVisibility({tvVisibleTaskList, tvAutoHide});
    tray->Loaded();

    ASSERT_EQ(calls.size(), 2u);
    const ShellCall& add = calls[0];
    EXPECT_EQ(add.message, DWORD{NIM_ADD});
    EXPECT_EQ(add.flags, UINT{NIF_MESSAGE | NIF_ICON | NIF_TIP});
    EXPECT_EQ(add.size, DWORD{NOTIFYICONDATAW_V2_SIZE});
    EXPECT_EQ(add.wnd, tray->CallbackWindow());
    EXPECT_EQ(add.id, 1u);
    EXPECT_EQ(add.callback, 0x401u);
    EXPECT_NE(add.icon, nullptr) << "the application icon stands in for an empty Icon";
    EXPECT_EQ(add.tip, L"Quillan (Ctrl + Win + A)");
    EXPECT_EQ(calls[1].message, DWORD{NIM_SETVERSION});
    EXPECT_EQ(calls[1].flags, 0u);
    EXPECT_EQ(calls[1].version, UINT{NOTIFYICON_VERSION});
    EXPECT_TRUE(tray->IconShown());
    EXPECT_FALSE(win::Application().ShowMainForm);
    EXPECT_FALSE(IsWindowVisible(win::Application().Handle()));

    // The callback window: hidden, zero-size top-level tool window of its own class.
    HWND wnd = tray->CallbackWindow();
    wchar_t cls[64] = {};
    GetClassNameW(wnd, cls, 64);
    EXPECT_STREQ(cls, L"TTrayCallbackWindow");
    EXPECT_EQ(GetAncestor(wnd, GA_PARENT), GetDesktopWindow());
    EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(IsWindowVisible(wnd));

    tray->SetActive(false);
    EXPECT_EQ(calls.back().message, DWORD{NIM_DELETE});
    EXPECT_FALSE(tray->IconShown());
    tray->SetActive(true);
    EXPECT_EQ(CountCalls(NIM_ADD), 2u);
    tray.reset();
    EXPECT_EQ(calls.back().message, DWORD{NIM_DELETE}) << "destruction removes the icon";
}

TEST_F(TrayTest, HintReachesShellOnlyAtNextMouseMove) {
    auto tray = MakeProgramTray();
    calls.clear();
    tray->SetHint("Quillan (Shift + Win + H)|long part");
    EXPECT_TRUE(calls.empty());
    std::vector<POINT> moves;
    tray->OnMouseMove = [&](TTrayIcon&, TTrayIcon::TShiftState, int x, int y) { moves.push_back({x, y}); };
    EXPECT_EQ(Callback(*tray, WM_MOUSEMOVE), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, DWORD{NIM_MODIFY});
    EXPECT_EQ(calls[0].flags, UINT{NIF_TIP});
    EXPECT_EQ(calls[0].tip, L"Quillan (Shift + Win + H)");
    EXPECT_EQ(moves.size(), 1u);

    Callback(*tray, WM_MOUSEMOVE);
    EXPECT_EQ(calls.size(), 1u) << "an unchanged hint is not sent again";
    EXPECT_EQ(moves.size(), 2u);

    // Cut at 127 characters on a 5.0 shell; Windows-1251 text arrives as Unicode.
    tray->SetHint("Шаблоны " + std::string(200, 'x'));
    Callback(*tray, WM_MOUSEMOVE);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].tip, L"Шаблоны " + std::wstring(119, L'x'));
    // Line breaks stay on a new shell.
    tray->SetHint("a\r\nb");
    EXPECT_EQ(tray->Hint(), "a\r\nb");
}

TEST_F(TrayTest, OldShellUsesShortRecordShortTipAndNoBalloons) {
    auto tray = MakeTray(kOldShell);
    tray->SetActive(true);
    tray->SetHint("line one\r\nline two " + std::string(100, 'y') + "|rest");
    tray->Loaded();
    ASSERT_EQ(calls.size(), 1u) << "no version message before 5.0";
    EXPECT_EQ(calls[0].message, DWORD{NIM_ADD});
    EXPECT_EQ(calls[0].size, DWORD{NOTIFYICONDATAW_V1_SIZE});
    std::wstring expected = L"line one - line two " + std::wstring(100, L'y');
    EXPECT_EQ(calls[0].tip, expected.substr(0, 63));
    EXPECT_EQ(tray->Hint().find('\r'), std::string::npos);

    tray->ShowBalloon("title", "text", TTrayIcon::btInfo, 3000, false);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(tray->BalloonCount(), 0);
}

TEST_F(TrayTest, TaskbarCreatedReaddsOnlyAShownIcon) {
    auto tray = MakeProgramTray();
    UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    EXPECT_EQ(tray->TaskbarCreatedMsg(), taskbarCreated);
    calls.clear();
    tray->SetHint("after restart");  // still waits for a mouse move
    ASSERT_TRUE(PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return calls.size() >= 3; }, 5000));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].message, DWORD{NIM_DELETE});
    EXPECT_EQ(calls[1].message, DWORD{NIM_ADD});
    EXPECT_EQ(calls[1].flags, UINT{NIF_MESSAGE | NIF_ICON | NIF_TIP});
    EXPECT_EQ(calls[1].tip, L"Quillan (Ctrl + Win + A)") << "the tip changes only at a mouse move";
    EXPECT_EQ(calls[2].message, DWORD{NIM_SETVERSION});
    EXPECT_EQ(calls[2].version, UINT{NOTIFYICON_VERSION});

    // Still Active, but taken away at the end of the session: nothing comes back.
    SendMessageW(tray->CallbackWindow(), WM_ENDSESSION, TRUE, 0);
    ASSERT_TRUE(tray->Active());
    calls.clear();
    // A thread message posted after the broadcast marks when it has been handled.
    constexpr UINT kSentinel = WM_APP + 77;
    bool sentinel = false;
    int filter = win::Application().AddMessageFilter([&](MSG& m) {
        if (m.hwnd || m.message != kSentinel) return false;
        sentinel = true;
        return true;
    });
    ASSERT_TRUE(PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0));
    PostThreadMessageW(GetCurrentThreadId(), kSentinel, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return sentinel; }, 5000));
    win::Application().RemoveMessageFilter(filter);
    EXPECT_TRUE(calls.empty());
}

TEST_F(TrayTest, EndingTheSessionRemovesTheIcon) {
    auto tray = MakeProgramTray();
    HWND wnd = tray->CallbackWindow();
    calls.clear();
    EXPECT_EQ(SendMessageW(wnd, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(SendMessageW(wnd, WM_ENDSESSION, FALSE, 0), 0);
    EXPECT_TRUE(calls.empty()) << "a cancelled session end keeps the icon";
    EXPECT_EQ(SendMessageW(wnd, WM_ENDSESSION, TRUE, 0), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, DWORD{NIM_DELETE});
    EXPECT_FALSE(tray->IconShown());
}

TEST_F(TrayTest, BalloonsAreCountedAndHiddenByTimerAndShell) {
    auto tray = MakeProgramTray();
    int shown = 0;
    tray->OnBalloonShow = [&](TTrayIcon&) { ++shown; };
    calls.clear();
    tray->ShowBalloon("Заголовок " + std::string(80, 't'), std::string(300, 'b'), TTrayIcon::btWarning, 20000, false);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, DWORD{NIM_MODIFY});
    EXPECT_EQ(calls[0].flags, UINT{NIF_INFO});
    EXPECT_EQ(calls[0].title, (L"Заголовок " + std::wstring(80, L't')).substr(0, 63));
    EXPECT_EQ(calls[0].info, std::wstring(255, L'b'));
    EXPECT_EQ(calls[0].version, 20000u) << "the time-out field";
    EXPECT_EQ(calls[0].infoFlags, DWORD{NIIF_WARNING});
    EXPECT_EQ(tray->BalloonCount(), 1);
    EXPECT_EQ(shown, 1);
    // The shell's time-out report before the requested time is ignored.
    EXPECT_EQ(Callback(*tray, NIN_BALLOONTIMEOUT), 1);
    EXPECT_EQ(tray->BalloonCount(), 1);

    // Shorter than the shell's minimum: our own timer hides both balloons.
    tray->ShowBalloon("", "error", TTrayIcon::btError, 300, false);
    EXPECT_EQ(calls.back().infoFlags, DWORD{NIIF_ERROR});
    EXPECT_EQ(tray->BalloonCount(), 2);
    calls.clear();
    ASSERT_TRUE(PumpUntil([&] { return tray->BalloonCount() == 0; }, 5000));
    ASSERT_EQ(calls.size(), 3u) << "count + 1 empty balloons";
    for (const ShellCall& c : calls) {
        EXPECT_TRUE(c.title.empty() && c.info.empty());
        EXPECT_EQ(c.infoFlags, DWORD{NIIF_NONE});
    }

    // Cancelling the previous balloon first, then a click on the balloon hides it.
    tray->ShowBalloon("one", "", TTrayIcon::btInfo, 20000, false);
    calls.clear();
    tray->ShowBalloon("two", "", TTrayIcon::btInfo, 20000, true);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].title, L"two");
    EXPECT_EQ(tray->BalloonCount(), 1);
    int clicked = 0;
    tray->OnBalloonClick = [&](TTrayIcon&) { ++clicked; };
    EXPECT_EQ(Callback(*tray, NIN_BALLOONUSERCLICK), 1);
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(tray->BalloonCount(), 0);
}

}  // namespace
}  // namespace quillan::test
