// A 700-press caret walk into a focused edit control, side by side: the presses in one
// batch (SendCursorPresses, one SendInput call) against a key at a time (TapCursorKey,
// two keybd_event calls a press). Times the sending calls and the whole walk until
// the control has taken the last press. Run it with a display (Xvfb under Wine).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/clock.h"
#include "bench/support/result.h"
#include "engine/paste/keys.h"
#include "framework/win/application_win.h"

namespace {

constexpr int kPresses = 700;
constexpr int kRounds = 15;

int g_leftDowns = 0;
WNDPROC g_editProc = nullptr;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_KEYDOWN && wp == VK_LEFT) ++g_leftDowns;
    return CallWindowProcW(g_editProc, hwnd, msg, wp, lp);
}

bool PumpUntil(bool (*done)(), DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        quillan::win::Application().ProcessMessages();
    }
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct TTimes {
    std::vector<double> send, whole;
};

// One walk from the end of the text; false when the control did not get every press.
bool Walk(HWND frame, HWND edit, bool batch, TTimes& times) {
    SetForegroundWindow(frame);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, kPresses, kPresses);
    quillan::win::Application().ProcessMessages();
    g_leftDowns = 0;
    const double start = quillan::bench::MonotonicMs();
    if (batch) {
        quillan::SendCursorPresses(VK_LEFT, kPresses);
    } else {
        for (int i = 0; i < kPresses; ++i) quillan::TapCursorKey(VK_LEFT);
    }
    const double sent = quillan::bench::MonotonicMs();
    bool ok = PumpUntil([] { return g_leftDowns >= kPresses; }, 20000);
    const double end = quillan::bench::MonotonicMs();
    DWORD caret = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    if (!ok || caret != 0) return false;
    times.send.push_back(sent - start);
    times.whole.push_back(end - start);
    return true;
}

}  // namespace

int main() {
    HWND frame = CreateWindowExW(0, L"STATIC", L"caret walk", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 600, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND edit =
        CreateWindowExW(0, L"EDIT", std::wstring(kPresses, L'x').c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 5, 5,
                        580, 30, frame, nullptr, nullptr, nullptr);
    g_editProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    TTimes batch, single;
    int failed = 0;
    // Alternating rounds, so that a load of the machine weighs on both alike.
    for (int round = 0; round < kRounds; ++round) {
        failed += Walk(frame, edit, true, batch) ? 0 : 1;
        failed += Walk(frame, edit, false, single) ? 0 : 1;
    }
    DestroyWindow(frame);
    if (batch.whole.empty() || single.whole.empty()) {
        std::printf("caret walk: the control never took every press (%d failed walks)\n", failed);
        return 1;
    }
    std::printf("%d-press caret walk, median of %zu / %zu walks (%d incomplete):\n", kPresses, batch.whole.size(),
                single.whole.size(), failed);
    std::printf("  one batch:       sending %8.2f ms, until the last press taken %8.2f ms\n", Median(batch.send),
                Median(batch.whole));
    std::printf("  a key at a time: sending %8.2f ms, until the last press taken %8.2f ms\n", Median(single.send),
                Median(single.whole));
    quillan::bench::PrintResult("700-press caret walk, until taken", Median(batch.whole), Median(single.whole),
                                "a key at a time", "ms", "one SendInput call, no slower");
    return failed == 0 ? 0 : 1;
}
