#include "engine/menu/foreground.h"

#include <windows.h>
#include <tlhelp32.h>

#include "framework/win/handle.h"
#include "framework/win/text.h"

namespace quillan {

namespace {

// Tool Help is looked up by name once, so that a kernel32 without it leaves the
// name empty instead of keeping the program from starting.
struct TToolHelp {
    using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
    using ThreadWalk = BOOL(WINAPI*)(HANDLE, THREADENTRY32*);
    using ProcessWalk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);

    Snapshot CreateSnapshot = nullptr;
    ThreadWalk ThreadFirst = nullptr;
    ThreadWalk ThreadNext = nullptr;
    ProcessWalk ProcessFirst = nullptr;
    ProcessWalk ProcessNext = nullptr;

    TToolHelp() {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        if (!kernel) return;
        CreateSnapshot = Lookup<Snapshot>(kernel, "CreateToolhelp32Snapshot");
        ThreadFirst = Lookup<ThreadWalk>(kernel, "Thread32First");
        ThreadNext = Lookup<ThreadWalk>(kernel, "Thread32Next");
        ProcessFirst = Lookup<ProcessWalk>(kernel, "Process32FirstW");
        ProcessNext = Lookup<ProcessWalk>(kernel, "Process32NextW");
    }

    template <typename Fn>
    static Fn Lookup(HMODULE module, const char* name) {
        // FARPROC to a typed pointer goes through void(*)() to keep -Wcast-function-type quiet.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }

    win::KernelHandle Take(DWORD what) const {
        if (!CreateSnapshot) return {};
        HANDLE snapshot = CreateSnapshot(what, 0);
        return win::KernelHandle(snapshot == INVALID_HANDLE_VALUE ? nullptr : snapshot);
    }
};

const TToolHelp& ToolHelp() {
    static const TToolHelp instance;
    return instance;
}

}  // namespace

uint32_t GetThreadProcessId(uint32_t threadId) {
    const TToolHelp& help = ToolHelp();
    if (!help.ThreadFirst || !help.ThreadNext) return 0;
    win::KernelHandle snapshot = help.Take(TH32CS_SNAPTHREAD);
    if (!snapshot) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = help.ThreadFirst(snapshot.get(), &entry); ok; ok = help.ThreadNext(snapshot.get(), &entry)) {
        if (entry.th32ThreadID == threadId) return entry.th32OwnerProcessID;
    }
    return 0;
}

std::string GetProcessExeName(uint32_t threadId) {
    DWORD processId = GetThreadProcessId(threadId);
    // Process id 0 is the idle process's entry, not a thread's owner.
    if (processId == 0) return {};
    const TToolHelp& help = ToolHelp();
    if (!help.ProcessFirst || !help.ProcessNext) return {};
    win::KernelHandle snapshot = help.Take(TH32CS_SNAPPROCESS);
    if (!snapshot) return {};
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = help.ProcessFirst(snapshot.get(), &entry); ok; ok = help.ProcessNext(snapshot.get(), &entry)) {
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
