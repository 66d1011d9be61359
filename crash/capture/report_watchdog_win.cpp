#include "crash/capture/report_watchdog_win.h"

#include "crash/capture/report_driver.h"
#include "crash/capture/report_memory_win.h"
#include "framework/win/stack.h"

namespace quillan::crash {

namespace {

// Plain data, zero before any code runs.
struct TWatchdog {
    TReportDriver* Driver;
    HANDLE Thread;
    HANDLE Changed;  // auto-reset: armed, disarmed, paused or resumed
    volatile LONG Armed;
    volatile LONG Fatal;
    volatile LONG Paused;
    volatile ULONGLONG Deadline;
    volatile LONG Fired;
};
TWatchdog g_watchdog;

struct THelper {
    HANDLE Thread;
    HANDLE Request;
    HANDLE Done;
    volatile LONG Busy;
    const std::function<void()>* Procedure;
};
THelper g_helper;

ULONGLONG Now() { return GetTickCount64(); }

volatile LONG64* DeadlineCell() { return reinterpret_cast<volatile LONG64*>(&g_watchdog.Deadline); }
void SetDeadline(ULONGLONG deadline) { InterlockedExchange64(DeadlineCell(), static_cast<LONG64>(deadline)); }
ULONGLONG Deadline() { return static_cast<ULONGLONG>(InterlockedCompareExchange64(DeadlineCell(), 0, 0)); }

// The bound passed: the configured end, itself bounded (a restart that cannot start the new
// process in time gives way to the plain end).
void BoundPassed() {
    if (InterlockedExchange(&g_watchdog.Fired, 1) != 0) return;
    OutputDebugStringA("[WARNING] - the report did not end in time; the process ends");
    if (g_watchdog.Driver) g_watchdog.Driver->TerminateOrRestart();
    TerminateNow();
}

DWORD WINAPI WatchdogThread(LPVOID) {
    EnterReportThread();
    // Its stack stays shallow: what the system made resident of it at the start goes back once.
    win::ReleaseUnusedStack();
    for (;;) {
        DWORD wait = INFINITE;
        if (g_watchdog.Armed > 0 && g_watchdog.Paused == 0) {
            const ULONGLONG now = Now();
            const ULONGLONG deadline = Deadline();
            if (now >= deadline) {
                BoundPassed();
                continue;
            }
            wait = static_cast<DWORD>(deadline - now);
        }
        WaitForSingleObject(g_watchdog.Changed, wait);
    }
}

DWORD WINAPI HelperThread(LPVOID) {
    EnterReportThread();
    for (;;) {
        // Idle between requests: what a request used of the stack goes back.
        win::ReleaseUnusedStack();
        WaitForSingleObject(g_helper.Request, INFINITE);
        try {
            if (g_helper.Procedure) (*g_helper.Procedure)();
        } catch (...) {
            // What the helper runs guards itself; nothing may leave the thread.
        }
        SetEvent(g_helper.Done);
    }
}

void Wake() {
    if (g_watchdog.Changed) SetEvent(g_watchdog.Changed);
}

}  // namespace

void StartReportWatchdog(TReportDriver& driver) {
    g_watchdog.Driver = &driver;
    if (!g_watchdog.Thread) {
        g_watchdog.Changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (g_watchdog.Changed) g_watchdog.Thread = CreateThread(nullptr, 64 * 1024, &WatchdogThread, nullptr,
                                                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        // Above every thread of the program: a busy loop must not keep it from ending the process.
        if (g_watchdog.Thread) {
            SetThreadPriority(g_watchdog.Thread, THREAD_PRIORITY_TIME_CRITICAL);
            ExpectReportThread();
        }
    }
    if (!g_helper.Thread) {
        g_helper.Request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        g_helper.Done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (g_helper.Request && g_helper.Done) g_helper.Thread = CreateThread(nullptr, 0, &HelperThread, nullptr, 0, nullptr);
        if (g_helper.Thread) ExpectReportThread();
    }
}

void ArmReportWatchdog(bool fatal) {
    // Armed already: the report under way keeps its (earlier) bound.
    const ULONGLONG deadline = Now() + kReportBoundMs;
    if (InterlockedIncrement(&g_watchdog.Armed) == 1 || deadline < Deadline()) SetDeadline(deadline);
    // A fatal report is never disarmed: its count stays.
    if (fatal) InterlockedExchange(&g_watchdog.Fatal, 1);
    Wake();
}

void DisarmReportWatchdog() {
    if (g_watchdog.Fatal) return;
    if (InterlockedDecrement(&g_watchdog.Armed) < 0) InterlockedExchange(&g_watchdog.Armed, 0);
    Wake();
}

void PauseReportWatchdog() {
    InterlockedIncrement(&g_watchdog.Paused);
    Wake();
}

void ResumeReportWatchdog() {
    if (InterlockedDecrement(&g_watchdog.Paused) <= 0) {
        InterlockedExchange(&g_watchdog.Paused, 0);
        const ULONGLONG deadline = Now() + kReportBoundMs;
        if (deadline > Deadline()) SetDeadline(deadline);
    }
    Wake();
}

void ResetReportWatchdogPause() {
    InterlockedExchange(&g_watchdog.Paused, 0);
    SetDeadline(Now() + kReportBoundMs);
    Wake();
}

bool RunOnHelperWithin(const std::function<void()>& procedure, DWORD timeoutMs) {
    if (!g_helper.Thread || GetCurrentThreadId() == GetThreadId(g_helper.Thread)) return false;
    if (InterlockedCompareExchange(&g_helper.Busy, 1, 0) != 0) return false;
    g_helper.Procedure = &procedure;
    SetEvent(g_helper.Request);
    HANDLE waits[2] = {g_helper.Done, g_helper.Thread};
    const DWORD result = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
    if (result != WAIT_OBJECT_0) return false;  // stays busy: the helper is stuck or gone
    g_helper.Procedure = nullptr;
    InterlockedExchange(&g_helper.Busy, 0);
    return true;
}

void TerminateNow() {
    TerminateProcess(GetCurrentProcess(), 1);
    for (;;) Sleep(INFINITE);
}

}  // namespace quillan::crash
