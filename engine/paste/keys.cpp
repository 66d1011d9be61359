#include "engine/paste/keys.h"

#include <windows.h>

#include <vector>

#include "engine/paste/wait.h"

namespace quillan {
namespace {

constexpr uint8_t kVkV = 0x56;
constexpr uint8_t kVkC = 0x43;
constexpr uint32_t kPollMs = 20;

WORD ScanCode(uint8_t vk) { return static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)); }

INPUT KeyInput(uint8_t vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = ScanCode(vk);
    input.ki.dwFlags = flags;
    return input;
}

UINT Send(std::vector<INPUT>& inputs) {
    if (inputs.empty()) return 0;
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SendCtrlChord(uint8_t vk) {
    std::vector<INPUT> chord = {KeyInput(VK_CONTROL, 0), KeyInput(vk, 0), KeyInput(vk, KEYEVENTF_KEYUP),
                                KeyInput(VK_CONTROL, KEYEVENTF_KEYUP)};
    UINT sent = Send(chord);
    // A chord cut short would leave Ctrl down for the user's next keys.
    if (sent > 0 && sent < chord.size()) {
        std::vector<INPUT> release = {KeyInput(VK_CONTROL, KEYEVENTF_KEYUP)};
        Send(release);
    }
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
    keybd_event(vk, static_cast<BYTE>(ScanCode(vk)), KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event(vk, static_cast<BYTE>(ScanCode(vk)), KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

uint64_t SendCursorPresses(uint8_t vk, uint64_t count) {
    uint64_t sent = 0;
    std::vector<INPUT> batch;
    while (count > 0) {
        const uint64_t n = count < kMaxKeysPerBatch ? count : kMaxKeysPerBatch;
        batch.assign(static_cast<size_t>(n * 2), KeyInput(vk, KEYEVENTF_EXTENDEDKEY));
        for (size_t i = 1; i < batch.size(); i += 2) batch[i].ki.dwFlags |= KEYEVENTF_KEYUP;
        const UINT took = Send(batch);
        sent += took;
        if (took < batch.size()) break;  // blocked: the rest would be lost as well
        count -= n;
    }
    return sent;
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
