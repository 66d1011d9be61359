// The menu item tree, the HMENU built from it, item images and a real popup
// driven by synthesised keys.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/core/exceptions.h"
#include "framework/menus/menus_win.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

std::unique_ptr<TMenuItem> Item(const std::string& caption, const std::string& name = {}) {
    return std::make_unique<TMenuItem>(caption, name);
}

std::string MenuText(HMENU menu, UINT position) {
    wchar_t buffer[256] = {};
    GetMenuStringW(menu, position, buffer, 256, MF_BYPOSITION);
    return win::Narrow(buffer);
}

MENUITEMINFOW ItemInfo(HMENU menu, UINT position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_BITMAP;
    EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info));
    return info;
}

TEST(MenuItem, InsertRemoveDeleteKeepOrderAndParent) {
    TMenuItem root;
    root.Add(Item("a"));
    root.Add(Item("c"));
    TMenuItem& b = root.Insert(1, Item("b"));
    EXPECT_EQ(b.Parent(), &root);
    ASSERT_EQ(root.Count(), 3);
    EXPECT_EQ(root.Items(0).Caption, "a");
    EXPECT_EQ(root.Items(1).Caption, "b");
    EXPECT_EQ(root.Items(2).Caption, "c");
    EXPECT_EQ(root.IndexOf(&b), 1);

    std::unique_ptr<TMenuItem> taken = root.Remove(&b);
    ASSERT_EQ(taken.get(), &b);
    EXPECT_EQ(taken->Parent(), nullptr);
    EXPECT_EQ(root.Remove(taken.get()), nullptr);
    root.Delete(0);
    ASSERT_EQ(root.Count(), 1);
    EXPECT_EQ(root.Items(0).Caption, "c");
}

TEST(MenuItem, BadIndexesRaiseAndFindSearchesDepthFirst) {
    TMenuItem root;
    EXPECT_THROW(root.Insert(1, Item("x")), EListError);
    EXPECT_THROW(root.Items(0), EListError);
    EXPECT_THROW(root.Delete(-1), EListError);
    TMenuItem& sub = root.Add(Item("sub", "N7"));
    TMenuItem& leaf = sub.Add(Item("leaf", "N8"));
    root.Add(Item("run-time"));
    TPopupMenu menu;
    EXPECT_EQ(menu.FindItemByName("N8"), nullptr);
    EXPECT_EQ(root.Find("N8"), &leaf);
    EXPECT_EQ(root.Find("N7"), &sub);
    EXPECT_EQ(root.Find(""), nullptr);  // run-time items have no name to find
}

TEST(MenuItem, ClickHandsExceptionsToTheApplication) {
    std::string reported;
    auto saved = win::Application().OnException;
    win::Application().OnException = [&](const std::exception& e) { reported = e.what(); };
    TMenuItem item("x");
    item.OnClick = [](TMenuItem&) { throw EConvertError("bad click"); };
    EXPECT_NO_THROW(item.Click());
    win::Application().OnException = saved;
    EXPECT_EQ(reported, "bad click");
}

TEST(PopupMenu, BuiltMenuCarriesCaptionsStatesAndCommands) {
    TPopupMenu menu;
    TMenuItem& bold = menu.Items().Add(Item("notepad.exe"));
    bold.Default = true;
    menu.Items().Add(Item("-"));
    menu.Items().Add(Item("3\tПривет"));
    menu.Items().Add(Item("off")).Enabled = false;
    TMenuItem& sub = menu.Items().Add(Item("Ещё"));
    TMenuItem& inner = sub.Add(Item("inner"));

    TBuiltMenu built = menu.BuildMenu();
    HMENU h = built.Menu.get();
    ASSERT_EQ(GetMenuItemCount(h), 5);
    EXPECT_EQ(GetMenuDefaultItem(h, TRUE, 0), 0u);
    EXPECT_TRUE(ItemInfo(h, 1).fType & MFT_SEPARATOR);
    EXPECT_EQ(MenuText(h, 2), "3\tПривет");
    EXPECT_TRUE(ItemInfo(h, 3).fState & MFS_DISABLED);
    HMENU subMenu = ItemInfo(h, 4).hSubMenu;
    ASSERT_NE(subMenu, nullptr);
    EXPECT_EQ(MenuText(subMenu, 0), "inner");
    EXPECT_EQ(built.ItemOfCommand(ItemInfo(h, 2).wID), &menu.Items().Items(2));
    EXPECT_EQ(built.ItemOfCommand(ItemInfo(subMenu, 0).wID), &inner);
    EXPECT_EQ(built.ItemOfCommand(0), nullptr);
    EXPECT_EQ(built.ItemOfCommand(99), nullptr);
}

// One 16x16 image: opaque red, with its left half masked out (transparent).
HIMAGELIST HalfRedImageList() {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 0);
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateCompatibleBitmap(screen, 16, 16);
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, colour);
    RECT all{0, 0, 16, 16};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    SelectObject(dc, mask);
    RECT left{0, 0, 8, 16}, right{8, 0, 16, 16};
    FillRect(dc, &left, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));   // 1 = transparent
    FillRect(dc, &right, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));  // 0 = opaque
    SelectObject(dc, old);
    ImageList_Add(list, colour, mask);
    DeleteObject(red);
    DeleteDC(dc);
    DeleteObject(colour);
    DeleteObject(mask);
    ReleaseDC(nullptr, screen);
    return list;
}

TEST(PopupMenu, ItemImageBecomesPremultipliedBitmap) {
    HIMAGELIST images = HalfRedImageList();
    TPopupMenu menu;
    menu.Images = images;
    menu.Items().Add(Item("with image")).ImageIndex = 0;
    menu.Items().Add(Item("index out of range")).ImageIndex = 5;
    TBuiltMenu built = menu.BuildMenu();
    EXPECT_EQ(ItemInfo(built.Menu.get(), 1).hbmpItem, nullptr);
    HBITMAP bitmap = ItemInfo(built.Menu.get(), 0).hbmpItem;
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
    int size = dib.dsBm.bmWidth;
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(size, GetSystemMetrics(SM_CXSMICON));
    const auto* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
    size_t middleRow = static_cast<size_t>(size / 2) * static_cast<size_t>(size);
    EXPECT_EQ(bits[middleRow + 1], 0x00000000u);                              // masked: transparent
    EXPECT_EQ(bits[middleRow + static_cast<size_t>(size) - 2], 0xFFFF0000u);  // opaque red
    ImageList_Destroy(images);
}

class TTestWindow {
public:
    TTestWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuillanMenuTest";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, L"QuillanMenuTest", L"menu owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
                               200, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~TTestWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
};

void PressKey(BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

// Runs inside the menu's own message loop: picks the second item.
void CALLBACK ChooseSecond(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
}

void CALLBACK Dismiss(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PressKey(VK_ESCAPE);
}

TEST(PopupMenu, ClickRunsAfterTheMenuHasClosed) {
    TTestWindow owner;
    ASSERT_NE(owner.hwnd, nullptr);
    SetForegroundWindow(owner.hwnd);
    TPopupMenu menu;
    int firstClicks = 0;
    bool clicked = false;
    bool menuOpenDuringClick = true;
    menu.Items().Add(Item("first")).OnClick = [&](TMenuItem&) { ++firstClicks; };
    TMenuItem& second = menu.Items().Add(Item("second"));
    second.OnClick = [&](TMenuItem&) {
        clicked = true;
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetCurrentThreadId(), &info);
        menuOpenDuringClick = (info.flags & GUI_INMENUMODE) != 0;
    };
    SetTimer(nullptr, 0, 200, ChooseSecond);
    TMenuItem* chosen = menu.Popup(120, 120, owner.hwnd);
    ASSERT_EQ(chosen, &second);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(menuOpenDuringClick);
    EXPECT_EQ(firstClicks, 0);

    SetTimer(nullptr, 0, 200, Dismiss);
    EXPECT_EQ(menu.Popup(120, 120, owner.hwnd), nullptr);
    EXPECT_EQ(firstClicks, 0);
}

}  // namespace
}  // namespace quillan
