// End-to-end check of the running program under Wine + Xvfb: starts Quillan.exe
// beside a hot.ini, presses the hotkey with real key events in a target window of
// its own and in Wine's notepad, picks a template in the popup menu, checks the
// text, the caret and the restored clipboard, then quits through the tray menu.
// Usage: e2e_driver.exe <folder holding Quillan.exe and hot.ini>
//        e2e_driver.exe <folder holding Quillan.exe> --measure <templates> [<one group in N offered> [<peer.exe>]]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <functional>
#include <string>

#include "framework/core/codepage.h"
#include "framework/core/convert.h"
#include "framework/win/handle_win.h"

namespace {

int g_failures = 0;

std::string N(const std::wstring& w) { return quillan::Utf16ToCp1251(std::u16string(w.begin(), w.end())); }

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", quillan::Cp1251ToUtf8(what).c_str());
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Waits, pumping messages, until cond holds or timeoutMs passes.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        Pump();
        if (cond()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

void Key(BYTE vk, bool up, bool extended = false) {
    DWORD flags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, 0)), flags, 0);
}

void Tap(BYTE vk) {
    bool extended = vk == VK_DOWN || vk == VK_UP;
    Key(vk, false, extended);
    Key(vk, true, extended);
}

void PressHotkey() {
    Key(VK_CONTROL, false);
    Key(VK_LWIN, false, true);
    Key('H', false);
    Key('H', true);
    Key(VK_LWIN, true, true);
    Key(VK_CONTROL, true);
}

BOOL CALLBACK FindMenuProc(HWND hwnd, LPARAM param) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpW(cls, L"#32768") == 0 && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisibleMenu() {
    HWND menu = nullptr;
    EnumWindows(&FindMenuProc, reinterpret_cast<LPARAM>(&menu));
    return menu;
}

struct WindowSearch {
    const wchar_t* cls;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindWindowProc(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<WindowSearch*>(param);
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (lstrcmpW(cls, s->cls) == 0 && (s->pid == 0 || owner == s->pid)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOfProcess(const wchar_t* className, DWORD pid) {
    WindowSearch search = {className, pid, nullptr};
    EnumWindows(&FindWindowProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string EditText(HWND edit) {
    int length = static_cast<int>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(edit, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(length));
    return N(buffer);
}

DWORD Caret(HWND edit) {
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return end;
}

const UINT kMarkFormat = RegisterClipboardFormatW(L"QuillanE2EMark");

// Puts a copy of size bytes on the open clipboard; the clipboard owns the block once it took it.
void PutClipboardBytes(UINT format, const void* bytes, size_t size) {
    quillan::win::GlobalHandle block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block) return;
    {
        // Unlocked before the clipboard takes the block.
        quillan::win::GlobalLockScope data(block.get());
        if (!data) return;
        memcpy(data.get(), bytes, size);
    }
    if (SetClipboardData(format, block.get())) block.release();
}

void PutUserClipboard(HWND owner) {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    const wchar_t text[] = L"user clipboard \x0416";
    PutClipboardBytes(CF_UNICODETEXT, text, sizeof(text));
    PutClipboardBytes(kMarkFormat, "MARK", 4);
    CloseClipboard();
}

bool UserClipboardIsBack() {
    if (!OpenClipboard(nullptr)) return false;
    bool ok = false;
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    HANDLE mark = GetClipboardData(kMarkFormat);
    if (h && mark) {
        const quillan::win::GlobalLockScope text(h);
        const quillan::win::GlobalLockScope m(mark);
        ok = text && m && lstrcmpW(static_cast<const wchar_t*>(text.get()), L"user clipboard \x0416") == 0 &&
             memcmp(m.get(), "MARK", 4) == 0;
    }
    CloseClipboard();
    return ok;
}

// The window's thread has made it active and given the focus to focus: its own
// activation has run to its end, so nothing it still had queued takes the front back.
bool TargetReady(HWND window, HWND focus) {
    if (GetForegroundWindow() != window) return false;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return false;
    return info.hwndActive == window && info.hwndFocus == focus;
}

// Brings window to the front with focus in it. A program that has just started may
// still be handling its own activation: wait until it has finished, then make one
// round trip through its queue and check again.
bool BringToFront(HWND window, HWND focus) {
    const bool own = GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
    auto ready = [&] {
        SetForegroundWindow(window);
        if (own) SetFocus(focus);
        return TargetReady(window, focus);
    };
    if (!WaitFor(ready, 20000)) return false;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
    return WaitFor(ready, 20000);
}

// The thread shows a menu and has the keyboard: keys sent now reach the menu.
bool MenuHasKeyboard(DWORD thread) {
    if (!FindVisibleMenu()) return false;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(thread, &info) || (info.flags & GUI_INMENUMODE) == 0) return false;
    return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == thread;
}

bool MenuClosed(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    bool inMenu = GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) != 0;
    return !inMenu && FindVisibleMenu() == nullptr;
}

// The clipboard is the one PutUserClipboard placed, written back by Quillan: its
// owner is a window of Quillan's process, which only the restore after a paste makes so.
bool RestoredBy(DWORD pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(GetClipboardOwner(), &owner);
    return owner == pid && UserClipboardIsBack();
}

// Hotkey, then (when the menu has the keyboard) Down x downs and Enter. With
// pressTwice the hotkey is pressed again while the menu is open, before the pick.
bool PickTemplate(DWORD quillanThread, int downs, bool pressTwice = false) {
    PressHotkey();
    if (!WaitFor([&] { return MenuHasKeyboard(quillanThread); }, 20000)) return false;
    if (pressTwice) PressHotkey();
    for (int i = 0; i < downs; ++i) Tap(VK_DOWN);
    Tap(VK_RETURN);
    return WaitFor([&] { return MenuClosed(quillanThread); }, 20000);
}

// Like any editor, the frame hands the focus to its edit when it is activated.
LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETFOCUS) {
        HWND child = GetWindow(hwnd, GW_CHILD);
        if (child) SetFocus(child);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CreateTarget(HWND* edit) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &TargetProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillanE2ETarget";
    RegisterClassW(&wc);
    HWND frame = CreateWindowExW(0, L"QuillanE2ETarget", L"E2E target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500,
                                 300, nullptr, nullptr, wc.hInstance, nullptr);
    *edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN, 0, 0, 480, 250,
                            frame, nullptr, wc.hInstance, nullptr);
    return frame;
}

void PrepareRegistry() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillan");
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillan\\TOptionForm", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    const wchar_t value[] = L"True";
    RegSetValueExW(key, L"cbRestoreClpbrd_Checked", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
    RegCloseKey(key);
}

// Writes a hot.ini of count templates in groups of twenty programs; every
// offeredEvery-th group belongs to this driver, so those templates are offered.
// Returns how many are offered (the last group may be short).
int WriteLargeHotIni(const std::wstring& folder, int count, int offeredEvery) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<HOT>\r\n";
    int offered = 0;
    for (int i = 0; i < count; ++i) {
        const bool ours = (i / 20) % offeredEvery == 0;
        offered += ours;
        if (i % 20 == 0) {
            if (i > 0) text += " </Templates>\r\n";
            std::string app = ours ? "e2e_driver.exe" : "app" + std::to_string(i) + ".exe";
            text += " <Templates>\r\n  <Application>" + app + "</Application>\r\n";
        }
        text += "   <Template>\r\n    <MenuCaption>Шаблон номер " + std::to_string(i) +
                "</MenuCaption>\r\n    <TemplateText>Строка один &amp; " + std::to_string(i) +
                "\r\nLine two</TemplateText>\r\n    <PointX>1</PointX>\r\n    <PointY>1</PointY>\r\n"
                "   </Template>\r\n";
    }
    text += " </Templates>\r\n</HOT>\r\n";
    HANDLE file = CreateFileW((folder + L"\\hot.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return offered;
}

// The moment the menu is shown, as the system announces it to a WinEvent hook: polling for
// the window would round every figure up to the polling step. Windows announces
// EVENT_SYSTEM_MENUPOPUPSTART. Wine 8 announces neither that nor the menu window's
// EVENT_OBJECT_SHOW, only its EVENT_OBJECT_CREATE (class "#32768"), which its menu code
// sends just before it shows the window: the first of these is taken, and named.
LARGE_INTEGER g_popupAt{};
bool g_popupSeen = false;
DWORD g_popupEvent = 0;

void CALLBACK OnMenuPopupStart(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG, DWORD, DWORD) {
    if (g_popupSeen) return;
    if (event == EVENT_OBJECT_SHOW || event == EVENT_OBJECT_CREATE) {
        wchar_t cls[16] = {};
        if (object != OBJID_WINDOW || !GetClassNameW(hwnd, cls, 16) || lstrcmpW(cls, L"#32768") != 0) return;
    } else if (event != EVENT_SYSTEM_MENUPOPUPSTART) {
        return;
    }
    QueryPerformanceCounter(&g_popupAt);
    g_popupSeen = true;
    g_popupEvent = event;
}

// Waits for the hook, sleeping until a message or an event arrives (no polling step).
bool WaitForPopupEvent(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!g_popupSeen) {
        const DWORD spent = GetTickCount() - start;
        if (spent > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
        Pump();
    }
    return true;
}

// Private bytes of a process that has started and gone idle, as the system reports them.
double PrivateMB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS mem = {};
    mem.cb = sizeof(mem);
    GetProcessMemoryInfo(process, &mem, sizeof(mem));
    return mem.PagefileUsage / 1048576.0;
}

// The minimal tray program: started, given time to add its icon and settle, measured, ended.
double PeerPrivateMB(const std::wstring& exe) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitFor([&] { return FindWindowOfProcess(L"QuillanTrayPeer", pi.dwProcessId) != nullptr; }, 30000);
    WaitFor([] { return false; }, 1000);
    double mb = PrivateMB(pi.hProcess);
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return mb;
}

// Idle memory of the resident program (beside the minimal tray program peer, when given) and
// hotkey-to-menu time with count templates.
int Measure(const std::wstring& folder, int count, int offeredEvery, const std::wstring& peer) {
    const int offered = WriteLargeHotIni(folder, count, offeredEvery);
    HWND edit = nullptr;
    HWND target = CreateTarget(&edit);
    BringToFront(target, edit);
    std::wstring exe = folder + L"\\Quillan.exe";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    PutUserClipboard(target);
    if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) return 1;
    HWND tray = nullptr;
    WaitFor([&] { return (tray = FindWindowOfProcess(L"TTrayCallbackWindow", pi.dwProcessId)) != nullptr; }, 30000);
    const DWORD quillanThread = GetWindowThreadProcessId(tray, nullptr);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(tray, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &answer);  // past the start-up
    WaitFor([] { return false; }, 1000);
    PROCESS_MEMORY_COUNTERS mem = {};
    mem.cb = sizeof(mem);
    GetProcessMemoryInfo(pi.hProcess, &mem, sizeof(mem));
    const double privateMB = mem.PagefileUsage / 1048576.0;
    std::printf("idle working set: %.1f MB (peak %.1f MB), private %.1f MB\n", mem.WorkingSetSize / 1048576.0,
                mem.PeakWorkingSetSize / 1048576.0, privateMB);
    if (!peer.empty()) {
        const double peerMB = PeerPrivateMB(peer);
        std::printf(
            "idle private: Quillan %.1f MB, minimal tray program %.1f MB, %.1f MB above it (goal: at most 2 MB)\n",
            privateMB, peerMB, privateMB - peerMB);
        std::printf("bench-result: idle private memory|%.2f|%.2f|minimal tray program|MB|at most 2 MB above it\n",
                    privateMB, peerMB);
    }
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_MENUPOPUPSTART, EVENT_SYSTEM_MENUPOPUPSTART, nullptr,
                                         &OnMenuPopupStart, pi.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    HWINEVENTHOOK showHook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, &OnMenuPopupStart,
                                             pi.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    std::vector<double> times;
    for (int run = 0; run < 7 && (hook || showHook); ++run) {
        BringToFront(target, edit);
        LARGE_INTEGER f, t0;
        QueryPerformanceFrequency(&f);
        g_popupSeen = false;
        QueryPerformanceCounter(&t0);
        PressHotkey();
        if (WaitForPopupEvent(10000)) times.push_back(1000.0 * (g_popupAt.QuadPart - t0.QuadPart) / f.QuadPart);
        WaitFor([&] { return MenuHasKeyboard(quillanThread); }, 10000);
        Tap(VK_ESCAPE);
        WaitFor([&] { return MenuClosed(quillanThread); }, 10000);
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        std::printf(
            "hotkey to menu on screen, %d templates, %d offered: median %.1f ms, best %.1f ms, "
            "worst %.1f ms (%zu runs)\n",
            count, offered, times[times.size() / 2], times.front(), times.back(), times.size());
        std::printf("  (the moment taken from %s)\n",
                    g_popupEvent == EVENT_SYSTEM_MENUPOPUPSTART ? "EVENT_SYSTEM_MENUPOPUPSTART"
                    : g_popupEvent == EVENT_OBJECT_SHOW         ? "EVENT_OBJECT_SHOW of the menu window"
                                                                : "EVENT_OBJECT_CREATE of the menu window");
    } else {
        std::printf("no menu-popup event arrived from Quillan (hooks %s)\n", hook && showHook ? "set" : "not set");
    }
    if (hook) UnhookWinEvent(hook);
    if (showHook) UnhookWinEvent(showHook);
    TerminateProcess(pi.hProcess, 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DestroyWindow(target);
    return times.empty() ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf(
            "usage: e2e_driver <folder of Quillan.exe> [--measure <templates> [<one group in N offered> "
            "[<peer.exe>]]]\n");
        return 2;
    }
    std::wstring folder = argv[1];
    PrepareRegistry();
    if (argc >= 4 && lstrcmpW(argv[2], L"--measure") == 0)
        return Measure(folder, _wtoi(argv[3]), argc >= 5 ? std::max(1, _wtoi(argv[4])) : 1, argc >= 6 ? argv[5] : L"");

    const DWORD t0 = GetTickCount();
    HWND edit = nullptr;
    HWND target = CreateTarget(&edit);
    Check(BringToFront(target, edit), "target window in front");

    std::wstring exe = folder + L"\\Quillan.exe";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    // Quillan starts while the user has text selected in the window in front.
    SetWindowTextW(edit, L"selected \x0416");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    PutUserClipboard(target);
    const DWORD sequence = GetClipboardSequenceNumber();
    Check(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi),
          "Quillan.exe started");
    HWND tray = nullptr;
    Check(
        WaitFor([&] { return (tray = FindWindowOfProcess(L"TTrayCallbackWindow", pi.dwProcessId)) != nullptr; }, 30000),
        "tray callback window exists");
    const DWORD quillanThread = GetWindowThreadProcessId(tray, nullptr);
    // Past the start-up: its message loop answers, so the start-up run has ended.
    DWORD_PTR answer = 0;
    Check(SendMessageTimeoutW(tray, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &answer) != 0, "Quillan's message loop runs");
    WaitFor([] { return false; }, 500);  // what it might have sent has arrived by now
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    Check(EditText(edit) == "selected \xC6" && selStart == 0 && selEnd == 10,
          "the selected text in front is intact after the start-up: '" + EditText(edit) + "'");
    Check(GetClipboardSequenceNumber() == sequence && UserClipboardIsBack(), "the start-up left the clipboard alone");
    std::printf("     start-up done after %lu ms\n", GetTickCount() - t0);

    // A second start exits at once and leaves the first one alone.
    PROCESS_INFORMATION second = {};
    if (CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &second)) {
        Check(WaitForSingleObject(second.hProcess, 20000) == WAIT_OBJECT_0, "a second start ends by itself");
        CloseHandle(second.hThread);
        CloseHandle(second.hProcess);
    }

    // 1. Our own target window; the hotkey is pressed a second time while the menu is
    //    open, which must neither close it nor lose the pick.
    PutUserClipboard(target);
    SetWindowTextW(edit, L"");
    Check(BringToFront(target, edit), "target in front before the hotkey");
    Check(PickTemplate(quillanThread, 2, true), "template menu popped up and closed");
    const std::string expected = "Здравствуйте, !\r\nС уважением";
    std::string seen;
    bool pasted = WaitFor([&] { return (seen = EditText(edit)) == expected && Caret(edit) == 14; }, 10000);
    Check(pasted, "template pasted once into the target, caret on the hot point (14): '" + seen + "', " +
                      std::to_string(Caret(edit)));
    Check(WaitFor([&] { return RestoredBy(pi.dwProcessId); }, 10000), "user clipboard restored with every format");
    Check(EditText(edit) == expected, "nothing else pasted");

    // A template with blank lines and no hot point in the file: the caret ends after it.
    PutUserClipboard(target);
    SetWindowTextW(edit, L"");
    Check(BringToFront(target, edit), "target in front before the second pick");
    Check(PickTemplate(quillanThread, 3), "template menu for the letter");
    const std::string letter = "Здравствуйте!\r\n\r\nТекст\r\n\r\nС уважением, Иван";
    const DWORD letterEnd = static_cast<DWORD>(letter.size());
    bool letterPasted = WaitFor([&] { return (seen = EditText(edit)) == letter && Caret(edit) == letterEnd; }, 10000);
    Check(letterPasted, "letter pasted exactly, caret at its end (" + std::to_string(letterEnd) + "): '" + seen +
                            "', " + std::to_string(Caret(edit)));
    Check(WaitFor([&] { return RestoredBy(pi.dwProcessId); }, 10000), "user clipboard restored after the letter");
    std::printf("     own window done after %lu ms\n", GetTickCount() - t0);

    // 2. Wine's notepad.
    STARTUPINFOW nsi = {};
    nsi.cb = sizeof(nsi);
    PROCESS_INFORMATION npi = {};
    wchar_t notepadCmd[] = L"notepad.exe";
    if (CreateProcessW(nullptr, notepadCmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &nsi, &npi)) {
        // The first start of notepad in a new prefix is slow, and its window takes
        // the front back whenever its own activation completes: wait for all of it.
        WaitForInputIdle(npi.hProcess, 30000);
        HWND notepad = nullptr;
        WaitFor([&] { return (notepad = FindWindowOfProcess(L"Notepad", npi.dwProcessId)) != nullptr; }, 30000);
        HWND notepadEdit = notepad ? FindWindowExW(notepad, nullptr, L"Edit", nullptr) : nullptr;
        Check(notepadEdit != nullptr, "notepad window found");
        if (notepadEdit) {
            PutUserClipboard(target);
            Check(BringToFront(notepad, notepadEdit), "notepad in front with the focus in its text");
            Check(PickTemplate(quillanThread, 2), "template menu in notepad");
            const std::string text = "Notepad line <1>\r\nline 2";
            std::string seenNotepad;
            bool inNotepad = WaitFor(
                [&] { return (seenNotepad = EditText(notepadEdit)) == text && Caret(notepadEdit) == 18; }, 10000);
            Check(inNotepad, "template pasted into notepad, caret on the hot point (18): '" + seenNotepad + "', " +
                                 std::to_string(Caret(notepadEdit)));
            Check(WaitFor([&] { return RestoredBy(pi.dwProcessId); }, 10000),
                  "clipboard restored after the notepad paste");
        }
        TerminateProcess(npi.hProcess, 0);
        WaitForSingleObject(npi.hProcess, 10000);
        CloseHandle(npi.hThread);
        CloseHandle(npi.hProcess);
    } else {
        Check(false, "notepad.exe started");
    }
    std::printf("     notepad done after %lu ms\n", GetTickCount() - t0);

    // 3. "Выход" from the tray menu: a single left click opens it.
    Check(BringToFront(target, edit), "target in front before the tray click");
    PostMessageW(tray, WM_USER + 1, 1, WM_LBUTTONDOWN);
    PostMessageW(tray, WM_USER + 1, 1, WM_LBUTTONUP);
    bool trayMenu = WaitFor([&] { return MenuHasKeyboard(quillanThread); }, 20000);
    Check(trayMenu, "tray menu popped up");
    if (trayMenu) {
        Tap(VK_UP);  // from no selection, Up selects the last item, "Выход"
        Tap(VK_RETURN);
    }
    bool ended = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    Check(ended, "Quillan ended after Выход");
    if (!ended) TerminateProcess(pi.hProcess, 1);
    Check(FindWindowOfProcess(L"TTrayCallbackWindow", pi.dwProcessId) == nullptr, "no tray window left");
    BOOL free = RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_WIN, 'H');
    Check(free != FALSE, "the hotkey is free again");
    if (free) UnregisterHotKey(nullptr, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DestroyWindow(target);

    std::printf("%d checks failed; %lu ms in all\n", g_failures, GetTickCount() - t0);
    return g_failures == 0 ? 0 : 1;
}
