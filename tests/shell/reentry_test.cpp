// Requests that arrive inside the shell's nested loops: the hotkey over the open
// template menu, the hotkey and tray clicks during a paste's waits, "Настройки" over
// the open options dialog. The process lives, the pick pastes once what the menu
// showed, and one dialog is open at a time.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "dialogs/options/options_form.h"
#include "engine/paste/keys.h"
#include "framework/core/file_io.h"
#include "tests/shell/form_support.h"

namespace quillan::test {
namespace {

// A window whose WM_APP marks the point a test's posted messages have got to.
class Marker {
public:
    Marker() {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowSubclass(window_, &Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~Marker() {
        RemoveWindowSubclass(window_, &Proc, 1);
        DestroyWindow(window_);
    }
    void Post() { PostMessageW(window_, WM_APP, 0, 0); }
    int seen = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
        if (msg == WM_APP) ++reinterpret_cast<Marker*>(self)->seen;
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    HWND window_ = nullptr;
};

using ReentryTest = FormTest;

// The hotkey again while the menu is up: the menu stays, and Down, Down, Enter
// picks the first template, pasted once.
TEST_F(ReentryTest, HotKeyOverTheOpenTemplateMenuThenThePick) {
    CreateForm();
    Marker marker;
    int menus = 0;
    bool wasInMenu = false;
    bool posted = false;
    bool keysSent = false;
    Ticker ticker(15, [&] {
        const bool inMenu = InMenuMode();
        if (inMenu && !wasInMenu) ++menus;
        wasInMenu = inMenu;
        if (!inMenu || keysSent) return;
        if (!posted) {
            posted = true;
            PostHotKey();
            PostHotKey();
            marker.Post();
            return;
        }
        // Both presses have been handled inside the menu's loop, which is still open.
        if (marker.seen == 0) return;
        keysSent = true;
        Tap(VK_DOWN);
        Tap(VK_DOWN);
        Tap(VK_RETURN);
    });
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return keysSent && !InMenuMode() && target_->Text() == "один"; }, 10000))
        << target_->Text();
    ASSERT_TRUE(PumpUntil([&] { return UserClipboardIsBack(); }));
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(target_->Text(), "один");
    EXPECT_EQ(target_->CountKeys('V'), 1) << "this paste alone: the start-up run sends no key";
    EXPECT_TRUE(errors_.empty());
}

// Items cleared and the list loaded again while the menu is open (as a second press
// would, were it let through): the pick still pastes the template the menu showed.
TEST_F(ReentryTest, ItemsClearedUnderTheOpenMenuStayAliveForThePick) {
    CreateForm();
    bool keysSent = false;
    Ticker ticker(15, [&] {
        if (!InMenuMode() || keysSent) return;
        keysSent = true;
        form_->ClearTemplateMenu();
        WriteHotIni({{"другой", "другой текст", 1, 1}});
        form_->BuildTemplateMenu();
        Tap(VK_DOWN);
        Tap(VK_DOWN);
        Tap(VK_RETURN);
    });
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return keysSent && !InMenuMode() && target_->Text() == "один"; }, 10000))
        << target_->Text();
    EXPECT_TRUE(PumpUntil([&] { return UserClipboardIsBack(); }));
    EXPECT_EQ(form_->Templates().size(), 1u);
    EXPECT_TRUE(errors_.empty());
}

// Once Ctrl+V has arrived the paste waits a second: the hotkey and a tray click
// that come now open nothing, and once the paste is over the hotkey works again.
TEST_F(ReentryTest, HotKeyAndTrayClickDuringThePastesWait) {
    CreateForm();
    Marker marker;
    MenuWatch menus;
    bool posted = false;
    Ticker ticker(15, [&] {
        if (posted || target_->CountKeys('V') < 1) return;
        posted = true;
        PostHotKey();
        PostTrayClick();
        marker.Post();
    });
    TTmpl tmpl;
    tmpl.TemplateText = "три";
    tmpl.PointX = 4;
    tmpl.PointY = 1;
    form_->OnPasteTemplClick(&tmpl);
    ASSERT_TRUE(posted);
    EXPECT_EQ(marker.seen, 1) << "the posted requests were handled inside the wait";
    EXPECT_EQ(menus.opened, 0);
    EXPECT_FALSE(form_->State().Busy(TBusy::Paste));
    EXPECT_EQ(target_->Text(), "три");
    EXPECT_TRUE(UserClipboardIsBack());

    PostHotKey();
    EXPECT_TRUE(PumpUntil([&] { return menus.opened == 1 && !InMenuMode(); }));
    PostTrayClick();
    EXPECT_TRUE(PumpUntil([&] { return menus.opened == 2 && !InMenuMode(); }));
    EXPECT_TRUE(errors_.empty());
}

// The same while the paste waits for the user to let go of Shift: nothing opens, and
// Ctrl+V comes only after the release.
TEST_F(ReentryTest, HotKeyAndTrayClickDuringTheWaitForModifiers) {
    CreateForm();
    const BYTE shiftScan = static_cast<BYTE>(MapVirtualKeyW(VK_SHIFT, 0));
    keybd_event(VK_SHIFT, shiftScan, 0, 0);
    if (!PumpUntil([] { return PasteModifiersDown(); }, 1000)) {
        keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
        GTEST_SKIP() << "this system does not report synthesised Shift through GetAsyncKeyState";
    }
    Marker marker;
    MenuWatch menus;
    bool posted = false;
    bool released = false;
    int pastesBeforeRelease = -1;
    Ticker ticker(15, [&] {
        if (!form_->State().Busy(TBusy::Paste) || released) return;
        if (!posted) {
            posted = true;
            PostHotKey();
            PostTrayClick();
            marker.Post();
            return;
        }
        if (marker.seen == 0) return;
        pastesBeforeRelease = target_->CountKeys('V');
        released = true;
        keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
    });
    TTmpl tmpl;
    tmpl.TemplateText = "четыре";
    tmpl.PointX = 1;
    tmpl.PointY = 1;
    form_->OnPasteTemplClick(&tmpl);
    if (!released) keybd_event(VK_SHIFT, shiftScan, KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(released) << "the paste did not wait for Shift";
    EXPECT_EQ(pastesBeforeRelease, 0) << "Ctrl+V before the release";
    EXPECT_EQ(menus.opened, 0);
    EXPECT_EQ(target_->Text(), "четыре");
    EXPECT_EQ(target_->CountKeys('V'), 1);
    EXPECT_TRUE(UserClipboardIsBack());
    EXPECT_TRUE(errors_.empty());
}

// "Настройки" while the dialog is open, from the tray menu and from the template
// menu: the open dialog comes to the front, no second one opens, no Ctrl+C is sent.
TEST_F(ReentryTest, SettingsTwiceShowsOneDialog) {
    CreateForm();
    int step = 0;
    int most = 0;
    HWND dialog = nullptr;
    HWND frontAfterTray = nullptr;
    HWND frontAfterMenu = nullptr;
    size_t keysAtOpen = 0;
    Ticker ticker(15, [&] {
        most = std::max(most, CountThreadWindows(L"TOptionForm"));
        switch (step) {
            case 0:  // the dialog is up: send the front elsewhere, then "Настройки" from the tray
                if (!(dialog = FindThreadWindow(L"TOptionForm"))) return;
                keysAtOpen = target_->keys.size();
                target_->Focus();
                PostTrayClick();
                step = 1;
                return;
            case 1:  // the tray menu is up: its second item is "Настройки"
                if (!InMenuMode()) return;
                Tap(VK_DOWN);
                Tap(VK_DOWN);
                Tap(VK_RETURN);
                step = 2;
                return;
            case 2:
                if (InMenuMode() || GetForegroundWindow() != dialog) return;
                frontAfterTray = GetForegroundWindow();
                target_->Focus();
                form_->N1Click(*form_->TemplateMenu().FindItemByName("N1"));
                frontAfterMenu = GetForegroundWindow();
                step = 3;
                return;
            case 3:
                step = 4;
                PostMessageW(dialog, WM_CLOSE, 0, 0);
                return;
            default:
                return;
        }
    });
    form_->N2Click(*form_->TrayMenuObject().FindItemByName("N2"));
    EXPECT_EQ(step, 4);
    EXPECT_EQ(most, 1);
    EXPECT_EQ(frontAfterTray, dialog);
    EXPECT_EQ(frontAfterMenu, dialog);
    EXPECT_EQ(target_->CountKeys('C'), 0) << "Ctrl+C sent although no dialog opened";
    EXPECT_FALSE(form_->State().Busy(TBusy::OptionsDialog));
    EXPECT_EQ(CountThreadWindows(L"TOptionForm"), 0);
    (void)keysAtOpen;
    EXPECT_TRUE(errors_.empty()) << errors_.front();
}

}  // namespace
}  // namespace quillan::test

namespace quillan::test {
namespace {

// "Выход" over the open options dialog with an edit in it: the dialog's own box asks;
// "Отмена" keeps the program and the edit, "Да" saves as "ОК" would, then the program ends.
TEST_F(ReentryTest, QuitOverTheDialogAsksBeforeEditsAreLost) {
    CreateForm();
    int step = 0;
    bool quitAfterCancel = true;
    Ticker ticker(15, [&] {
        HWND dialog = FindThreadWindow(L"TOptionForm");
        HWND box = FindThreadWindow(L"#32770");
        switch (step) {
            case 0:  // the dialog is up: add an application, then "Выход"
                if (!dialog || !OpenOptionsDialog()) return;
                SendMessageW(OpenOptionsDialog()->SpeedButton1->Handle(), BM_CLICK, 0, 0);
                step = 1;
                form_->N3Click(*form_->TrayMenuObject().FindItemByName("N3"));  // returns once answered
                MSG m;
                quitAfterCancel = PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE);
                step = 2;
                form_->N3Click(*form_->TrayMenuObject().FindItemByName("N3"));
                step = 4;
                return;
            case 1:  // the box over the dialog: "Отмена"
                if (box) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                return;
            case 2:  // asked again: "Да"
                if (!box) return;
                PostMessageW(box, WM_COMMAND, IDYES, 0);
                step = 3;
                return;
            default:
                return;
        }
    });
    form_->N2Click(*form_->TrayMenuObject().FindItemByName("N2"));
    MSG m;
    bool quit = PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_EQ(step, 4);
    EXPECT_FALSE(quitAfterCancel);
    EXPECT_TRUE(quit);
    EXPECT_NE(ReadFileBytes(dir_.Path() + "hot.ini").find("<Application>Приложение 1</Application>"),
              std::string::npos);
    EXPECT_EQ(CountThreadWindows(L"TOptionForm"), 0);
    EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace quillan::test
