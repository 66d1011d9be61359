#include "crash/capture/capture_platform_win.h"

#include <shellapi.h>

#include <algorithm>

#include "crash/capture/report_driver.h"
#include "crash/capture/report_memory_win.h"
#include "crash/capture/report_watchdog_win.h"
#include "crash/capture/sync_slot.h"
#include "crash/moduledata/memory_reader_win.h"
#include "crash/options/options.h"
#include "crash/packaging/png_writer.h"
#include "crash/packaging/screenshot_win.h"
#include "crash/report/date_text.h"
#include "crash/report/system_gatherer_win.h"
#include "crash/stack/process_modules_win.h"
#include "crash/stack/stack_walker_win.h"
#include "crash/stack/threads_list_win.h"
#include "framework/clipboard/clipboard_win.h"
#include "framework/core/exceptions.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"
#include "framework/win/stack.h"
#include "framework/win/text.h"
#include "framework/win/window_win.h"

namespace quillan::crash {

namespace {

HMODULE AsModule(TAddress handle) { return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(handle)); }
HWND AsWindow(TAddress handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }

// The subsystem named in the executable's optional header.
WORD ExecutableSubsystem() {
    auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem;
}

// A window's text without sending it a message: the window's thread may be the one that is
// frozen or waiting for this report.
std::string WindowText(HWND hwnd) {
    wchar_t buffer[257] = {};
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        GetWindowTextW(hwnd, buffer, 257);
    } else {
        InternalGetWindowText(hwnd, buffer, 257);
    }
    return win::Narrow(buffer);
}

std::string WindowClass(HWND hwnd) {
    wchar_t buffer[257] = {};
    GetClassNameW(hwnd, buffer, 257);
    return win::Narrow(buffer);
}

bool IsInputMessage(UINT message) {
    return (message >= 0x100 && message <= 0x102) || (message >= 0x104 && message <= 0x106) ||
           (message >= 0x201 && message <= 0x209) || (message >= 0xA1 && message <= 0xA9);
}

// At most 11 queued messages of the waiting main thread; input is answered with a beep.
void PumpWhileWaiting() {
    MSG msg;
    for (int i = 0; i < 11 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) continue;
        if (IsInputMessage(msg.message)) {
            MessageBeep(0);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The report thread (TExceptionThread), started before any report: a thread started at the
// time of a fault would need the loader lock and the process heap, which the faulting thread
// may hold. Plain data, zero before any code runs.
struct TReportWorker {
    HANDLE Thread;
    DWORD Id;
    HANDLE Job;
    HANDLE Done;
    volatile LONG Busy;
    const std::function<int()>* Body;
    int Result;
};
TReportWorker g_worker;

// The report thread's guard against processor faults. A fault inside a run of the report
// (memory that vanished after it was checked, a failing hook) is turned by the unhandled-exception
// filter into a jump back to the guard, which runs the report again, reduced; a fault there too
// ends the run. Plain data, zero before any code runs.
struct TReportGuard {
    void* Jump[5];  // __builtin_setjmp's buffer
    volatile LONG Active;
    void* volatile ExceptionList;  // the thread's registration chain when the guard was set
    volatile int Attempt;
};
TReportGuard g_guard;
// The few hundred bytes the jump back needs, apart from a stack that may have overflowed.
alignas(16) unsigned char g_guardStack[16 * 1024];

void* CurrentExceptionList() {
#if defined(_WIN64)
    return nullptr;  // no registration chain: unwinding is table-based
#else
    void* list = nullptr;
    asm volatile("movl %%fs:0, %0" : "=r"(list));
    return list;
#endif
}

void SetExceptionList(void* list) {
#if defined(_WIN64)
    (void)list;
#else
    asm volatile("movl %0, %%fs:0" : : "r"(list) : "memory");
#endif
}

[[noreturn]] void BackToTheGuard() { __builtin_longjmp(g_guard.Jump, 1); }

[[gnu::noinline]] int RunGuarded(const std::function<int()>& body) {
    g_guard.Attempt = 0;
    g_guard.ExceptionList = CurrentExceptionList();
    if (__builtin_setjmp(g_guard.Jump) != 0) {
        // Back from a fault: the frames in between are abandoned, their registrations with them.
        SetExceptionList(g_guard.ExceptionList);
        ResetReportWatchdogPause();
        OutputDebugStringA("[WARNING] - the report thread failed; a reduced report follows");
    }
    if (g_guard.Attempt >= 2) return 0;
    g_guard.Attempt = g_guard.Attempt + 1;
    int result = 0;
    InterlockedExchange(&g_guard.Active, 1);
    try {
        result = body();
    } catch (...) {
        // The pipeline guards itself; nothing may leave a thread procedure.
        result = 0;
    }
    InterlockedExchange(&g_guard.Active, 0);
    return result;
}

DWORD WINAPI ReportWorkerProc(LPVOID) {
    TReportDriver::PrepareThread();
    EnterReportThread();
    for (;;) {
        // Idle between reports: what a report used of the stack goes back.
        win::ReleaseUnusedStack();
        WaitForSingleObject(g_worker.Job, INFINITE);
        g_worker.Result = RunGuarded(*g_worker.Body);
        SetEvent(g_worker.Done);
    }
}

struct TReportThreadStart {
    const std::function<int()>* Body;
    int Result;
};

DWORD WINAPI ReportThreadProc(LPVOID raw) {
    auto* start = static_cast<TReportThreadStart*>(raw);
    try {
        start->Result = (*start->Body)();
    } catch (...) {
        start->Result = 0;
    }
    return 0;
}

// While the user answers (or a step with a bound of its own runs), the report's bound waits.
class TBoundPaused {
public:
    TBoundPaused() { PauseReportWatchdog(); }
    ~TBoundPaused() { ResumeReportWatchdog(); }
    TBoundPaused(const TBoundPaused&) = delete;
    TBoundPaused& operator=(const TBoundPaused&) = delete;
};

// Serves the slot (and the main thread's queue) until one of the handles is signalled.
void WaitServing(HANDLE* handles, DWORD count, TSyncCallSlot& slot) {
    const bool main = GetCurrentThreadId() == crash::MainThreadId();
    slot.SetServed(true);
    for (;;) {
        slot.RunPending();
        if (main) PumpWhileWaiting();
        if (WaitForMultipleObjects(count, handles, FALSE, 10) != WAIT_TIMEOUT) break;
    }
    slot.SetServed(false);
    slot.RunPending();
}

// A thread of its own for one report, when the prepared one is missing or busy.
int RunOnNewThread(const std::function<int()>& body, TSyncCallSlot& slot) {
    TReportThreadStart start = {&body, 0};
    DWORD id = 0;
    static const char kClass[] = "TExceptionThread";
    win::KernelHandle owned(
        CreateTrackedThread(nullptr, 0, &ReportThreadProc, &start, CREATE_SUSPENDED, &id, &start, kClass));
    if (!owned) {
        // No thread can be started (out of resources): the report is made here.
        return body();
    }
    HANDLE thread = owned.get();
    SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    // Served before the report starts, or its first event could run on the report thread.
    slot.SetServed(true);
    ::ResumeThread(thread);
    WaitServing(&thread, 1, slot);
    return start.Result;
}

}  // namespace

bool ResumeGuardedReportThread(EXCEPTION_POINTERS* info) {
    if (!g_worker.Thread || GetCurrentThreadId() != g_worker.Id) return false;
    if (InterlockedExchange(&g_guard.Active, 0) == 0) return false;
    CONTEXT& context = *info->ContextRecord;
    const auto top = reinterpret_cast<uintptr_t>(g_guardStack + sizeof g_guardStack);
#if defined(_WIN64)
    context.Rsp = top - 8;  // as after a call
    context.Rip = reinterpret_cast<DWORD64>(&BackToTheGuard);
#else
    context.Esp = static_cast<DWORD>(top - 16);
    context.Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&BackToTheGuard));
#endif
    return true;
}

bool AwaitReportInProgress() {
    if (!g_worker.Thread || g_worker.Busy == 0) return false;
    HANDLE waits[2] = {g_worker.Done, g_worker.Thread};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    InterlockedExchange(&g_worker.Busy, 0);
    return true;
}

double LocalNowDays() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

TWinCapturePlatform::TWinCapturePlatform(TMishapModulesList& modules, TProcessModulePlatform& modulePlatform)
    : modules_(modules), modulePlatform_(modulePlatform), gatherer_(win::ModuleFileName(nullptr)) {}

std::uint32_t TWinCapturePlatform::CurrentThreadId() { return GetCurrentThreadId(); }

std::uint32_t TWinCapturePlatform::MainThreadId() { return crash::MainThreadId(); }

bool TWinCapturePlatform::GuiProcess() { return ExecutableSubsystem() == IMAGE_SUBSYSTEM_WINDOWS_GUI; }

bool TWinCapturePlatform::ConsoleProcess() { return ExecutableSubsystem() == IMAGE_SUBSYSTEM_WINDOWS_CUI; }

bool TWinCapturePlatform::DebuggerPresent() { return IsDebuggerPresent() != FALSE; }

void TWinCapturePlatform::BringApplicationToFront() {
    const HWND found = win::FirstVisibleWindowOf(GetCurrentProcessId());
    if (!found) return;
    if (IsIconic(found)) {
        // Never wait for a window whose thread does not answer: it may be the frozen one.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(found, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &ignored);
        ShowWindow(found, SW_SHOW);
        SetForegroundWindow(found);
    } else {
        SetForegroundWindow(GetLastActivePopup(found));
    }
}

TFocusedControl TWinCapturePlatform::FocusedControl(std::uint32_t threadId) {
    // The thread's input state, read without sending it anything: it may be frozen.
    TFocusedControl focus;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId, &info)) return focus;
    if (info.hwndActive) {
        focus.FormClass = WindowClass(info.hwndActive);
        focus.FormText = WindowText(info.hwndActive);
    }
    if (!info.hwndFocus) return focus;
    focus.Handle = AsAddress(info.hwndFocus);
    focus.ClassName = WindowClass(info.hwndFocus);
    focus.Text = WindowText(info.hwndFocus);
    focus.PasswordStyle = (GetWindowLongW(info.hwndFocus, GWL_STYLE) & ES_PASSWORD) != 0;
    return focus;
}

void TWinCapturePlatform::PrepareReportThread() {
    if (g_worker.Thread) return;
    g_worker.Job = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_worker.Done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_worker.Job || !g_worker.Done) return;
    static const char kClass[] = "TExceptionThread";
    g_worker.Thread = CreateTrackedThread(nullptr, 0, &ReportWorkerProc, nullptr, 0, &g_worker.Id, &g_worker, kClass);
    if (!g_worker.Thread) return;
    SetThreadPriority(g_worker.Thread, THREAD_PRIORITY_HIGHEST);
    ExpectReportThread();
}

int TWinCapturePlatform::RunReportThread(const std::function<int()>& body, TSyncCallSlot& slot) {
    ArmReportWatchdog(false);
    struct TDisarm {
        ~TDisarm() { DisarmReportWatchdog(); }
    } disarm;
    if (!g_worker.Thread || GetCurrentThreadId() == g_worker.Id ||
        InterlockedCompareExchange(&g_worker.Busy, 1, 0) != 0)
        return RunOnNewThread(body, slot);
    g_worker.Body = &body;
    slot.SetServed(true);
    SetEvent(g_worker.Job);
    // The thread too: one that ended inside the report (ExitThread in a host event) sets no event.
    HANDLE waits[2] = {g_worker.Done, g_worker.Thread};
    WaitServing(waits, 2, slot);
    if (WaitForSingleObject(g_worker.Thread, 0) == WAIT_OBJECT_0) {
        CloseHandle(g_worker.Thread);
        g_worker.Thread = nullptr;
        return 0;
    }
    const int result = g_worker.Result;
    InterlockedExchange(&g_worker.Busy, 0);
    return result;
}

double TWinCapturePlatform::Now() { return LocalNowDays(); }

std::vector<TReportThread> TWinCapturePlatform::BeginReport() {
    modules_.DropChanged();
    TMishapThreadsList& list = ProcessThreadsList();
    list.Purge();
    snapshot_ = list.Copy();
    std::vector<TReportThread> threads;
    for (const TMishapThreadEntry& entry : snapshot_.Entries()) {
        TThreadSummary summary = ThreadSummary(entry);
        TReportThread thread;
        thread.Id = entry.Id;
        thread.Main = entry.Main;
        thread.FrameworkKind = IsFrameworkThread(entry);
        thread.Priority = summary.Priority;
        thread.ClassName = summary.ClassName;
        thread.StackTop = entry.StackTop;
        threads.push_back(thread);
    }
    return threads;
}

TAddress TWinCapturePlatform::ModuleOfAddress(TAddress address) { return modulePlatform_.ModuleOfAddress(address); }

TAddress TWinCapturePlatform::ExecutableModule() { return AsAddress(GetModuleHandleW(nullptr)); }

bool TWinCapturePlatform::ModuleCarriesData(TAddress module) {
    auto entry = module ? modules_.FindByHandle(module) : nullptr;
    return entry && entry->HasBlock;
}

void TWinCapturePlatform::LoadModuleOptions(TAddress module, TMishapModuleOptions& options) {
    // The block's options overlaid by the module's shared block, read now: the module may have
    // changed its options (CurrentMishapLogOptions) since its entry was made.
    // The module's entry is not made here: at start-up only the options are wanted.
    if (!module || !modules_.LoadOptions(module, options)) options.SetModuleName(std::string());
}

std::string TWinCapturePlatform::ModuleFileName(TAddress module) {
    if (!module) return {};
    return win::ModuleFileName(AsModule(module));
}

void TWinCapturePlatform::BuildStacks(const TExceptionCall& call, std::uint32_t exceptionThreadId,
                                      std::uint8_t stackFlags, TMishapStackList& stack) {
    TStackWalker walker(modules_);
    TRecordedStack recorded;
    TExceptionStack exception;
    exception.ThreadId = exceptionThreadId;
    exception.Address = call.Address;
    exception.StackPointer = call.Stack.StackPointer;
    exception.StackTop = call.Stack.StackTop;
    if (call.Stack.Saved && !call.Stack.Saved->empty()) {
        recorded.Start = call.Stack.StackPointer;
        recorded.Length = call.Stack.Saved->size();
        recorded.Copy = *call.Stack.Saved;
        exception.Recorded = &recorded;
    }
    walker.AddExceptionThread(stack, exception);
    walker.AddOtherThreads(stack, snapshot_, stackFlags, exceptionThreadId);
}

HANDLE TWinCapturePlatform::SnapshotHandle(std::uint32_t id) const {
    const TMishapThreadEntry* entry = snapshot_.Find(id);
    return entry ? reinterpret_cast<HANDLE>(static_cast<uintptr_t>(entry->Handle)) : nullptr;
}

bool TWinCapturePlatform::SuspendThread(std::uint32_t id) {
    HANDLE handle = SnapshotHandle(id);
    return handle && ::SuspendThread(handle) != DWORD(-1);
}

void TWinCapturePlatform::ResumeThread(std::uint32_t id) {
    if (HANDLE handle = SnapshotHandle(id)) ::ResumeThread(handle);
}

void TWinCapturePlatform::GatherModules(std::vector<TModuleSummary>& modules) {
    modules = ProcessModules(modulePlatform_);
}

TApplicationFacts TWinCapturePlatform::ApplicationFacts() {
    TApplicationFacts facts;
    facts.StartTime = startTime_;
    if (auto exe = modules_.FindByHandle(ExecutableModule())) {
        facts.CompilationDate = exe->BuildDate;
        facts.RunningVersion = exe->Version;
    }
    return facts;
}

void TWinCapturePlatform::ReadCpu(const TExceptionCall& call, TCpuSnapshot& cpu) {
    cpu.HasRegisters = call.Registers.Present;
    cpu.Registers = call.Registers.Registers;
    const TAddress sp = call.Stack.StackPointer ? call.Stack.StackPointer
                                                : (call.Registers.Present ? call.Registers.Registers[rgSp] : 0);
    TProcessMemoryReader live;
    const size_t slot = sizeof(void*);
    std::vector<std::uint8_t> stackBytes(16 * slot);
    bool stackRead = false;
    if (call.Stack.Saved && call.Stack.Saved->size() >= stackBytes.size() && sp == call.Stack.StackPointer) {
        std::copy_n(call.Stack.Saved->begin(), stackBytes.size(), stackBytes.begin());
        stackRead = true;
    } else if (sp) {
        stackRead = live.Read(sp, stackBytes.data(), stackBytes.size());
    }
    if (!stackRead || !call.Address || !live.Read(call.Address, cpu.Memory.data(), cpu.Memory.size())) return;
    cpu.HasDump = true;
    cpu.StackAddress = sp;
    cpu.MemoryAddress = call.Address;
    for (size_t i = 0; i < 16; ++i) {
        std::uintptr_t value = 0;
        std::copy_n(stackBytes.begin() + static_cast<std::ptrdiff_t>(i * slot), slot,
                    reinterpret_cast<std::uint8_t*>(&value));
        cpu.StackValues[i] = value;
    }
}

bool TWinCapturePlatform::CaptureScreenshot(bool foregroundOnly, const TFocusedControl& focus) {
    screenshot_ = crash::CaptureScreenshot(foregroundOnly, AsWindow(focus.Handle));
    return screenshot_.Width > 0;
}

bool TWinCapturePlatform::SaveScreenshot(const std::string& path) {
    return screenshot_.Width > 0 && SaveScreenshotPng(screenshot_, path);
}

void TWinCapturePlatform::FreeScreenshot() { screenshot_ = TBgrxImage(); }

std::string TWinCapturePlatform::TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = win::Narrow(std::wstring(buffer, length));
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

void TWinCapturePlatform::DeleteTempFile(const std::string& path) { RemoveFile(path); }

int TWinCapturePlatform::ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TBoundPaused paused;
    return ::MessageBoxW(nullptr, win::Wide(text).c_str(), win::Wide(caption).c_str(), flags);
}

void TWinCapturePlatform::DebugOutput(const std::string& line) { OutputDebugStringA(line.c_str()); }

std::string TWinCapturePlatform::ComputerName() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(buffer, &size) ? win::Narrow(std::wstring(buffer, size)) : std::string();
}

std::string TWinCapturePlatform::ProfileFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableW(L"UserProfile", buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? win::Narrow(std::wstring(buffer, length)) : std::string();
}

void TWinCapturePlatform::WriteConsoleText(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (!out || out == INVALID_HANDLE_VALUE ||
        !WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        throw quillan::Exception(SysErrorMessage(static_cast<int>(GetLastError())));
}

TDialogOutcome TWinCapturePlatform::ShowDialog(const TReportJob& job) {
    TBoundPaused paused;
    if (Hooks.ShowDialog) return Hooks.ShowDialog(job);
    // Without the crash dialog: the message in a plain top-most box.
    const std::string caption = job.Options ? job.Options->Text(TMishapText::ErrorCaption) : "Error.";
    ShowMessageBox(job.ShownMessage, caption, MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
    return {};
}

bool TWinCapturePlatform::WebHost() { return Hooks.WebHost && Hooks.WebHost(); }

void TWinCapturePlatform::ShowWebPage(const TReportJob& job, bool fullReport) {
    if (Hooks.ShowWebPage) Hooks.ShowWebPage(job, fullReport);
}

bool TWinCapturePlatform::SendingProgressOpen() { return Hooks.SendingProgressOpen && Hooks.SendingProgressOpen(); }

bool TWinCapturePlatform::AskReproduction(const TReportJob& job, std::string& steps) {
    TBoundPaused paused;
    return Hooks.AskReproduction && Hooks.AskReproduction(job, steps);
}

void TWinCapturePlatform::CopyToClipboard(const std::string& text) {
    // The user asked for a copy; a clipboard that stays busy leaves the report in the log only.
    (void)win::CopyTextToClipboard(text);
}

void TWinCapturePlatform::Send(const TReportJob& job, bool inThread) {
    // Sending in place has its own deadline (minutes, for a slow server).
    TBoundPaused paused;
    if (Hooks.Send) Hooks.Send(job, inThread);
}

void TWinCapturePlatform::Terminate() { TerminateNow(); }

std::string TWinCapturePlatform::InternalErrorFile() {
    std::string path = win::ModuleFileName(nullptr);
    size_t dot = path.find_last_of(".\\/");
    if (dot != std::string::npos && path[dot] == '.') path.resize(dot);
    return path + ".log";
}

void TWinCapturePlatform::WriteTextFile(const std::string& path, const std::string& text) {
    AtomicWriteFile(path, text);
}

std::vector<std::uint8_t> TWinCapturePlatform::CodeBytes(TAddress address, size_t count) {
    TProcessMemoryReader memory;
    std::vector<std::uint8_t> bytes(count);
    while (!bytes.empty() && !memory.Read(address, bytes.data(), bytes.size())) bytes.pop_back();
    return bytes;
}

std::string TWinCapturePlatform::OperatingSystem() {
    RTL_OSVERSIONINFOEXW info;
    if (!RealVersion(info)) return "Windows";
    return "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " (Build " +
           std::to_string(info.dwBuildNumber) + ")";
}

bool TWinCapturePlatform::MailFile(const std::string& path, const std::string& recipient, const std::string& subject) {
    TBoundPaused paused;
    return Hooks.MailFile && Hooks.MailFile(path, recipient, subject);
}

}  // namespace quillan::crash
