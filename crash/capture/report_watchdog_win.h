// The bound of every report. A report that has not ended within kReportBoundMs of its start
// (time spent waiting for the user's answer in a box not counted) ends the process as configured:
// restarted when TerminateAction says so, else terminated. The watchdog's thread is started
// beforehand and needs neither a heap nor the loader lock to end the process.
#pragma once

#include <windows.h>

#include <functional>

namespace quillan::crash {

class TReportDriver;

inline constexpr DWORD kReportBoundMs = 30000;

// Starts the watchdog and the thread that restarts the program (once).
void StartReportWatchdog(TReportDriver& driver);
// A report starts: the bound runs from now unless it runs already. A fatal report's bound is
// never lifted.
void ArmReportWatchdog(bool fatal);
// A report that was not fatal ended.
void DisarmReportWatchdog();
// The user is being asked (a dialog or a box): the bound starts afresh when the answer came.
void PauseReportWatchdog();
void ResumeReportWatchdog();
// The report thread left a paused step by a fault: the bound runs again, from now.
void ResetReportWatchdogPause();

// Runs procedure on the prepared helper thread and waits at most timeoutMs for it. False when it
// did not end in time (it may still be running) or the helper is busy or missing.
bool RunOnHelperWithin(const std::function<void()>& procedure, DWORD timeoutMs);

// The process's last word: TerminateProcess, which takes no lock of the process.
[[noreturn]] void TerminateNow();

}  // namespace quillan::crash
