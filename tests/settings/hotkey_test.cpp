// The global hotkey: registered from the stored choice, delivered as WM_HOTKEY
// by synthesised key presses.
#include <windows.h>

#include <vector>

#include "engine/settings/hotkey_win.h"
#include "framework/registry/registry_win.h"
#include "tests/support/scratch_registry.h"

namespace quillan {
namespace {

std::vector<WPARAM> g_hotkeys;

LRESULT CALLBACK RecordHotKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HOTKEY) g_hotkeys.push_back(wParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class HotKeyTest : public test::ScratchRegistryTest {
protected:
    void SetUp() override {
        ScratchRegistryTest::SetUp();
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecordHotKeys;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuillanHotKeyTest";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, L"QuillanHotKeyTest", L"hotkey", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  wc.hInstance, nullptr);
        ASSERT_NE(window_, nullptr);
        g_hotkeys.clear();
    }
    void TearDown() override {
        DestroyWindow(window_);
        ScratchRegistryTest::TearDown();
    }

    void StoreChoice(const char* text) {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey("\\Software\\settings_registry_tests\\TOptionForm", true));
        registry.WriteString("cbHot_ItemIndex", text);
    }

    // Dispatches messages until a hotkey arrived or the deadline passed.
    static void PumpUntilHotKey(DWORD milliseconds) {
        DWORD start = GetTickCount();
        while (g_hotkeys.empty() && GetTickCount() - start < milliseconds) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }

    // True when nobody holds the combination (a second registration succeeds).
    bool IsFree(UINT modifiers) {
        if (!RegisterHotKey(window_, 0x7777, modifiers, 'H')) return false;
        UnregisterHotKey(window_, 0x7777);
        return true;
    }

    HWND window_ = nullptr;
};

TEST_F(HotKeyTest, CtrlWinHArrivesWithOurId) {
    int id = 0;
    std::string hint;
    RegisterAppHotKey(window_, id, [&](const std::string& h) { hint = h; });
    EXPECT_GE(id, 0xC000);  // a string atom
    EXPECT_EQ(hint, "Quillan (Ctrl + Win + H)");
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_WIN));

    keybd_event(VK_CONTROL, 0, 0, 0);
    keybd_event(VK_LWIN, 0, 0, 0);
    keybd_event('H', 0, 0, 0);
    keybd_event('H', 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_LWIN, 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    PumpUntilHotKey(5000);
    ASSERT_EQ(g_hotkeys.size(), 1u);
    EXPECT_TRUE(IsOurHotKey(g_hotkeys[0], id));
    EXPECT_FALSE(IsOurHotKey(g_hotkeys[0] + 1, id));
    EXPECT_FALSE(IsOurHotKey(static_cast<WPARAM>(IDHOT_SNAPDESKTOP), id));

    UnregisterAppHotKey(window_, id);
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_WIN));
}

TEST_F(HotKeyTest, ChoiceSelectsTheCombinationAndKeepsTheId) {
    StoreChoice("1");
    int first = 0, second = 0;
    std::string hint;
    RegisterAppHotKey(window_, first, [&](const std::string& h) { hint = h; });
    EXPECT_EQ(hint, "Quillan (Shift + Win + H)");
    EXPECT_FALSE(IsFree(MOD_SHIFT | MOD_WIN));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_WIN));
    // Registering again without unregistering gives the same atom id.
    StoreChoice("2");
    RegisterAppHotKey(window_, second, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_FALSE(IsFree(MOD_ALT | MOD_WIN));
    UnregisterAppHotKey(window_, second);
    EXPECT_TRUE(IsFree(MOD_ALT | MOD_WIN));
}

TEST_F(HotKeyTest, IndexOutOfRangeRegistersNothing) {
    StoreChoice("7");
    int id = 0;
    std::string hint;
    RegisterAppHotKey(window_, id, [&](const std::string& h) { hint = h; });
    EXPECT_EQ(hint, "Quillan");
    for (UINT modifiers : {MOD_CONTROL | MOD_WIN, MOD_SHIFT | MOD_WIN, MOD_ALT | MOD_WIN})
        EXPECT_TRUE(IsFree(modifiers)) << modifiers;
}

}  // namespace
}  // namespace quillan
