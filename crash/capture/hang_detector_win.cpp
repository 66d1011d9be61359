#include "crash/capture/hang_detector_win.h"

#include <algorithm>
#include <cstring>

#include "crash/capture/capture_errors.h"
#include "crash/capture/cpp_exception.h"
#include "crash/stack/stack_scan.h"
#include "crash/stack/threads_list_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/stack.h"
#include "framework/win/window_win.h"

namespace quillan::crash {

THangDetector::THangDetector(TReportDriver& driver, const TMishapModuleOptions& options)
    : driver_(driver), options_(options) {}

THangDetector::~THangDetector() { Stop(); }

void THangDetector::Start() {
    std::lock_guard<std::mutex> lock(lock_);
    if (thread_) return;
    if (!stackCopy_) {
        stackCopy_ = std::make_shared<std::vector<std::uint8_t>>();
        stackCopy_->reserve(kStackScanLimit);
    }
    stop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_) return;
    thread_.reset(CreateThread(nullptr, 0, &ThreadProc, this, 0, &threadId_));
    if (!thread_) stop_.reset();
}

void THangDetector::Stop() {
    win::KernelHandle stop;
    win::KernelHandle thread;  // closed first
    {
        std::lock_guard<std::mutex> lock(lock_);
        thread = std::move(thread_);
        stop = std::move(stop_);
    }
    if (!thread) return;
    SetEvent(stop.get());
    // Options changed by the detector's own report (an event handler) must not wait for itself.
    if (GetCurrentThreadId() != GetThreadId(thread.get())) WaitForSingleObject(thread.get(), INFINITE);
}

bool THangDetector::Running() const {
    std::lock_guard<std::mutex> lock(lock_);
    return static_cast<bool>(thread_);
}

DWORD WINAPI THangDetector::ThreadProc(LPVOID raw) {
    auto* self = static_cast<THangDetector*>(raw);
    win::ReleaseUnusedStack();
    try {
        RunHangDetector(*self, self->options_.HangTimeout());
    } catch (...) {
        // The detector ends; the program goes on without it.
    }
    return 0;
}

bool THangDetector::FindWindow() {
    window_ = win::FirstVisibleWindowOf(GetCurrentProcessId());
    return window_ != nullptr;
}

IHangProbe::TPing THangDetector::Ping() {
    if (!IsWindow(window_)) return TPing::Gone;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_BLOCK, 50, &result)) return TPing::Answered;
    return IsWindow(window_) ? TPing::NoAnswer : TPing::Gone;
}

bool THangDetector::Wait(unsigned ms) {
    HANDLE stop = nullptr;
    {
        std::lock_guard<std::mutex> lock(lock_);
        stop = stop_.get();
    }
    return stop && WaitForSingleObject(stop, ms) == WAIT_TIMEOUT;
}

bool THangDetector::StopRequested() { return !Wait(0); }

bool THangDetector::CopyMainThread(TExceptionCall& call) {
    // Nothing here may allocate, take a lock or load anything while the main thread is suspended.
    auto& copy = *stackCopy_;
    win::KernelHandle main(OpenThread(kThreadsListAccess, FALSE, MainThreadId()));
    if (!main || SuspendThread(main.get()) == DWORD(-1)) return false;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_SEGMENTS;
    bool read = GetThreadContext(main.get(), &context) != FALSE;
#if defined(_WIN64)
    const TAddress ip = context.Rip, sp = context.Rsp;
    call.Registers.Registers = {context.Rax, context.Rbx, context.Rcx, context.Rdx,
                                context.Rdi, context.Rsi, context.Rsp, context.Rip};
#else
    const TAddress ip = context.Eip, sp = context.Esp;
    call.Registers.Registers = {context.Eax, context.Ebx, context.Ecx, context.Edx,
                                context.Edi, context.Esi, context.Esp, context.Eip};
#endif
    read = read && ip != 0 && sp != 0;
    copy.clear();
    if (read) {
        // The committed stack from the stack pointer up, as far as the scan goes.
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(sp), &region, sizeof region) == sizeof region &&
            region.State == MEM_COMMIT && (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0) {
            const TAddress end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
            const size_t size = static_cast<size_t>(std::min<TAddress>(end - sp, copy.capacity()));
            copy.resize(size);  // within the capacity made ready: no allocation
            std::memcpy(copy.data(), reinterpret_cast<const void*>(sp), size);
        }
    }
    ResumeThread(main.get());
    if (!read) return false;
    call.Registers.Present = true;
    call.Address = ip;
    call.Stack.StackPointer = sp;
    return true;
}

void THangDetector::ReportFrozen() {
    // A report still holding the last copy keeps it; this one gets memory of its own.
    if (!stackCopy_ || stackCopy_.use_count() > 1) {
        stackCopy_ = std::make_shared<std::vector<std::uint8_t>>();
        stackCopy_->reserve(kStackScanLimit);
    }
    TExceptionCall call;
    if (!CopyMainThread(call)) return;
    // The report is built from the copy while the main thread runs on.
    if (!stackCopy_->empty()) call.Stack.Saved = stackCopy_;
    EApplicationFrozen frozen(options_.HangMessage());
    TCppException exception(frozen);
    call.Exception = &exception;
    call.HostKind = THostKind::RunTime;
    call.Module = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    call.FromHangDetector = true;
    try {
        driver_.ExceptionManager(call);
    } catch (...) {
        // The report guards itself; the detector goes on.
    }
}

}  // namespace quillan::crash
