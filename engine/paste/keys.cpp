#include "engine/paste/keys.h"

#include <windows.h>

#include "engine/paste/wait.h"

namespace quillan {
namespace {

constexpr uint8_t kVkV = 0x56;
constexpr uint8_t kVkC = 0x43;
constexpr uint32_t kPollMs = 20;

BYTE ScanCode(uint8_t vk) { return static_cast<BYTE>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)); }

void SendCtrlChord(uint8_t vk) {
    keybd_event(VK_CONTROL, ScanCode(VK_CONTROL), 0, 0);
    keybd_event(vk, ScanCode(vk), 0, 0);
    keybd_event(vk, ScanCode(vk), KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, ScanCode(VK_CONTROL), KEYEVENTF_KEYUP, 0);
}

bool KeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

}  // namespace

void SendPasteKeys() { SendCtrlChord(kVkV); }

void SendCopyKeys() { SendCtrlChord(kVkC); }

void TapKey(uint8_t vk) {
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

void TapCursorKey(uint8_t vk) {
    keybd_event(vk, ScanCode(vk), KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event(vk, ScanCode(vk), KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

bool PasteModifiersDown() { return KeyDown(VK_LWIN) || KeyDown(VK_RWIN) || KeyDown(VK_MENU) || KeyDown(VK_SHIFT); }

namespace {

bool WaitWithMessagesUntil(bool (*done)(), uint32_t maxMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= maxMs) return false;
        WaitWithMessages(kPollMs);
    }
    return true;
}

}  // namespace

bool WaitForModifiersReleased(uint32_t maxMs) {
    return WaitWithMessagesUntil([] { return !PasteModifiersDown(); }, maxMs);
}

bool ForegroundReady() {
    HWND front = GetForegroundWindow();
    if (!front) return false;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(front, nullptr), &info)) return false;
    return info.hwndActive != nullptr && info.hwndFocus != nullptr;
}

bool WaitForForegroundReady(uint32_t maxMs) { return WaitWithMessagesUntil(&ForegroundReady, maxMs); }

}  // namespace quillan
