#include "engine/menu/foreground.h"

#include <windows.h>
#include <tlhelp32.h>

#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/text.h"

namespace quillan {

namespace {

using TSnapshot = HANDLE(WINAPI*)(DWORD, DWORD);
using TThreadWalk = BOOL(WINAPI*)(HANDLE, THREADENTRY32*);
using TProcessWalk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);

HANDLE WINAPI NoSnapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
BOOL WINAPI NoThread(HANDLE, THREADENTRY32*) { return FALSE; }
BOOL WINAPI NoProcess(HANDLE, PROCESSENTRY32W*) { return FALSE; }

// Tool Help is looked up by name, so that a kernel32 without it leaves the name empty instead of
// keeping the program from starting.
struct TToolHelp {
    win::TProcLibrary Kernel{L"kernel32.dll", win::TProcLibrary::TOpen::Loaded};
    win::TProc<TSnapshot> CreateSnapshot{Kernel, "CreateToolhelp32Snapshot", &NoSnapshot};
    win::TProc<TThreadWalk> ThreadFirst{Kernel, "Thread32First", &NoThread};
    win::TProc<TThreadWalk> ThreadNext{Kernel, "Thread32Next", &NoThread};
    win::TProc<TProcessWalk> ProcessFirst{Kernel, "Process32FirstW", &NoProcess};
    win::TProc<TProcessWalk> ProcessNext{Kernel, "Process32NextW", &NoProcess};

    win::KernelHandle Take(DWORD what) {
        HANDLE snapshot = CreateSnapshot.Get()(what, 0);
        return win::KernelHandle(snapshot == INVALID_HANDLE_VALUE ? nullptr : snapshot);
    }
};

TToolHelp& ToolHelp() {
    static TToolHelp table;
    return table;
}

}  // namespace

uint32_t GetThreadProcessId(uint32_t threadId) {
    TToolHelp& help = ToolHelp();
    win::KernelHandle snapshot = help.Take(TH32CS_SNAPTHREAD);
    if (!snapshot) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = help.ThreadFirst.Get()(snapshot.get(), &entry); ok;
         ok = help.ThreadNext.Get()(snapshot.get(), &entry)) {
        if (entry.th32ThreadID == threadId) return entry.th32OwnerProcessID;
    }
    return 0;
}

std::string GetProcessExeName(uint32_t threadId) {
    DWORD processId = GetThreadProcessId(threadId);
    // Process id 0 is the idle process's entry, not a thread's owner.
    if (processId == 0) return {};
    TToolHelp& help = ToolHelp();
    win::KernelHandle snapshot = help.Take(TH32CS_SNAPPROCESS);
    if (!snapshot) return {};
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = help.ProcessFirst.Get()(snapshot.get(), &entry); ok;
         ok = help.ProcessNext.Get()(snapshot.get(), &entry)) {
        if (entry.th32ProcessID != processId) continue;
        std::wstring_view name(entry.szExeFile, MAX_PATH);
        return win::Narrow(name.substr(0, name.find(L'\0')));
    }
    return {};
}

std::string GetWindowAppName(void* window) {
    if (!window) return {};
    DWORD threadId = GetWindowThreadProcessId(static_cast<HWND>(window), nullptr);
    return threadId ? GetProcessExeName(threadId) : std::string();
}

std::string GetForegroundAppName() { return GetWindowAppName(GetForegroundWindow()); }

}  // namespace quillan
