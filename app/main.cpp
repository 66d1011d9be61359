// Program entry: one resident instance, the hidden main form, the message loop.
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/main_form_win.h"
#include "crash/capture/mishaplog_win.h"
#include "framework/win/application_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/stack.h"

namespace {

// The restart tests would otherwise wait out the minute a failure must come after to restart the
// program: they name a shorter one, in seconds, in this variable. Unset, the minute holds.
void ApplyRestartMinimumOverride() {
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUILLAN_RESTART_MINIMUM", value, 32);
    quillan::crash::TReportDriver* driver = quillan::crash::MishapLogDriver();
    if (length == 0 || length >= 32 || !driver) return;
    wchar_t* end = nullptr;
    const double seconds = std::wcstod(value, &end);
    if (end != value && *end == L'\0' && seconds >= 0) driver->SetRestartMinimumSeconds(seconds);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace quillan;
    // A second start while one runs would add a second icon and fail to
    // register the hotkey: it leaves at once instead.
    win::KernelHandle running(CreateMutexW(nullptr, TRUE, L"Local\\Quillan.Resident"));
    if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    // A restart after a fatal failure closes it first, or the new instance would leave at once.
    crash::MishapLogReleaseBeforeRestart(running.get());
    ApplyRestartMinimumOverride();

    int exitCode = 0;
    {
        TFForm form;
        win::Guarded([&] { form.FormCreate(); });
        // Started again after a failure: the user is told once, with the report's log.
        std::string logPath;
        if (crash::MishapLogTakeRestartNotice(logPath)) win::Guarded([&] { form.ShowRestartNotice(logPath); });
        // From here the main thread waits for messages: the stack the start-up used goes back.
        win::ReleaseUnusedStack();
        exitCode = win::Application().Run();
        win::Guarded([&] { form.FormDestroy(); });
    }
    return exitCode;
}
