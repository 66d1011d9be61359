// Running a test case again in a process of its own at another logical DPI. Wine
// (like Windows) reads the user's "Control Panel\Desktop" LogPixels when a process
// starts, so the setting is changed for the child's start and put back after it.
// Windows tests only; the test that calls it must not run beside others (it
// changes the real user's setting for a moment).
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan::test {

inline constexpr char kChildDpiVariable[] = "QUILLAN_TEST_DPI";

// The DPI a child run by RunSelfAtDpi was started for; 0 in an ordinary run.
inline int ChildDpi() {
    const char* value = std::getenv(kChildDpiVariable);
    return value ? std::atoi(value) : 0;
}

// Runs this program with --gtest_filter=filter while LogPixels reads dpi; the
// child's exit code, or -1 when it could not be started or did not end in 2 minutes.
inline int RunSelfAtDpi(int dpi, const std::string& filter) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return -1;
    win::RegKey desktop(opened);
    DWORD old = 0, type = 0, size = sizeof(old);
    bool hadOld = RegQueryValueExW(desktop.get(), L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) ==
                      ERROR_SUCCESS &&
                  type == REG_DWORD;
    DWORD wanted = static_cast<DWORD>(dpi);
    RegSetValueExW(desktop.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&wanted), sizeof(wanted));
    SetEnvironmentVariableW(win::Wide(kChildDpiVariable).c_str(), std::to_wstring(dpi).c_str());
    std::wstring command = L"\"" + win::Wide(win::ModuleFileName()) + L"\" --gtest_filter=" + win::Wide(filter);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    int result = -1;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        DWORD code = 0;
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.hProcess, &code))
            result = static_cast<int>(code);
        else
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    SetEnvironmentVariableW(win::Wide(kChildDpiVariable).c_str(), nullptr);
    if (hadOld)
        RegSetValueExW(desktop.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old), sizeof(old));
    else
        RegDeleteValueW(desktop.get(), L"LogPixels");
    return result;
}

}  // namespace quillan::test
