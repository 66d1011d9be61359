// Waiting in Windows tests: messages keep being processed until a condition holds
// or a deadline passes, never a fixed sleep.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/win/application_win.h"

namespace quillan::test {

// Processes messages until done() or timeoutMs; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        win::Application().ProcessMessages();
    }
    return true;
}

}  // namespace quillan::test
