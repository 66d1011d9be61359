// The main form as the program builds it: the tray menu, the start-up run, the
// options dialog's result, "Переинициализация", and the template file read afresh
// at every hotkey press.
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "framework/clipboard/clipboard_win.h"
#include "tests/shell/form_support.h"

namespace quillan::test {
namespace {

using Captions = std::vector<std::string>;

// The pixels of a menu item's bitmap that are not fully transparent.
int VisiblePixels(HBITMAP bitmap, std::vector<uint32_t>& pixels) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmBitsPixel != 32) return -1;
    pixels.assign(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight), 0);
    std::memcpy(pixels.data(), info.bmBits, pixels.size() * 4);
    int visible = 0;
    for (uint32_t p : pixels) visible += (p >> 24) != 0;
    return visible;
}

TEST_F(FormTest, TrayMenuItemsInOrderWithTheirCaptionsAndImages) {
    CreateForm();
    TPopupMenu& tray = form_->TrayMenuObject();
    struct Expected {
        const char* name;
        const char* caption;
        int image;
    };
    const Expected expected[] = {{"N6", "Переинициализация", 3},
                                 {"N2", "Настройки", 1},
                                 {"N5", "-", -1},
                                 {"N4", "О программе", 0},
                                 {"N3", "Выход", 2}};
    ASSERT_EQ(tray.Items().Count(), 5);
    for (int i = 0; i < 5; ++i) {
        TMenuItem& item = tray.Items().Items(i);
        EXPECT_EQ(item.Name, expected[i].name) << i;
        EXPECT_EQ(item.Caption, expected[i].caption) << i;
        EXPECT_EQ(item.ImageIndex, expected[i].image) << i;
        EXPECT_EQ(static_cast<bool>(item.OnClick), expected[i].image >= 0) << i;
    }
    EXPECT_EQ(form_->TrayIcon().DropDownMenu, &tray);
    // The pictures come when the menu is first built to be shown.
    EXPECT_EQ(tray.Images, nullptr);
    TBuiltMenu built = tray.BuildMenu();
    ASSERT_NE(tray.Images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(tray.Images), 4);

    // As shown: four pictures, each visible and each different from the others.
    ASSERT_EQ(GetMenuItemCount(built.Menu.get()), 5);
    std::vector<std::vector<uint32_t>> pictures;
    for (int position : {0, 1, 3, 4}) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_BITMAP;
        ASSERT_TRUE(GetMenuItemInfoW(built.Menu.get(), static_cast<UINT>(position), TRUE, &info));
        ASSERT_NE(info.hbmpItem, nullptr) << position;
        std::vector<uint32_t> pixels;
        EXPECT_GT(VisiblePixels(info.hbmpItem, pixels), 20) << position;
        for (const auto& other : pictures) EXPECT_NE(pixels, other) << position;
        pictures.push_back(pixels);
    }

    // The template menu starts with its two design-time items only.
    EXPECT_EQ(MenuCaptions(), (Captions{"-", "Настройки"}));
    EXPECT_EQ(form_->TemplateMenu().Items().Items(0).Name, "Paste1");
    EXPECT_EQ(form_->TemplateMenu().Items().Items(1).Name, "N1");
}

// Start-up: hotkey registered and named in the tray hint, no window shown, and the
// program in front left as it was: its selected text stays, no key reaches it, and
// the clipboard is not touched.
TEST_F(FormTest, StartUpLeavesTheProgramInFrontAndTheClipboardAlone) {
    const DWORD sequence = GetClipboardSequenceNumber();
    CreateForm();
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL | MOD_WIN));
    EXPECT_EQ(form_->TrayIcon().Hint(), "Quillan (Ctrl + Win + H)");
    EXPECT_TRUE(form_->TrayIcon().IconShown());
    EXPECT_FALSE(IsWindowVisible(form_->Handle()));
    // A marker key behind anything that might still be on its way.
    Tap(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return target_->CountKeys(VK_F9) == 1; }));
    EXPECT_EQ(target_->keys.size(), 1u) << "a key of the start-up run reached the program in front";
    EXPECT_EQ(target_->Text(), kSelected);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(target_->control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end - start, 8u) << "the selection is gone";
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "the start-up run changed the clipboard";
    EXPECT_TRUE(UserClipboardIsBack());
    EXPECT_TRUE(form_->Templates().empty()) << "nothing is loaded before the first press";
}

// "Настройки" from the template menu copies the selection of the program in front
// before the dialog opens; it is on the clipboard while the dialog is open, and the
// user's own clipboard, every format, is back once it closes. From the tray nothing
// is copied.
TEST_F(FormTest, SettingsFromTheTemplateMenuCopiesFirstAndGivesTheClipboardBack) {
    CreateForm();
    SetWindowTextW(target_->control, L"\x0442\x0435\x043A\x0441\x0442");  // "текст"
    SendMessageW(target_->control, EM_SETSEL, 0, -1);
    size_t keysBefore = target_->keys.size();
    int opened = 0;
    bool focusFlag = false;
    std::string clipboardInDialog;
    form_->RunOptionsDialog = [&](bool focusCurrentApp, const std::string&, const TSetTrayHint&) {
        ++opened;
        focusFlag = focusCurrentApp;
        clipboardInDialog = ClipboardText();
        return IDCANCEL;
    };
    form_->N1Click(*form_->TemplateMenu().FindItemByName("N1"));
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(focusFlag);
    EXPECT_TRUE(FocusCurrentApp);
    EXPECT_EQ(clipboardInDialog, "текст") << "the selection was not copied before the dialog opened";
    // Whatever the copy sent has arrived by the marker key.
    Tap(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return target_->CountKeys(VK_F9) == 1; }));
    EXPECT_EQ(target_->CountKeys('C'), 1);
    EXPECT_TRUE(UserClipboardIsBack()) << ClipboardText();

    keysBefore = target_->keys.size();
    bool keysWaiting = false;
    form_->RunOptionsDialog = [&](bool focusCurrentApp, const std::string&, const TSetTrayHint&) {
        ++opened;
        focusFlag = focusCurrentApp;
        keysWaiting = HIWORD(GetQueueStatus(QS_KEY)) != 0;
        return IDCANCEL;
    };
    form_->N2Click(*form_->TrayMenuObject().FindItemByName("N2"));
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(focusFlag);
    EXPECT_FALSE(FocusCurrentApp);
    EXPECT_FALSE(keysWaiting);
    // A marker key behind anything that might still be on its way.
    Tap(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return target_->CountKeys(VK_F9) == 2; }));
    for (size_t i = keysBefore; i < target_->keys.size(); ++i) EXPECT_EQ(target_->keys[i].vk, VK_F9);
    EXPECT_TRUE(UserClipboardIsBack());
}

// "Настройки" copies with the chord that goes with the program's paste: a terminal that
// pastes on Shift+Insert gets Ctrl+Insert (its Ctrl+C would interrupt what runs in it), a
// virtual-machine window that is typed into gets no key at all and the clipboard is left
// alone. The edit control stands in for both programs: it copies on Ctrl+Insert as well.
TEST_F(FormTest, SettingsCopiesWithTheChordOfTheProgramsPasteMethod) {
    CreateForm();
    const std::string app = CurrentApp;
    SetWindowTextW(target_->control, L"\x0442\x0435\x043A\x0441\x0442");  // "текст"
    std::string clipboardInDialog;
    form_->RunOptionsDialog = [&](bool, const std::string&, const TSetTrayHint&) {
        clipboardInDialog = ClipboardText();
        return IDCANCEL;
    };

    CurrentApp = "mintty.exe";  // Shift+Insert by the built-in table
    SendMessageW(target_->control, EM_SETSEL, 0, -1);
    size_t before = target_->keys.size();
    form_->N1Click(*form_->TemplateMenu().FindItemByName("N1"));
    Tap(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return target_->CountKeys(VK_F9) == 1; }));
    EXPECT_EQ(clipboardInDialog, "текст") << "the selection was not copied";
    int insertWithCtrl = 0;
    for (size_t i = before; i < target_->keys.size(); ++i) {
        const auto& key = target_->keys[i];
        EXPECT_NE(key.vk, static_cast<WPARAM>('C')) << "Ctrl+C reached a terminal";
        if (key.vk == VK_INSERT && key.ctrlDown && !key.shiftDown) ++insertWithCtrl;
    }
    EXPECT_EQ(insertWithCtrl, 1);
    EXPECT_TRUE(UserClipboardIsBack()) << ClipboardText();

    CurrentApp = "vmconnect.exe";  // typing by the built-in table
    SendMessageW(target_->control, EM_SETSEL, 0, -1);
    before = target_->keys.size();
    const DWORD sequence = GetClipboardSequenceNumber();
    form_->N1Click(*form_->TemplateMenu().FindItemByName("N1"));
    Tap(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return target_->CountKeys(VK_F9) == 2; }));
    for (size_t i = before; i < target_->keys.size(); ++i) EXPECT_EQ(target_->keys[i].vk, VK_F9);
    EXPECT_EQ(clipboardInDialog, kUserText);
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << "the clipboard was touched";
    CurrentApp = app;
}

// What the user copies while the dialog is open stays; a paste made over the open
// dialog still lets the user's clipboard come back when the dialog closes.
TEST_F(FormTest, SettingsFromTheTemplateMenuKeepsWhatTheUserCopiesInTheDialog) {
    CreateForm();
    SetWindowTextW(target_->control, L"\x0442\x0435\x043A\x0441\x0442");  // "текст"
    SendMessageW(target_->control, EM_SETSEL, 0, -1);
    form_->RunOptionsDialog = [&](bool, const std::string&, const TSetTrayHint&) {
        win::Clipboard().SetTextBuf("из диалога");
        return IDCANCEL;
    };
    form_->N1Click(*form_->TemplateMenu().FindItemByName("N1"));
    EXPECT_EQ(ClipboardText(), "из диалога");

    PutUserClipboard(kUserText, kUserFormat, kUserBytes);
    SendMessageW(target_->control, EM_SETSEL, 0, -1);
    std::string afterPaste;
    form_->RunOptionsDialog = [&](bool, const std::string&, const TSetTrayHint&) {
        TTmpl tmpl;
        tmpl.TemplateText = "шаблон";
        form_->OnPasteTemplClick(&tmpl);
        afterPaste = ClipboardText();
        return IDCANCEL;
    };
    form_->N1Click(*form_->TemplateMenu().FindItemByName("N1"));
    EXPECT_EQ(afterPaste, "текст") << "the paste gives back what it found: the selection";
    EXPECT_EQ(target_->Text(), "шаблон");
    EXPECT_TRUE(UserClipboardIsBack()) << ClipboardText();
    EXPECT_TRUE(errors_.empty());
}

TEST_F(FormTest, CancelChangesNothingOkRebuildsTheMenuAndRegistersTheHotKey) {
    CreateForm();
    // The dialog stores "Shift + Win + H" as it would, then is cancelled.
    form_->RunOptionsDialog = [&](bool, const std::string&, const TSetTrayHint&) {
        StoreSetting("cbHot_ItemIndex", "1");
        return IDCANCEL;
    };
    form_->N2Click(*form_->TrayMenuObject().FindItemByName("N2"));
    EXPECT_EQ(MenuCaptions(), (Captions{"-", "Настройки"}));
    EXPECT_TRUE(form_->Templates().empty());
    EXPECT_EQ(form_->TrayIcon().Hint(), "Quillan (Ctrl + Win + H)");
    EXPECT_TRUE(HotKeyFree(MOD_SHIFT | MOD_WIN));

    // Confirmed: the dialog's own hint goes to the tray, then the registration renews it.
    std::string hintFromDialog;
    form_->RunOptionsDialog = [&](bool, const std::string&, const TSetTrayHint& setTrayHint) {
        setTrayHint("Quillan (из диалога)");
        hintFromDialog = form_->TrayIcon().Hint();
        return IDOK;
    };
    form_->N2Click(*form_->TrayMenuObject().FindItemByName("N2"));
    EXPECT_EQ(hintFromDialog, "Quillan (из диалога)");
    const std::string app = CurrentApp;
    EXPECT_EQ(MenuCaptions(), (Captions{app, "-", "0\tпервый", "1\tвторой", "-", "Настройки"}));
    EXPECT_EQ(form_->Templates().size(), 2u);
    EXPECT_EQ(form_->TrayIcon().Hint(), "Quillan (Shift + Win + H)");
    EXPECT_FALSE(HotKeyFree(MOD_SHIFT | MOD_WIN));
}

TEST_F(FormTest, ReinitialisationRegistersTheStoredChoiceAndRenamesTheHint) {
    CreateForm();
    StoreSetting("cbHot_ItemIndex", "2");
    form_->N6Click(*form_->TrayMenuObject().FindItemByName("N6"));
    EXPECT_EQ(form_->TrayIcon().Hint(), "Quillan (Alt + Win + H)");
    EXPECT_FALSE(HotKeyFree(MOD_ALT | MOD_WIN));
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL | MOD_WIN));
    EXPECT_TRUE(form_->Templates().empty()) << "the templates are not reloaded";
}

TEST_F(FormTest, EveryPressReadsHotIniAfresh) {
    CreateForm();
    std::vector<Captions> shown;
    Ticker record(15, [&] {
        if (!InMenuMode()) return;
        shown.push_back(MenuCaptions());
        EndMenu();
    });
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return shown.size() == 1 && !InMenuMode(); }));
    WriteHotIni({{"новый", "new", 1, 1}, {"первый", "один", 5, 1}, {"второй", "два", 4, 1}});
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return shown.size() == 2 && !InMenuMode(); }));
    const std::string app = CurrentApp;
    EXPECT_EQ(shown[0], (Captions{app, "-", "0\tпервый", "1\tвторой", "-", "Настройки"}));
    EXPECT_EQ(shown[1], (Captions{app, "-", "0\tновый", "1\tпервый", "2\tвторой", "-", "Настройки"}));
    EXPECT_EQ(form_->Templates().size(), 3u);
    EXPECT_TRUE(errors_.empty());
}

TEST_F(FormTest, AFailingLoadShowsItsProblemInTheMenuAndKeepsThePreviousList) {
    CreateForm();
    MenuWatch menus;
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return menus.opened == 1 && !InMenuMode(); }));
    ASSERT_EQ(form_->Templates().size(), 2u);

    std::filesystem::remove(dir_.Native() / "hot.ini");
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return errors_.size() == 1; }));
    EXPECT_NE(errors_[0].find("hot.ini"), std::string::npos) << errors_[0];

    {
        std::ofstream bad(dir_.Native() / "hot.ini", std::ios::binary);
        bad << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT><Templates><Template>";
    }
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return errors_.size() == 2 && menus.opened == 3 && !InMenuMode(); }));
    EXPECT_EQ(form_->Templates().size(), 2u);
    EXPECT_EQ(form_->Templates()[0]->MenuCaption, "первый");
    // No template is offered: the problem stands where they would, "Настройки" below it.
    Captions captions = MenuCaptions();
    ASSERT_GE(captions.size(), 5u);
    EXPECT_EQ(captions[2], "Файл шаблонов «" + dir_.Path() + "hot.ini» не удалось прочитать:");
    EXPECT_EQ(captions[3].rfind("строка 2, символ ", 0), 0u) << captions[3];
    EXPECT_EQ(captions.back(), "Настройки");
    EXPECT_FALSE(form_->TemplateMenu().Items().Items(2).Enabled);
}

}  // namespace
}  // namespace quillan::test

namespace quillan::test {
namespace {

// The group of the program in front names its method: the pick from the menu types
// the template, and the clipboard stays the user's, untouched.
TEST_F(FormTest, PickTakesTheMethodOfTheProgramInFront) {
    CreateForm();
    MenuWatch menus;
    PostHotKey();  // the first build names the program in front
    ASSERT_TRUE(PumpUntil([&] { return menus.opened == 1 && !InMenuMode(); }));
    const std::string app = CurrentApp;
    ASSERT_FALSE(app.empty());
    std::ofstream(dir_.Native() / "hot.ini", std::ios::binary | std::ios::trunc)
        << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n <Templates>\r\n  <Application>" + app +
               "</Application>\r\n  <PasteKeys>Type</PasteKeys>\r\n   <Template>\r\n    <MenuCaption>т</MenuCaption>"
               "\r\n    <TemplateText>набрано</TemplateText>\r\n    <PointX>8</PointX>\r\n    <PointY>1</PointY>\r\n"
               "   </Template>\r\n </Templates>\r\n</HOT>\r\n";
    PostHotKey();
    ASSERT_TRUE(PumpUntil([&] { return menus.opened == 2 && !InMenuMode(); }));
    ASSERT_EQ(form_->Templates().size(), 1u);
    const size_t chordsBefore = static_cast<size_t>(target_->CountKeys('V'));
    const DWORD sequence = GetClipboardSequenceNumber();
    form_->OnPasteTemplClick(form_->Templates()[0].get());
    EXPECT_TRUE(PumpUntil([&] { return target_->Text() == "набрано"; })) << target_->Text();
    EXPECT_EQ(static_cast<size_t>(target_->CountKeys('V')), chordsBefore) << "Ctrl+V sent";
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_TRUE(UserClipboardIsBack());
    EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace quillan::test
