// A clipboard monitor for the paste tests, in a process of its own as such tools are: it
// listens for every change of the clipboard and, delayMs later (argv[1]), reads every format
// of it through a window of its own. When it has read a text that starts with argv[2] it
// sets the named event argv[3]; the named event argv[4] tells the test it is listening.
// Ends when its parent's handle (argv[5], inherited) is signalled.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

UINT g_delayMs = 0;
std::wstring g_prefix;
HANDLE g_readTemplate = nullptr;

void ReadEverything(HWND hwnd) {
    if (!OpenClipboard(hwnd)) return;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        HANDLE data = GetClipboardData(format);
        if (format != CF_UNICODETEXT || !data) continue;
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            if (std::wstring(p).rfind(g_prefix, 0) == 0) SetEvent(g_readTemplate);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLIPBOARDUPDATE) {
        SetTimer(hwnd, 1, g_delayMs, nullptr);
        return 0;
    }
    if (msg == WM_TIMER) {
        KillTimer(hwnd, 1);
        ReadEverything(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    g_delayMs = static_cast<UINT>(_wtoi(argv[1]));
    g_prefix = argv[2];
    g_readTemplate = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE listening = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[4]);
    auto parent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(_wtoi64(argv[5])));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillanTestClipboardMonitor";
    RegisterClassW(&wc);
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window || !g_readTemplate || !listening || !AddClipboardFormatListener(window)) return 3;
    SetEvent(listening);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &parent, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    RemoveClipboardFormatListener(window);
    DestroyWindow(window);
    return 0;
}
