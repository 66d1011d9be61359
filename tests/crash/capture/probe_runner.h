// Running a crash program under Wine and reading what it left.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/core/file_io.h"
#include "framework/win/text.h"
#include "tests/crash/capture/report_reader.h"
#include "tests/support/temp_dir.h"

namespace quillan::test {

inline std::string ProbeFolder() {
    std::string self = win::ModuleFileName(nullptr);
    return self.substr(0, self.find_last_of('\\') + 1);
}

inline std::string ProbeSource(const std::string& probe) {
    return std::string("Z:") + QUILLAN_PROBE_SOURCES + "/" + probe + ".cpp";
}

inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > until) return false;
        Sleep(20);
    }
}

namespace detail {

struct TDialogBoxSearch {
    DWORD Process;
    const std::string* Title;
    const std::function<bool(HWND)>* Accept;
    HWND Found;
};

inline BOOL CALLBACK FindDialogBoxOf(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TDialogBoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t className[32] = {};
    GetClassNameW(hwnd, className, 32);
    if (owner != search->Process || !IsWindowVisible(hwnd) || lstrcmpW(className, L"#32770") != 0 ||
        win::GetWindowTextA1251(hwnd) != *search->Title || (*search->Accept && !(*search->Accept)(hwnd)))
        return TRUE;
    search->Found = hwnd;
    return FALSE;
}

inline BOOL CALLBACK CollectChildText(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(win::GetWindowTextA1251(hwnd));
    return TRUE;
}

}  // namespace detail

// A visible dialog box of the process with this title (and passing accept, when given); null when none.
inline HWND FindDialogBox(DWORD process, const std::string& title, const std::function<bool(HWND)>& accept = nullptr) {
    detail::TDialogBoxSearch search = {process, &title, &accept, nullptr};
    EnumWindows(&detail::FindDialogBoxOf, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// The texts of a window's controls, in z-order.
inline std::vector<std::string> ChildTexts(HWND window) {
    std::vector<std::string> texts;
    EnumChildWindows(window, &detail::CollectChildText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// One run of a crash program with its log folder.
class TProbe {
public:
    TProbe(std::string name, const std::vector<std::string>& options) : name_(std::move(name)) {
        // Without its last separator: a backslash before the closing quote would escape it.
        std::string folder = Folder();
        folder.pop_back();
        commandLine_ = "\"" + ProbeFolder() + name_ + ".exe\" \"" + folder + "\"";
        for (const std::string& option : options) commandLine_ += " \"" + option + "\"";
    }
    ~TProbe() {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }

    bool Start() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring command = win::Wide(commandLine_);
        std::wstring folder = win::Wide(Folder());
        return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                              &process_) != FALSE;
    }
    // The exit code, or -1 when the program did not end in time.
    int WaitForExit(DWORD timeoutMs = 60000) {
        if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }
    int Run() { return Start() ? WaitForExit() : -2; }

    std::string Folder() const { return dir_.Path(); }
    std::string Marker(const std::string& name) const { return Folder() + name; }
    bool HasMarker(const std::string& name) const { return FileExists(Marker(name)); }
    bool AwaitMarker(const std::string& name, DWORD timeoutMs = 20000) const {
        return WaitFor([&] { return HasMarker(name); }, timeoutMs);
    }
    crash::TLogFile Log() const { return ReadLog(Folder() + name_ + ".mlf"); }
    const std::string& CommandLine() const { return commandLine_; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    TempDir dir_;
    std::string commandLine_;
    PROCESS_INFORMATION process_ = {};
};

// The rows of the exception thread, in order.
inline std::vector<TStackRow> ExceptionRows(std::string_view report) {
    std::vector<TStackRow> rows;
    for (const TStackRow& row : StackRows(report)) {
        if (row.Thread.rfind("Exception Thread:", 0) == 0) rows.push_back(row);
    }
    return rows;
}

// Index of the first row of procedure at the source line marked by marker, from row from on;
// -1 when none.
inline int FindRow(const std::vector<TStackRow>& rows, const std::string& probe, const std::string& procedure,
                   const std::string& marker, size_t from = 0) {
    const std::string line = std::to_string(MarkedLine(ProbeSource(probe), marker));
    for (size_t i = from; i < rows.size(); ++i) {
        if (rows[i].Procedure == procedure && rows[i].Line == line &&
            rows[i].Unit == "tests/crash/capture/probes/" + probe + ".cpp")
            return static_cast<int>(i);
    }
    return -1;
}

inline std::string Describe(const std::vector<TStackRow>& rows) {
    std::string text;
    for (const TStackRow& row : rows)
        text += row.Address + " " + row.Unit + " " + row.Procedure + " " + row.Line + "\n";
    return text;
}

inline void PressHotkey(BYTE key) {
    auto send = [](BYTE vk, bool up, bool extended) {
        keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, 0)),
                    (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0), 0);
    };
    send(VK_CONTROL, false, false);
    send(VK_LWIN, false, true);
    send(key, false, false);
    send(key, true, false);
    send(VK_LWIN, true, true);
    send(VK_CONTROL, true, false);
}

}  // namespace quillan::test
