#include "crash/stack/stack_walker_win.h"

#include <algorithm>

#include "crash/stack/threads_list_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/proc_table_win.h"

namespace quillan::crash {
namespace {

// Control and integer registers (and segments): 0x10007 on i686.
constexpr DWORD kContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_SEGMENTS;

struct TThreadBasicInformation {
    LONG ExitStatus;
    PVOID TebBaseAddress;
    PVOID UniqueProcess;
    PVOID UniqueThread;
    ULONG_PTR AffinityMask;
    LONG Priority;
    LONG BasePriority;
};
using TNtQueryInformationThread = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

LONG NTAPI NoThreadInformation(HANDLE, ULONG, PVOID, ULONG, PULONG) { return -1; }

// At namespace scope, not in a function's static: the walk runs on the fault path, where a
// first-use guard would take a lock (PrepareStackWalk resolves the table at start-up).
win::TProcLibrary gNtdll(L"ntdll.dll", win::TProcLibrary::TOpen::Loaded);
win::TProc<TNtQueryInformationThread> gQueryInformationThread(gNtdll, "NtQueryInformationThread", &NoThreadInformation);

TAddress InstructionPointer(const CONTEXT& context) {
#if defined(_WIN64)
    return context.Rip;
#else
    return context.Eip;
#endif
}

TAddress StackPointer(const CONTEXT& context) {
#if defined(_WIN64)
    return context.Rsp;
#else
    return context.Esp;
#endif
}

// Suspends a thread for as long as the object lives.
class TSuspension {
public:
    explicit TSuspension(HANDLE thread) : thread_(thread), suspended_(SuspendThread(thread) != DWORD(-1)) {}
    ~TSuspension() {
        if (suspended_) ResumeThread(thread_);
    }
    TSuspension(const TSuspension&) = delete;
    TSuspension& operator=(const TSuspension&) = delete;
    bool Suspended() const { return suspended_; }

private:
    HANDLE thread_;
    bool suspended_;
};

}  // namespace

void PrepareStackWalk() { gNtdll.Resolve(); }

TAddress ThreadStackTop(HANDLE thread) {
    TThreadBasicInformation information{};
    if (gQueryInformationThread.Get()(thread, 0, &information, sizeof information, nullptr) < 0) return 0;
    // The thread information block starts the thread's environment block.
    TProcessMemoryReader memory;
    NT_TIB tib;
    if (!memory.Read(reinterpret_cast<uintptr_t>(information.TebBaseAddress), &tib, sizeof tib)) return 0;
    return reinterpret_cast<uintptr_t>(tib.StackBase);
}

TStackWalker::TStackWalker(TMishapModulesList& modules) : modules_(modules) {
    // Two scans of a suspended thread (its stack and its recorded raise point) and a first address.
    found_.reserve(2 * MaxScanAddresses(kNativeCallArch) + 1);
}

void TStackWalker::Resolve(TMishapStackList& list, std::uint32_t threadId, bool currentThread) {
    const size_t first = list.size();
    AppendResolved(list, found_, threadId, currentThread,
                   [this](TAddress address, TMishapStackEntry& entry) { modules_.Resolve(address, entry); });
    HideRepeats(list, first);
}

void TStackWalker::ScanParts(TAddress stackPointer, TAddress stackTop, const TRecordedStack* recorded) {
    IMemoryReader* stack = &stack_;
    std::optional<TOverlayMemoryReader> overlay;
    if (recorded && !recorded->Copy.empty()) {
        overlay.emplace(recorded->Start, recorded->Copy, stack_);
        stack = &*overlay;
    }
    const TAddress start = recorded ? recorded->Start : 0;
    const TAddress end = recorded ? recorded->Start + recorded->Length : 0;
    // Deepest part first, as the stack runs: the recorded range below the stack pointer, the
    // stack, the recorded range beyond the stack.
    if (recorded && start < stackPointer) {
        ScanStack(kNativeCallArch, *stack, code_, start, std::min(end, stackPointer), found_);
    }
    ScanStack(kNativeCallArch, *stack, code_, stackPointer, stackTop, found_);
    if (recorded && start >= stackTop && start > stackPointer) {
        ScanStack(kNativeCallArch, *stack, code_, start, end, found_);
    }
}

void TStackWalker::BuildCallStack(TMishapStackList& list, std::optional<TAddress> firstAddress, TAddress stackPointer,
                                  bool currentThread, std::uint32_t threadId, TAddress stackTop,
                                  const TRecordedStack* recorded) {
    found_.clear();
    if (firstAddress) found_.push_back(*firstAddress);
    ScanParts(stackPointer, stackTop, recorded);
    Resolve(list, threadId, currentThread);
}

void TStackWalker::AddExceptionThread(TMishapStackList& list, const TExceptionStack& exception) {
    const bool current = exception.ThreadId == GetCurrentThreadId();
    found_.clear();
    if (exception.Address) found_.push_back(exception.Address);
    if (current) {
        ScanParts(exception.StackPointer ? exception.StackPointer : CurrentStackPointer(),
                  exception.StackTop ? exception.StackTop : CurrentStackTop(), exception.Recorded);
    } else {
        win::KernelHandle thread(OpenThread(kThreadsListAccess, FALSE, exception.ThreadId));
        TAddress top = exception.StackTop;
        if (!top && thread) top = ThreadStackTop(thread.get());
        if (exception.StackPointer) {
            ScanParts(exception.StackPointer, top, exception.Recorded);
        } else if (thread) {
            // Nothing recorded: where the thread is now.
            TSuspension suspension(thread.get());
            CONTEXT context{};
            context.ContextFlags = kContextFlags;
            if (suspension.Suspended() && GetThreadContext(thread.get(), &context)) {
                ScanParts(StackPointer(context), top, exception.Recorded);
            }
        }
    }
    Resolve(list, exception.ThreadId, current);
}

bool TStackWalker::ScanSuspended(const TMishapThreadEntry& thread) {
    const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(thread.Handle));
    if (!handle) return false;
    const TAddress top = thread.StackTop ? thread.StackTop : ThreadStackTop(handle);
    // While the thread is suspended nothing here allocates: it may hold the heap's lock.
    TSuspension suspension(handle);
    if (!suspension.Suspended()) return false;
    CONTEXT context{};
    context.ContextFlags = kContextFlags;
    if (!GetThreadContext(handle, &context) || InstructionPointer(context) == 0) return false;
    const TAddress stackPointer = StackPointer(context);
    ScanStack(kNativeCallArch, stack_, code_, stackPointer, top, found_);
    return true;
}

void TStackWalker::AddOtherThreads(TMishapStackList& list, const TThreadsSnapshot& threads, std::uint8_t stackFlags,
                                   std::uint32_t exceptionThreadId) {
    for (const TMishapThreadEntry& thread : threads.Entries()) {
        if (thread.Id == exceptionThreadId || !StackWalkWanted(thread, stackFlags)) continue;
        const bool current = thread.Id == GetCurrentThreadId();
        found_.clear();
        if (current) {
            // A thread cannot suspend itself; its stack above this frame holds still.
            ScanStack(kNativeCallArch, stack_, code_, CurrentStackPointer(),
                      thread.StackTop ? thread.StackTop : CurrentStackTop(), found_);
        } else if (!ScanSuspended(thread)) {
            continue;
        }
        Resolve(list, thread.Id, current);
    }
}

}  // namespace quillan::crash
