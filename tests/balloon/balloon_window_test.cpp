// The balloon hint window under a real window manager (Wine + Xvfb): its shape,
// its placement, and the switch of the application's hint window class.
#include <gtest/gtest.h>

#include <windows.h>

#include "components/balloon/balloon_hint_win.h"
#include "components/balloon/balloon_window_win.h"
#include "framework/hints/hints_win.h"
#include "framework/win/application_win.h"
#include "framework/win/window_win.h"
#include "tests/support/scratch_registry.h"

namespace quillan::balloon {
namespace {

using win::Application;

// The class of the windows that the current hint factory makes, without changing it.
std::wstring CurrentHintClass() {
    win::HintWindowFactory current = win::SetHintWindowClass(nullptr);
    std::unique_ptr<win::THintWindow> probe = current();
    wchar_t name[64] = {};
    GetClassNameW(probe->Handle(), name, 64);
    probe.reset();
    win::SetHintWindowClass(current);
    return name;
}

// A visible top-level window with one button that carries a hint.
class TTestForm : public win::TWindow {
public:
    TTestForm() {
        RegisterWindowClass(L"QuillanBalloonTestForm");
        CreateHandle(0, L"QuillanBalloonTestForm", "Balloon test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300,
                     nullptr);
        button = CreateWindowExW(0, L"BUTTON", L"Hinted", WS_CHILD | WS_VISIBLE, 20, 20, 150, 40, hwnd_, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(hwnd_);
    }
    HWND button = nullptr;
};

HWND VisibleBalloon() {
    HWND w = FindWindowW(kBalloonWindowClass, nullptr);
    return w && IsWindowVisible(w) ? w : nullptr;
}

TEST(BalloonHint, SwitchesTheApplicationHintClassWhileAComponentLives) {
    const std::wstring plain = CurrentHintClass();
    ASSERT_NE(plain, kBalloonWindowClass);
    {
        TBalloonHint first;
        EXPECT_FALSE(first.UseBalloonAsApplicationHint());
        first.SetUseBalloonAsApplicationHint(true);
        EXPECT_EQ(CurrentHintClass(), kBalloonWindowClass);
        {
            TBalloonHint second;
            EXPECT_TRUE(second.UseBalloonAsApplicationHint());
            EXPECT_EQ(&TGlobalCtrl::Instance().DefaultHint(), &first);
        }
        // One component is still alive.
        EXPECT_EQ(CurrentHintClass(), kBalloonWindowClass);
    }
    EXPECT_FALSE(TGlobalCtrl::Instance().UseAsAppHint());
    EXPECT_EQ(CurrentHintClass(), plain);
}

TEST(BalloonHint, StandardIconsAreLoaded) {
    TBalloonHint hint;
    HIMAGELIST icons = TGlobalCtrl::Instance().StdIcons();
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(icons), 5);
    int w = 0, h = 0;
    ImageList_GetIconSize(icons, &w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
}

// Sets the default value of HKCU\AppEvents\Schemes\Apps\.Default\<event>\.Current.
void SetSchemeSound(const wchar_t* event, DWORD type, const std::wstring& value) {
    std::wstring path = std::wstring(L"AppEvents\\Schemes\\Apps\\.Default\\") + event + L"\\.Current";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (!value.empty())
        RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

TEST(BalloonHint, SoundNamesComeFromTheUsersSchemeExpanded) {
    TGlobalCtrl& ctrl = TGlobalCtrl::Instance();
    {
        // The user's registry is redirected to a scratch key while the sounds are read.
        test::ScratchRegistry registry;
        SetEnvironmentVariableW(L"QUILLAN_SOUND_DIR", L"C:\\media");
        SetSchemeSound(L"SystemAsterisk", REG_EXPAND_SZ, L"%QUILLAN_SOUND_DIR%\\ding.wav");
        SetSchemeSound(L"SystemNotification", REG_SZ, L"note.wav");
        SetSchemeSound(L"SystemExclamation", REG_SZ, L"");  // key without a value
        ctrl.LoadSounds();
    }

    EXPECT_EQ(ctrl.Sound(ikInformation), "C:\\media\\ding.wav");
    for (TIconKind kind : {ikCustom, ikNone, ikApplication}) EXPECT_EQ(ctrl.Sound(kind), "note.wav") << kind;
    EXPECT_EQ(ctrl.Sound(ikError), "");
    EXPECT_EQ(ctrl.Sound(ikQuestion), "");
    EXPECT_EQ(ctrl.Sound(ikWarning), "");
    ctrl.PlaySoundOf(ikError);  // no name: nothing to play, nothing raised
    // A named sound goes to the multimedia library, loaded for it (no sound device needed: a file
    // that is not there plays nothing).
    ctrl.PlaySoundOf(ikInformation);
    EXPECT_NE(GetModuleHandleW(L"winmm.dll"), nullptr);
}

TEST(BalloonWindow, MeasuresAndShowsAShapedWindow) {
    TBalloonHint hint;
    hint.SetUseBalloonAsApplicationHint(true);
    TBalloonWindow window;
    DWORD classStyle = static_cast<DWORD>(GetClassLongPtrW(window.Handle(), GCL_STYLE));
    EXPECT_TRUE(classStyle & CS_SAVEBITS);
    EXPECT_EQ((classStyle & CS_DROPSHADOW) != 0, IsWindowsXPOrLater());
    EXPECT_FALSE(GetWindowLongPtrW(window.Handle(), GWL_STYLE) & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME));

    const std::string text = "Balloon hint text";
    RECT r = window.CalcHintRect(GetSystemMetrics(SM_CXSCREEN), text);
    EXPECT_TRUE(window.ShowIcon());
    EXPECT_FALSE(window.ShowHeader());
    EXPECT_EQ(window.Layout().textTop, 28);
    EXPECT_GE(r.right - r.left, 39);
    // Placed for auto (as below-left): the tip, 15 in from the right, is at (0, 0).
    EXPECT_EQ(r.right, 15);
    EXPECT_EQ(r.top, 0);
    int textHeight = (r.bottom - r.top) - 27 - 16 - 13;
    EXPECT_GT(textHeight, 0);

    // Lower right quarter of the screen: stays below the anchor, extending right of the stem.
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT anchor = {(work.left + work.right) * 3 / 4, (work.top + work.bottom) * 3 / 4};
    OffsetRect(&r, anchor.x, anchor.y);
    window.ActivateHint(r, text);
    ASSERT_TRUE(IsWindowVisible(window.Handle()));
    EXPECT_EQ(window.Layout().position, bpRightDown);
    EXPECT_EQ(window.Layout().stemTop, 16);
    RECT placed = {};
    GetWindowRect(window.Handle(), &placed);
    EXPECT_EQ(placed.left, anchor.x - 15);
    EXPECT_EQ(placed.top, anchor.y);
    EXPECT_EQ(placed.bottom - placed.top, r.bottom - r.top + 4);

    HRGN region = CreateRectRgn(0, 0, 0, 0);
    int kind = GetWindowRgn(window.Handle(), region);
    EXPECT_TRUE(kind == COMPLEXREGION || kind == SIMPLEREGION) << kind;
    // The stem tip row belongs to the window, the top-left corner (outside the body) does not.
    EXPECT_TRUE(PtInRegion(region, 15 + 1, 1));
    EXPECT_FALSE(PtInRegion(region, 1, 1));
    DeleteObject(region);
    Application().ProcessMessages();

    window.HideHint();
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
}

TEST(BalloonWindow, UpperLeftAnchorFlipsBelowAndRight) {
    TBalloonHint hint;
    TBalloonWindow window;
    RECT r = window.CalcHintRect(GetSystemMetrics(SM_CXSCREEN), "Near the corner");
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT anchor = {work.left + 20, work.top + 5};
    OffsetRect(&r, anchor.x, anchor.y);
    window.ActivateHint(r, "Near the corner");
    EXPECT_EQ(window.Layout().position, bpRightDown);
    RECT placed = {};
    GetWindowRect(window.Handle(), &placed);
    EXPECT_GE(placed.left, work.left);
    EXPECT_GE(placed.top, work.top);
    EXPECT_EQ(placed.left, anchor.x - 15);
    window.HideHint();
}

TEST(BalloonHint, ControlHintIsShownAsABalloon) {
    TBalloonHint hint;
    hint.SetUseBalloonAsApplicationHint(true);
    TTestForm form;
    win::SetControlHint(form.button, "Press to test|long part");
    Application().ProcessMessages();

    RECT b = {};
    GetWindowRect(form.button, &b);
    POINT centre = {(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    SetCursorPos(centre.x, centre.y);
    POINT client = centre;
    ScreenToClient(form.button, &client);
    PostMessageW(form.button, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));

    HWND balloon = nullptr;
    DWORD deadline = GetTickCount() + 5000;
    while (!balloon && static_cast<LONG>(deadline - GetTickCount()) > 0) {
        Application().ProcessMessages();
        balloon = VisibleBalloon();
        if (!balloon) Sleep(20);
    }
    ASSERT_NE(balloon, nullptr) << "no balloon within 5 s";
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    int kind = GetWindowRgn(balloon, region);
    DeleteObject(region);
    EXPECT_TRUE(kind == COMPLEXREGION || kind == SIMPLEREGION) << kind;
    wchar_t name[64] = {};
    GetClassNameW(balloon, name, 64);
    EXPECT_STREQ(name, kBalloonWindowClass);

    if (const char* shot = getenv("QUILLAN_BALLOON_SHOT_WAIT")) {
        // Keeps the balloon up for a screenshot taken from outside.
        DWORD until = GetTickCount() + static_cast<DWORD>(atoi(shot));
        while (static_cast<LONG>(until - GetTickCount()) > 0) {
            Application().ProcessMessages();
            Sleep(20);
        }
    }
    win::SetControlHint(form.button, "");
}

}  // namespace
}  // namespace quillan::balloon
