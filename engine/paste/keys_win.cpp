#include "engine/paste/keys.h"

#include <windows.h>

#include <initializer_list>
#include <iterator>
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

// Modifiers down in order, the key, modifiers up in reverse order.
void SendChord(std::initializer_list<uint8_t> modifiers, uint8_t vk, DWORD keyFlags) {
    std::vector<INPUT> chord;
    for (uint8_t m : modifiers) chord.push_back(KeyInput(m, 0));
    chord.push_back(KeyInput(vk, keyFlags));
    chord.push_back(KeyInput(vk, keyFlags | KEYEVENTF_KEYUP));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        chord.push_back(KeyInput(*it, KEYEVENTF_KEYUP));
    UINT sent = Send(chord);
    // A chord cut short would leave a modifier down for the user's next keys.
    if (sent > 0 && sent < chord.size()) {
        std::vector<INPUT> release;
        for (uint8_t m : modifiers) release.push_back(KeyInput(m, KEYEVENTF_KEYUP));
        Send(release);
    }
}

void SendCtrlChord(uint8_t vk) { SendChord({VK_CONTROL}, vk, 0); }

INPUT UnicodeInput(wchar_t c, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<WORD>(c);
    input.ki.dwFlags = KEYEVENTF_UNICODE | flags;
    return input;
}

bool KeyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

}  // namespace

void SendCopyKeys() { SendCtrlChord(kVkC); }

bool SendCopyChord(TPasteMethod method) {
    switch (method) {
        case TPasteMethod::CtrlV:
            SendCtrlChord(kVkC);
            return true;
        case TPasteMethod::ShiftInsert:
            // The copy of the programs that paste on Shift+Insert; their Ctrl+C interrupts.
            SendChord({VK_CONTROL}, VK_INSERT, KEYEVENTF_EXTENDEDKEY);
            return true;
        case TPasteMethod::CtrlShiftV:
            SendChord({VK_CONTROL, VK_SHIFT}, kVkC, 0);
            return true;
        case TPasteMethod::Type:
            break;
    }
    return false;
}

void SendPasteChord(TPasteMethod method) {
    switch (method) {
        case TPasteMethod::CtrlV:
            SendCtrlChord(kVkV);
            break;
        case TPasteMethod::ShiftInsert:
            // The cursor block's Insert: without the flag it is numeric-keypad 0.
            SendChord({VK_SHIFT}, VK_INSERT, KEYEVENTF_EXTENDEDKEY);
            break;
        case TPasteMethod::CtrlShiftV:
            SendChord({VK_CONTROL, VK_SHIFT}, kVkV, 0);
            break;
        case TPasteMethod::Type:
            break;
    }
}

uint64_t TypeText(std::wstring_view text, size_t chunkChars, uint32_t pauseMs) {
    uint64_t sent = 0;
    std::vector<INPUT> chunk;
    size_t i = 0;
    while (i < text.size()) {
        chunk.clear();
        for (size_t n = 0; n < chunkChars && i < text.size(); ++n) {
            wchar_t c = text[i++];
            if (c == L'\r' || c == L'\n') {
                if (c == L'\r' && i < text.size() && text[i] == L'\n') ++i;
                chunk.push_back(KeyInput(VK_RETURN, 0));
                chunk.push_back(KeyInput(VK_RETURN, KEYEVENTF_KEYUP));
            } else {
                chunk.push_back(UnicodeInput(c, 0));
                chunk.push_back(UnicodeInput(c, KEYEVENTF_KEYUP));
            }
        }
        const UINT took = Send(chunk);
        sent += took;
        if (took < chunk.size()) break;
        if (i < text.size()) WaitWithMessages(pauseMs);
    }
    return sent;
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
