// The about box of an executable that carries the program's version resource
// (this test links it), and of a file that has none.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>

#include "dialogs/about/about_form_win.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"
#include "tests/support/dpi.h"
#include "tests/support/temp_dir.h"

namespace quillan::about {
namespace {

using win::GetWindowTextA1251;

// Runs action once from the message loop of a modal box, after it is shown.
std::function<void()> gOnTimer;
void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (gOnTimer) gOnTimer();
}
void WhenShown(std::function<void()> action) {
    gOnTimer = std::move(action);
    SetTimer(nullptr, 0, 100, &OnTimer);
}

TEST(AboutBox, LabelsComeFromTheVersionResource) {
    TAbout_Form form;
    EXPECT_EQ(GetWindowTextA1251(form.Control(idProductName)), "Quillan");
    EXPECT_EQ(GetWindowTextA1251(form.Control(idDescription)), "Quillan — вставка текстовых шаблонов");
    EXPECT_EQ(GetWindowTextA1251(form.Control(idCopyRight)), "© 2026 Quillan developers");
    EXPECT_EQ(GetWindowTextA1251(form.Control(idVersion)), "Версия 1.0.0");
    EXPECT_EQ(GetWindowTextA1251(form.Control(idButton1)), "OK");
    EXPECT_NE(SendMessageW(form.Control(idImage1), STM_GETICON, 0, 0), 0);
}

TEST(AboutBox, FileWithoutVersionKeepsTheDesignTimeTexts) {
    test::TempDir dir;
    std::string path = dir.Path() + "plain.txt";
    std::ofstream(win::Wide(path).c_str()) << "no version here";
    TAbout_Form form(path);
    for (int id : {idProductName, idDescription, idCopyRight, idVersion})
        EXPECT_EQ(GetWindowTextA1251(form.Control(id)), "1") << id;
}

TEST(AboutBox, FixedDialogWithoutCaptionButtons) {
    TAbout_Form form;
    LONG_PTR style = GetWindowLongPtrW(form.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    RECT client = {};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, form.Scale(kAboutClientWidth));
    EXPECT_EQ(client.bottom, form.Scale(kAboutClientHeight));
    RECT window = {};
    GetWindowRect(form.Handle(), &window);
    EXPECT_NEAR((window.left + window.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

// The box at the screen's DPI: its size, the OK button and the fonts grow with it,
// and every label's text fits its control whole.
TEST(AboutBox, ScaledAtTheScreensDpi) {
    TAbout_Form form;
    int dpi = GetDeviceCaps(win::WindowDC(nullptr).get(), LOGPIXELSY);
    if (test::ChildDpi()) {
        ASSERT_EQ(dpi, test::ChildDpi()) << "the logical DPI did not reach the process";
    }
    RECT client = {};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, MulDiv(kAboutClientWidth, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(kAboutClientHeight, dpi, 96));
    RECT button = {};
    GetWindowRect(form.Control(idButton1), &button);
    EXPECT_EQ(button.bottom - button.top, MulDiv(25, dpi, 96));
    for (int id : {idProductName, idDescription, idCopyRight, idVersion, idButton1}) {
        HWND control = form.Control(id);
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW lf = {};
        ASSERT_TRUE(GetObjectW(font, sizeof(lf), &lf)) << id;
        EXPECT_EQ(lf.lfHeight, -MulDiv(11, dpi, 96)) << id;
        RECT area = {};
        GetClientRect(control, &area);
        std::wstring text = win::Wide(GetWindowTextA1251(control));
        win::WindowDC dc(control);
        win::SelectObjectScope select(dc.get(), font);
        RECT need = area;
        DrawTextW(dc.get(), text.c_str(), -1, &need, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        EXPECT_LE(need.bottom - need.top, area.bottom) << id;
        EXPECT_LE(need.right - need.left, area.right) << id;
    }
}

// The same in a process started at 144 DPI.
TEST(AboutBox, ScaledAt144Dpi) {
    if (test::ChildDpi()) GTEST_SKIP() << "the child runs the DPI case itself";
    EXPECT_EQ(test::RunSelfAtDpi(144, "AboutBox.ScaledAtTheScreensDpi"), 0);
}

TEST(AboutBox, ShownModallyWithTheTitleInTheCaptionAndClosedByEsc) {
    std::string caption;
    bool wasOpen = false;
    bool visible = false;
    WhenShown([&] {
        TAbout_Form* box = AboutForm();
        if (!box) return;
        wasOpen = true;
        visible = IsWindowVisible(box->Handle());
        caption = GetWindowTextA1251(box->Handle());
        if (const char* wait = getenv("QUILLAN_ABOUT_SHOT_WAIT")) {
            // Keeps the box up for a screenshot taken from outside.
            DWORD until = GetTickCount() + static_cast<DWORD>(atoi(wait));
            while (static_cast<LONG>(until - GetTickCount()) > 0) {
                win::Application().ProcessMessages();
                Sleep(20);
            }
        }
        PostMessageW(box->Control(idButton1), WM_CHAR, 27, 0);
    });
    ShowAboutBox();
    EXPECT_TRUE(wasOpen);
    EXPECT_TRUE(visible);
    // The executable is about_win_tests.exe: only a to z are upper-cased.
    EXPECT_EQ(caption, "О программе \"ABOUT_WIN_TESTS\"");
    EXPECT_EQ(AboutForm(), nullptr);
}

TEST(AboutBox, EnterAndTheButtonGiveOk) {
    TAbout_Form form;
    WhenShown([&] { PostMessageW(form.Control(idButton1), WM_KEYDOWN, VK_RETURN, 0); });
    EXPECT_EQ(form.ShowModal(), IDOK);
    EXPECT_FALSE(IsWindowVisible(form.Handle()));

    WhenShown([&] { PostMessageW(form.Control(idButton1), WM_CHAR, 27, 0); });
    EXPECT_EQ(form.ShowModal(), IDCANCEL);

    WhenShown([&] { SendMessageW(form.Control(idButton1), BM_CLICK, 0, 0); });
    EXPECT_EQ(form.ShowModal(), IDOK);
}

TEST(AboutBox, OtherWindowsAreDisabledWhileShown) {
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    bool enabledDuring = true;
    WhenShown([&] {
        enabledDuring = IsWindowEnabled(other);
        PostMessageW(AboutForm()->Control(idButton1), WM_CHAR, 27, 0);
    });
    ShowAboutBox();
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(IsWindowEnabled(other));
    DestroyWindow(other);
}

}  // namespace
}  // namespace quillan::about
