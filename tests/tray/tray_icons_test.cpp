// Which picture the tray shows (Icon, list icon, animation) and how Visibility
// moves the application's taskbar button and the icon.
#include "tests/tray/tray_support.h"

#include "framework/win/handle_win.h"

namespace quillan::test {
namespace {

// A 16x16 icon of one colour (0x00RRGGBB).
win::IconHandle SolidIcon(DWORD rgb) {
    std::vector<DWORD> pixels(16 * 16, 0xFF000000 | rgb);
    win::GdiObject colour(CreateBitmap(16, 16, 1, 32, pixels.data()));
    std::vector<BYTE> maskBits(16 * 2, 0);  // all opaque
    win::GdiObject mask(CreateBitmap(16, 16, 1, 1, maskBits.data()));
    ICONINFO info = {};
    info.fIcon = TRUE;
    info.hbmColor = static_cast<HBITMAP>(colour.get());
    info.hbmMask = static_cast<HBITMAP>(mask.get());
    return win::IconHandle(CreateIconIndirect(&info));
}

// The colour of the icon's centre pixel, 0x00RRGGBB.
DWORD CentreColour(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return 0xFFFFFFFF;
    win::GdiObject colour(info.hbmColor), mask(info.hbmMask);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 16;
    bi.bmiHeader.biHeight = -16;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(16 * 16);
    win::WindowDC dc(nullptr);
    if (!GetDIBits(dc.get(), info.hbmColor, 0, 16, pixels.data(), &bi, DIB_RGB_COLORS)) return 0xFFFFFFFF;
    return pixels[8 * 16 + 8] & 0x00FFFFFF;
}

constexpr DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

class TrayIconsTest : public TrayTest {
protected:
    void SetUp() override {
        TrayTest::SetUp();
        list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
        for (DWORD rgb : {kRed, kGreen, kBlue}) ImageList_ReplaceIcon(list, -1, SolidIcon(rgb).get());
    }
    void TearDown() override {
        ImageList_Destroy(list);
        TrayTest::TearDown();
    }
    HIMAGELIST list = nullptr;
};

TEST_F(TrayIconsTest, ListIconInRangeElseIconElseApplicationIcon) {
    ASSERT_EQ(ImageList_GetImageCount(list), 3);
    auto tray = MakeProgramTray();
    win::IconHandle yellow = SolidIcon(kYellow);
    tray->SetIcon(yellow.get());
    EXPECT_NE(tray->Icon(), yellow.get()) << "the component keeps its own copy";
    EXPECT_EQ(CentreColour(tray->CurrentIcon()), kYellow);
    EXPECT_EQ(calls.back().message, DWORD{NIM_MODIFY});
    EXPECT_EQ(calls.back().flags, UINT{NIF_ICON});
    EXPECT_EQ(calls.back().icon, tray->CurrentIcon());

    tray->SetIcons(list);
    tray->SetIconIndex(2);
    EXPECT_EQ(CentreColour(tray->CurrentIcon()), kBlue);
    tray->SetIconIndex(3);
    EXPECT_EQ(CentreColour(tray->CurrentIcon()), kYellow);
    tray->SetIconIndex(-1);
    EXPECT_EQ(CentreColour(tray->CurrentIcon()), kYellow);
    tray->SetIconIndex(0);
    EXPECT_EQ(CentreColour(tray->CurrentIcon()), kRed);
    tray->FreeNotification(list);
    EXPECT_EQ(tray->Icons(), nullptr);
    EXPECT_EQ(CentreColour(tray->CurrentIcon()), kYellow);
    tray->SetIcon(nullptr);
    EXPECT_NE(tray->CurrentIcon(), nullptr) << "the application icon";
    EXPECT_NE(CentreColour(tray->CurrentIcon()), kYellow);
}

TEST_F(TrayIconsTest, AnimationCyclesThroughTheListWhileShown) {
    auto tray = MakeProgramTray();
    tray->SetIcons(list);
    std::vector<int> steps;
    std::vector<DWORD> colours;
    tray->OnAnimate = [&](TTrayIcon& t, int index) {
        steps.push_back(index);
        colours.push_back(CentreColour(t.CurrentIcon()));
    };
    tray->SetDelay(10);
    tray->SetAnimated(true);
    ASSERT_TRUE(PumpUntil([&] { return steps.size() >= 4; }, 5000));
    EXPECT_EQ(std::vector<int>(steps.begin(), steps.begin() + 4), (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(std::vector<DWORD>(colours.begin(), colours.begin() + 4),
              (std::vector<DWORD>{kGreen, kBlue, kRed, kGreen}));

    tray->SetActive(false);
    size_t stoppedAt = steps.size();
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(steps.size(), stoppedAt) << "no animation while the icon is not shown";
    tray->SetIcons(nullptr);
}

TEST_F(TrayTest, VisibilityMovesTaskbarButtonAndIcon) {
    auto tray = MakeProgramTray();
    HWND app = win::Application().Handle();
    ASSERT_FALSE(IsWindowVisible(app));

    // Hidden at load and not iconic: auto-hide-icon takes the icon away.
    calls.clear();
    auto vis = tray->Visibility();
    vis.Include(tvAutoHideIcon);
    tray->SetVisibility(vis);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].message, DWORD{NIM_DELETE});
    vis.Exclude(tvAutoHideIcon);
    tray->SetVisibility(vis);
    EXPECT_EQ(calls.back().message, DWORD{NIM_SETVERSION});
    EXPECT_TRUE(tray->IconShown());

    // Adding the taskbar member brings the application back.
    vis.Include(tvVisibleTaskBar);
    tray->SetVisibility(vis);
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_TRUE(win::Application().ShowMainForm);

    tray->HideApplication();
    EXPECT_FALSE(IsWindowVisible(app));
    EXPECT_TRUE(IsIconic(app)) << "a visible application is minimised before it is hidden";
    EXPECT_FALSE(tray->Visibility().Contains(tvVisibleTaskBar));

    tray->ShowApplication();
    EXPECT_TRUE(IsWindowVisible(app));
    EXPECT_FALSE(IsIconic(app));
    EXPECT_TRUE(tray->Visibility().Contains(tvVisibleTaskBar));

    // Minimising through the system menu hides the button (tvAutoHide), only while Active.
    tray->SetActive(false);
    SendMessageW(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(tray->Visibility().Contains(tvVisibleTaskBar));
    tray->ShowApplication();
    tray->SetActive(true);
    SendMessageW(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(tray->Visibility().Contains(tvVisibleTaskBar));
    EXPECT_TRUE(IsIconic(app));
    EXPECT_FALSE(IsWindowVisible(app)) << "the taskbar button stays away";
    tray->HideApplication();
}

TEST(TrayShellVersion, ReadFromShell32VersionResource) {
    DWORD version = TTrayIcon::SystemShellVersion();
    EXPECT_GE(HIWORD(version), 4u);
    EXPECT_EQ(TTrayIcon::SystemShellVersion(), version);
}

}  // namespace
}  // namespace quillan::test
