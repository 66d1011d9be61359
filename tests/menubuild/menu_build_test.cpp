// The template menu built for a program in front, checked on the item model and
// on the HMENU it turns into; the foreground program's name; the popup at the cursor.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <type_traits>

#include "engine/menu/foreground.h"
#include "engine/menu/menu_build.h"
#include "engine/menu/popup_win.h"
#include "framework/core/file_io.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

class MenuBuildTest : public ::testing::Test {
protected:
    void SetUp() override {
        menu_.Items().Add(std::make_unique<TMenuItem>("-", "Paste1"));
        menu_.Items().Add(std::make_unique<TMenuItem>("Настройки", "N1"));
    }
    void AddTemplate(const std::string& application, const std::string& caption) {
        auto t = std::make_unique<TTmpl>();
        t->Application = application;
        t->MenuCaption = caption;
        list_.push_back(std::move(t));
    }
    void Build(const std::string& foreground) {
        BuildTemplateMenu(menu_, list_, currentApp_, foreground, [this](TMenuItem& item, const TTmpl& tmpl) {
            clicked_ = &item;
            clickedCaption_ = tmpl.MenuCaption;
            clickedText_ = tmpl.TemplateText;
            clickedX_ = tmpl.PointX;
        });
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < menu_.Items().Count(); ++i) out.push_back(menu_.Items().Items(i).Caption);
        return out;
    }

    TPopupMenu menu_;
    TTemplateList list_;
    std::string currentApp_ = "left over";
    TMenuItem* clicked_ = nullptr;
    std::string clickedCaption_;
    std::string clickedText_;
    int32_t clickedX_ = 0;
};

TEST_F(MenuBuildTest, OfferedTemplatesInFileOrderUnderTheBoldProgramName) {
    AddTemplate("word.exe", "zero");
    AddTemplate("NotePad.EXE", "one");
    AddTemplate("общие", "two");
    AddTemplate("Общие", "three");
    AddTemplate("", "four");
    Build("NOTEPAD.exe");
    EXPECT_EQ(currentApp_, "notepad.exe");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"notepad.exe", "-", "1\tone", "3\tthree", "-", "Настройки"}));
    TMenuItem& one = menu_.Items().Items(2);
    TMenuItem& three = menu_.Items().Items(3);
    EXPECT_EQ(one.Tag, 1);
    EXPECT_EQ(three.Tag, 3);
    EXPECT_EQ(list_[1]->MenuItem, &one);
    EXPECT_EQ(list_[3]->MenuItem, &three);
    EXPECT_EQ(list_[0]->MenuItem, nullptr);
    EXPECT_TRUE(menu_.Items().Items(0).Default);
    EXPECT_FALSE(menu_.Items().Items(0).OnClick);
    EXPECT_EQ(menu_.Items().Items(4).Name, "Paste1");
    EXPECT_EQ(menu_.Items().Items(5).Name, "N1");
    three.Click();
    EXPECT_EQ(clicked_, &three);
    EXPECT_EQ(clickedCaption_, "three");

    TBuiltMenu built = menu_.BuildMenu();
    HMENU h = built.Menu.get();
    ASSERT_EQ(GetMenuItemCount(h), 6);
    EXPECT_EQ(GetMenuDefaultItem(h, TRUE, 0), 0u);
    wchar_t text[64] = {};
    GetMenuStringW(h, 2, text, 64, MF_BYPOSITION);
    EXPECT_EQ(win::Narrow(text), "1\tone");
    for (UINT separator : {1u, 4u}) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        ASSERT_TRUE(GetMenuItemInfoW(h, separator, TRUE, &info));
        EXPECT_TRUE(info.fType & MFT_SEPARATOR) << separator;
    }
}

TEST_F(MenuBuildTest, NothingOfferedLeavesNameSeparatorAndFixedItems) {
    AddTemplate("word.exe", "zero");
    Build("");
    EXPECT_EQ(currentApp_, "");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"", "-", "-", "Настройки"}));
    EXPECT_TRUE(menu_.Items().Items(0).Default);
}

TEST_F(MenuBuildTest, ClearRemovesTheItemsOfEveryBuild) {
    AddTemplate("Общие", "common");
    Build("a.exe");
    Build("b.exe");  // after the options dialog: built again without a removal
    EXPECT_EQ(menu_.Items().Count(), 2 + 3 + 3);
    ClearTemplateMenu(menu_);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"-", "Настройки"}));
    EXPECT_NE(menu_.FindItemByName("N1"), nullptr);
    Build("c.exe");
    EXPECT_EQ(Captions(), (std::vector<std::string>{"c.exe", "-", "0\tcommon", "-", "Настройки"}));
}

// The list is loaded again (its records freed) while the menu is open: the pick
// still hands over the record the menu showed.
TEST_F(MenuBuildTest, AnItemKeepsItsOwnCopyOfTheRecord) {
    AddTemplate("Общие", "shown");
    list_[0]->TemplateText = "text shown";
    list_[0]->PointX = 3;
    Build("a.exe");
    TMenuItem& item = menu_.Items().Items(2);
    list_.clear();
    AddTemplate("Общие", "loaded later");
    item.Click();
    EXPECT_EQ(clicked_, &item);
    EXPECT_EQ(clickedCaption_, "shown");
    EXPECT_EQ(clickedText_, "text shown");
    EXPECT_EQ(clickedX_, 3);
}

// A top-level window destroyed on every way out of a test, a skip or a failed assertion included,
// so that no visible window is left to take the front from the next test.
struct TWindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using TTopWindow = std::unique_ptr<std::remove_pointer_t<HWND>, TWindowDestroyer>;

TTopWindow TopWindow(const wchar_t* caption, int x) {
    return TTopWindow(CreateWindowExW(0, L"STATIC", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 50, 200, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
}

TEST(ForegroundApp, NamesTheExecutableOfTheWindowsThread) {
    std::string exe = ExtractFileName(win::ModuleFileName());
    EXPECT_EQ(GetThreadProcessId(GetCurrentThreadId()), GetCurrentProcessId());
    EXPECT_EQ(GetThreadProcessId(0xFFFFFFF0u), 0u);
    EXPECT_EQ(GetProcessExeName(0xFFFFFFF0u), "");
    EXPECT_EQ(GetProcessExeName(GetCurrentThreadId()), exe);

    TTopWindow window = TopWindow(L"front", 50);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window.get());
    EXPECT_EQ(GetWindowAppName(window.get()), exe);
    if (GetForegroundWindow() != window.get()) {
        GTEST_SKIP() << "the window could not be brought to the front on this display";
    }
    EXPECT_EQ(GetForegroundAppName(), exe);
}

HWND g_foregroundDuringMenu = nullptr;

// Runs inside the menu's message loop: notes who is in front, picks the first item.
void CALLBACK ChooseFirst(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_foregroundDuringMenu = GetForegroundWindow();
    for (BYTE key : {static_cast<BYTE>(VK_DOWN), static_cast<BYTE>(VK_RETURN)}) {
        keybd_event(key, 0, 0, 0);
        keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    }
}

TEST(PopupAtCursor, ProgramInFrontIsBackBeforeTheClick) {
    TTopWindow programWindow = TopWindow(L"program", 50);
    TTopWindow ownerWindow = TopWindow(L"owner", 400);
    HWND program = programWindow.get();
    HWND owner = ownerWindow.get();
    ASSERT_TRUE(program && owner);
    SetForegroundWindow(program);
    if (GetForegroundWindow() != program) GTEST_SKIP() << "windows cannot be brought to the front on this display";
    SetCursorPos(300, 300);
    TPopupMenu menu;
    HWND frontAtClick = nullptr;
    TMenuItem& item = menu.Items().Add(std::make_unique<TMenuItem>("0\tpaste"));
    item.OnClick = [&](TMenuItem&) { frontAtClick = GetForegroundWindow(); };
    SetTimer(nullptr, 0, 200, ChooseFirst);
    EXPECT_EQ(PopupAtCursor(menu, owner), &item);
    EXPECT_EQ(g_foregroundDuringMenu, owner);
    EXPECT_EQ(frontAtClick, program);
}

// Sent from inside the menu's loop: A (the letter after "&" in "Q&A" and in the
// program's name), then Z, the access key of a control item.
void CALLBACK PressAThenZ(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    for (BYTE key : {BYTE{'A'}, BYTE{'Z'}}) {
        keybd_event(key, 0, 0, 0);
        keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    }
}

// A caption reads as the user typed it, "&" and all: the menu takes no letter of it
// for an access key, so A in the open menu picks nothing and Z reaches the control.
TEST_F(MenuBuildTest, AmpersandsInCaptionsAreShownAsTyped) {
    TMenuItem& control = menu_.Items().Add(std::make_unique<TMenuItem>("&Zeta", "NZ"));
    AddTemplate("Общие", "Q&A");
    Build("AT&A.exe");
    EXPECT_EQ(currentApp_, "at&a.exe");
    TTopWindow ownerWindow = TopWindow(L"owner", 400);
    HWND owner = ownerWindow.get();
    ASSERT_NE(owner, nullptr);
    SetForegroundWindow(owner);
    if (GetForegroundWindow() != owner) GTEST_SKIP() << "windows cannot be brought to the front on this display";

    TBuiltMenu built = menu_.BuildMenu();
    wchar_t text[64] = {};
    const int position = menu_.Items().IndexOf(list_[0]->MenuItem);
    ASSERT_GE(position, 0);
    GetMenuStringW(built.Menu.get(), static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    // What the menu draws: the system's own prefix rule, applied to the item's string.
    HDC dc = GetDC(owner);
    RECT shown = {}, typed = {};
    std::wstring caption = text;
    std::wstring asTyped = L"Q&A";
    caption = caption.substr(caption.find(L'\t') + 1);
    DrawTextW(dc, caption.c_str(), -1, &shown, DT_CALCRECT | DT_SINGLELINE);
    DrawTextW(dc, asTyped.c_str(), -1, &typed, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ReleaseDC(owner, dc);
    EXPECT_EQ(shown.right - shown.left, typed.right - typed.left) << "the item does not read Q&A";

    SetTimer(nullptr, 0, 200, PressAThenZ);
    TMenuItem* chosen = menu_.TrackPopup(100, 100, owner);
    EXPECT_EQ(chosen, &control) << (chosen ? chosen->Caption : std::string("nothing")) << " was picked";
}

}  // namespace
}  // namespace quillan
