#include "crash/capture/fault_handlers_win.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <exception>

#include "crash/capture/capture_errors.h"
#include "crash/capture/capture_platform_win.h"
#include "crash/capture/cpp_exception.h"
#include "crash/capture/mishaplog_win.h"
#include "crash/capture/report_memory_win.h"
#include "crash/capture/report_watchdog_win.h"
#include "crash/capture/throw_site_win.h"
#include "crash/stack/stack_walker_win.h"
#include "crash/stack/threads_list_win.h"
#include "framework/win/proc_table_win.h"
#include "framework/win/stack.h"

extern "C" {
[[noreturn]] void __real_abort();
[[noreturn]] void __wrap_abort();
}

namespace quillan::crash {

namespace {

TReportDriver* g_driver = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;
PVOID g_vectored = nullptr;
std::terminate_handler g_previousTerminate = nullptr;
using TSignalHandler = void (*)(int);
TSignalHandler g_previousAbort = SIG_DFL;

// A fault's report is built by this thread, started at start-up: the faulting thread may have
// only the few kilobytes above its stack's guard page left, so it does no more than copy the
// record, wake the relay and wait.
// Plain data, zero before any code runs: the library starts from another unit's static
// initialisation, which may come before this unit's.
struct TFaultRelay {
    HANDLE Thread;
    DWORD ThreadId;  // the relay's own
    HANDLE Request;
    HANDLE Done;
    volatile LONG Busy;
    volatile LONG Stop;
    EXCEPTION_RECORD Record;
    CONTEXT Context;
    DWORD FaultingThreadId;
    bool ForFailedWaiter;  // the faulting thread held the report lock, waiting for a report
    bool Reported;
};
TFaultRelay g_relay;

void ContextRegisters(const CONTEXT& c, TRegisterSnapshot& r) {
    r.Present = true;
#if defined(_WIN64)
    r.Registers = {c.Rax, c.Rbx, c.Rcx, c.Rdx, c.Rdi, c.Rsi, c.Rsp, c.Rip};
#else
    r.Registers = {c.Eax, c.Ebx, c.Ecx, c.Edx, c.Edi, c.Esi, c.Esp, c.Eip};
#endif
}

// Reports the fault in the relay's buffers; ends the process when it was reported.
bool ReportRelayedFault() {
    if (!g_driver) return false;
    const EXCEPTION_RECORD& record = g_relay.Record;
    const TAddress address = AsAddress(record.ExceptionAddress);
    const TAddress kind = record.NumberParameters > 0 ? record.ExceptionInformation[0] : 0;
    const TAddress accessed = record.NumberParameters > 1 ? record.ExceptionInformation[1] : 0;
    auto fault = MakeSystemException(record.ExceptionCode, address, kind, accessed);
    TCppException exception(*fault);
    TExceptionCall call;
    call.Exception = &exception;
    call.Address = address;
    call.HostKind = THostKind::RunTime;
    call.Module = AsAddress(GetModuleHandleW(nullptr));
    call.ExceptionThreadId = g_relay.FaultingThreadId;
    ContextRegisters(g_relay.Context, call.Registers);
    call.Stack.StackPointer = call.Registers.Registers[rgSp];
    const unsigned char result =
        g_relay.ForFailedWaiter ? g_driver->ReportForFailedWaiter(call) : g_driver->ExceptionManager(call);
    if (result != 0) return false;
    EndAfterFatalReport();
}

DWORD WINAPI RelayThread(LPVOID) {
    TReportDriver::PrepareThread();
    EnterReportThread();
    for (;;) {
        // Idle between reports: what a report used of the stack goes back.
        win::ReleaseUnusedStack();
        WaitForSingleObject(g_relay.Request, INFINITE);
        if (g_relay.Stop) return 0;
        try {
            g_relay.Reported = ReportRelayedFault();
        } catch (...) {
            g_relay.Reported = false;
        }
        SetEvent(g_relay.Done);
    }
}

// The faulting thread's part: as little stack as possible.
bool RelayFault(EXCEPTION_POINTERS* info) {
    if (!g_driver || !g_driver->Active() || g_driver->Excluded(GetCurrentThreadId())) return false;
    // The relay itself failed while it hands a fault on (in a host event run on it, say): that
    // fault holds the relay, so neither can be reported. The program ends as configured instead
    // of waiting for itself forever.
    if (g_relay.Thread && GetCurrentThreadId() == g_relay.ThreadId) EndAfterFatalReport();
    // From here the process ends within the bound, reported or not.
    ArmReportWatchdog(true);
    SetReportMemoryFatal();
    // One fault at a time; a second faulting thread waits (the first one's report usually ends
    // the process).
    while (InterlockedCompareExchange(&g_relay.Busy, 1, 0) != 0) Sleep(10);
    std::memcpy(&g_relay.Record, info->ExceptionRecord, sizeof(EXCEPTION_RECORD));
    std::memcpy(&g_relay.Context, info->ContextRecord, sizeof(CONTEXT));
    g_relay.FaultingThreadId = GetCurrentThreadId();
    // A fault in a message dispatched while this thread waits for a report: it holds the report
    // lock and will never take that report's result. The report goes on without it (what it would
    // have run for the report runs on the report thread), and this fault is reported after it.
    g_relay.ForFailedWaiter = g_driver->WaitingThread() == GetCurrentThreadId();
    if (g_relay.ForFailedWaiter) {
        g_driver->WaiterFailed();
        AwaitReportInProgress();
    }
    bool reported = false;
    if (g_relay.Thread) {
        SetEvent(g_relay.Request);
        // The relay's end too: a relay that died sets no event.
        HANDLE waits[2] = {g_relay.Done, g_relay.Thread};
        reported = WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 && g_relay.Reported;
    } else {
        reported = ReportRelayedFault();
    }
    InterlockedExchange(&g_relay.Busy, 0);
    return reported;
}

// A terminate or abort on a thread that waits for a report (in a message it dispatched): the
// report in progress ends first, then this one is made without the lock the waiting frame keeps.
unsigned char ReportFatal(const TExceptionCall& call) {
    if (g_driver->WaitingThread() != GetCurrentThreadId()) return g_driver->ExceptionManager(call);
    g_driver->WaiterFailed();
    AwaitReportInProgress();
    return g_driver->ReportForFailedWaiter(call);
}

LONG ChainFilter(EXCEPTION_POINTERS* info) {
    return g_previousFilter ? g_previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// GCC's own exception codes ("GCC" in the low bytes) are the C++ run-time's business: the
// run-time's filter continues them so that an uncaught exception reaches std::terminate.
bool GccCode(DWORD code) { return (code & 0x20FFFFFF) == 0x20474343; }

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (GccCode(code) || code == EXCEPTION_BREAKPOINT || code == EXCEPTION_SINGLE_STEP) return ChainFilter(info);
    // The report thread failed: its report goes on, reduced.
    if (ResumeGuardedReportThread(info)) return EXCEPTION_CONTINUE_EXECUTION;
    RelayFault(info);
    return ChainFilter(info);
}

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS* info) {
    if (FatalFirstChanceCode(info->ExceptionRecord->ExceptionCode)) RelayFault(info);
    return EXCEPTION_CONTINUE_SEARCH;
}

// abort(), from the program (through the link-time wrapper) or from the C run-time (SIGABRT).
// returnAddress is where the call that got here returns to, callLength that call's length in
// bytes (0 when its form is unknown: the address stays the return address).
bool ReportAbort(const void* returnAddress, const void* const* frame, int callLength) {
    if (!g_driver) return false;
    ArmReportWatchdog(true);
    EAbnormalTermination abortion("Abnormal program termination.");
    TCppException exception(abortion);
    TExceptionCall call;
    call.Exception = &exception;
    call.HostKind = THostKind::RunTime;
    call.Module = AsAddress(GetModuleHandleW(nullptr));
    call.Mode = GetCurrentThreadId() == MainThreadId() ? TReportMode::Unhandled : TReportMode::Thread;
    CaptureRegisters(call.Registers);
    if (returnAddress) {
        call.Address = AsAddress(returnAddress) - static_cast<TAddress>(callLength);
        call.Stack.StackPointer = CallerStackPointer(returnAddress, frame);
        call.Registers.Registers[rgIp] = call.Address;
        call.Registers.Registers[rgSp] = call.Stack.StackPointer;
    }
    return ReportFatal(call) == 0;
}

void OnAbortSignal(int) {
    // Called by the run-time's raise(): the report starts there, and the scan finds raise()'s
    // caller above it.
    if (ReportAbort(__builtin_return_address(0), static_cast<void* const*>(__builtin_frame_address(0)), 0))
        EndAfterFatalReport();
    // Not reported: the run-time's own abort goes on.
    std::signal(SIGABRT, g_previousAbort);
}

// Uncaught C++ exceptions of every thread: std::terminate runs on the throwing thread before
// anything is unwound (or, past a noexcept boundary, after its throw was recorded).
[[noreturn]] void OnTerminate() {
    static thread_local bool inside = false;
    if (!inside && g_driver) {
        inside = true;
        ArmReportWatchdog(true);
        bool reported = false;
        try {
            std::exception_ptr current = std::current_exception();
            std::unique_ptr<EAbnormalTermination> none;
            std::unique_ptr<TCppException> exception;
            if (current) {
                exception = std::make_unique<TCppException>(current);
            } else {
                none = std::make_unique<EAbnormalTermination>("Terminate called without an active exception.");
                exception = std::make_unique<TCppException>(*none);
            }
            TExceptionCall call = CppExceptionCall(*exception, current ? current.__cxa_exception_type() : nullptr,
                                                   AsAddress(__builtin_return_address(0)));
            call.HostKind = THostKind::RunTime;
            call.Mode = GetCurrentThreadId() == MainThreadId() ? TReportMode::Unhandled : TReportMode::Thread;
            reported = ReportFatal(call) == 0;
        } catch (...) {
            reported = false;
        }
        if (reported) EndAfterFatalReport();
    }
    if (g_previousTerminate) g_previousTerminate();
    __real_abort();
}

// 64-bit Windows (and 32-bit programs on it) may swallow a fault in a window procedure called
// back from the kernel; the process's policy makes it an ordinary unhandled fault instead.
// Systems without the policy (before Windows 7 SP1, and Wine) have nothing to change.
BOOL WINAPI NoPolicy(LPDWORD) { return FALSE; }

struct TExceptionPolicy {
    win::TProcLibrary Kernel{L"kernel32.dll", win::TProcLibrary::TOpen::Loaded};
    win::TProc<BOOL(WINAPI*)(LPDWORD)> Get{Kernel, "GetProcessUserModeExceptionPolicy", &NoPolicy};
    win::TProc<BOOL(WINAPI*)(DWORD)> Set{Kernel, "SetProcessUserModeExceptionPolicy"};
};

void ReportFaultsInCallbacks() {
    static TExceptionPolicy policy;
    const DWORD kCallbackFilterEnabled = 0x1;
    DWORD flags = 0;
    if (policy.Set.Found() && policy.Get.Get()(&flags)) policy.Set.Get()(flags & ~kCallbackFilterEnabled);
}

}  // namespace

bool FatalFirstChanceCode(unsigned long code) {
    return code == kStatusHeapCorruption || code == kStatusStackBufferOverrun || code == kStatusFailFast;
}

void InstallFaultHandlers(TReportDriver& driver) {
    g_driver = &driver;
    // What a report needs, made ready before any fault: its memory, the watchdog, and the first
    // use of the driver's locks (the threads library allocates a lock at its first use).
    ReserveReportMemory();
    StartReportWatchdog(driver);
    (void)driver.Excluded(0);
    (void)driver.LastError();
    driver.WaitForReport();
    driver.RunSynchronised([] {});
    g_relay.Request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_relay.Done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (g_relay.Request && g_relay.Done)
        g_relay.Thread = CreateThread(nullptr, 0, &RelayThread, nullptr, 0, &g_relay.ThreadId);
    if (g_relay.Thread) ExpectReportThread();
    g_previousTerminate = std::set_terminate(&OnTerminate);
    g_previousFilter = SetUnhandledExceptionFilter(&UnhandledFilter);
    g_vectored = AddVectoredExceptionHandler(1, &VectoredHandler);
    g_previousAbort = std::signal(SIGABRT, &OnAbortSignal);
    if (g_previousAbort == SIG_ERR) g_previousAbort = SIG_DFL;
    ReportFaultsInCallbacks();
    PrepareStackWalk();
    AwaitReportThreads(5000);
}

void RemoveFaultHandlers() {
    std::signal(SIGABRT, g_previousAbort);
    if (g_vectored) RemoveVectoredExceptionHandler(g_vectored);
    g_vectored = nullptr;
    SetUnhandledExceptionFilter(g_previousFilter);
    std::set_terminate(g_previousTerminate);
    if (g_relay.Thread) {
        InterlockedExchange(&g_relay.Stop, 1);
        SetEvent(g_relay.Request);
        WaitForSingleObject(g_relay.Thread, 5000);
        CloseHandle(g_relay.Thread);
        g_relay.Thread = nullptr;
    }
    g_driver = nullptr;
}

}  // namespace quillan::crash

extern "C" void __wrap_abort() {
    // The unwinder's abort() after a rethrow that nobody catches: that exception is what failed.
    // Once only: the terminate handler it falls back to may call abort() again.
    static std::atomic<bool> asTerminate{false};
    if (quillan::crash::RethrowInFlight() && !asTerminate.exchange(true)) quillan::crash::OnTerminate();
    // Reached by a direct call (5 bytes).
    if (quillan::crash::ReportAbort(__builtin_return_address(0), static_cast<void* const*>(__builtin_frame_address(0)),
                                    5))
        quillan::crash::EndAfterFatalReport();
    __real_abort();
}
