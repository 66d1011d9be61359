// Restarting the program after a fatal report, and what the new process learns of it.
#include "crash/capture/capture_platform_win.h"

#include "crash/capture/report_watchdog_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::crash {

void TWinCapturePlatform::ReleaseBeforeRestart(HANDLE handle) {
    std::lock_guard<std::mutex> lock(releaseLock_);
    releaseBeforeRestart_.push_back(handle);
}

double TWinCapturePlatform::SecondsSinceStart() { return static_cast<double>(GetTickCount64() - startTick_) / 1000; }

void TWinCapturePlatform::RestartNow(const std::string& startDirectory, const std::string& logPath) {
    {
        std::lock_guard<std::mutex> lock(releaseLock_);
        for (HANDLE handle : releaseBeforeRestart_) {
            win::KernelHandle held(handle);  // ours since it was handed over
            ReleaseMutex(held.get());
        }
        releaseBeforeRestart_.clear();
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    std::wstring commandLine = GetCommandLineW();
    std::wstring folder = win::Wide(startDirectory);
    // Inherited by the new process, which may tell the user.
    SetEnvironmentVariableW(kRestartVariable, logPath.empty() ? L"?" : win::Wide(logPath).c_str());
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0x220, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        win::ProcessInformation started(process);  // not waited for: both handles go
    }
}

void TWinCapturePlatform::Restart(const std::string& startDirectory, const std::string& logPath) {
    // Starting a process takes the process heap, which a faulting thread may hold: the prepared
    // helper tries, and after the bound the process ends without its successor.
    const std::function<void()> restart = [this, &startDirectory, &logPath] { RestartNow(startDirectory, logPath); };
    if (!RunOnHelperWithin(restart, kRestartBoundMs)) {
        OutputDebugStringA("[WARNING] - the program could not be started again in time");
        TerminateNow();
    }
}

bool TakeRestartNotice(std::string& logPath) {
    wchar_t value[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(kRestartVariable, value, MAX_PATH + 1);
    if (length == 0) return false;
    // Once: a program this one starts in turn did not follow a fault.
    SetEnvironmentVariableW(kRestartVariable, nullptr);
    const std::wstring path = length <= MAX_PATH ? std::wstring(value, length) : std::wstring();
    logPath = path == L"?" ? std::string() : win::Narrow(path);
    return true;
}

}  // namespace quillan::crash
