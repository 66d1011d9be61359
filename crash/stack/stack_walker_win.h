// The call stacks of a report on Windows: the exception thread's from its raise address and
// recorded stack, and the other listed threads' from their suspended contexts. Every found
// address is resolved through the modules list.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "crash/moduledata/memory_reader_win.h"
#include "crash/moduledata/modules_list.h"
#include "crash/report/report_types.h"
#include "crash/stack/stack_scan.h"
#include "crash/stack/threads_list.h"

namespace quillan::crash {

// Part of a thread's stack recorded when it raised an exception.
struct TRecordedStack {
    TAddress Start = 0;
    TAddress Length = 0;
    // The bytes from Start as they were then (Length of them). Empty: the range is read live.
    // A copy stands in for the live stack wherever it covers it, so frames unwound since the
    // raise are still found.
    std::vector<std::uint8_t> Copy;
};

// The exception thread's part of a report.
struct TExceptionStack {
    std::uint32_t ThreadId = 0;
    TAddress Address = 0;       // the exception (raise) address, listed first; 0: none
    TAddress StackPointer = 0;  // recorded at raise time; 0: the thread's current one
    TAddress StackTop = 0;      // 0: the thread's own, looked up
    const TRecordedStack* Recorded = nullptr;
};

// One walker per report: it keeps the memory regions it has asked about.
class TStackWalker {
public:
    explicit TStackWalker(TMishapModulesList& modules);

    // Build a call stack: appends the first address (when given), then the stack from
    // stackPointer up to stackTop, resolved, repeats hidden. The recorded range, when given,
    // stands in for the live bytes it covers (a copy) and is scanned as well where it lies
    // outside that part. The thread must be the calling one or not run meanwhile.
    void BuildCallStack(TMishapStackList& list, std::optional<TAddress> firstAddress, TAddress stackPointer,
                        bool currentThread, std::uint32_t threadId, TAddress stackTop,
                        const TRecordedStack* recorded = nullptr);

    // The exception thread. Another thread than the calling one is read without suspending it:
    // it waits for the report, and the stack above its raise point does not change.
    void AddExceptionThread(TMishapStackList& list, const TExceptionStack& exception);

    // Every other thread of the snapshot that stackFlags select (bit 2: the main thread and
    // threads of our thread classes, bit 3: other threads): suspended, its context read, its
    // stack scanned from the stack pointer (and from its recorded raise point when that lies
    // deeper), resumed; then resolved. The calling thread is scanned in place. A thread that
    // cannot be suspended or read is left out.
    void AddOtherThreads(TMishapStackList& list, const TThreadsSnapshot& threads, std::uint8_t stackFlags,
                         std::uint32_t exceptionThreadId);

private:
    void ScanParts(TAddress stackPointer, TAddress stackTop, const TRecordedStack* recorded);
    void Resolve(TMishapStackList& list, std::uint32_t threadId, bool currentThread);
    bool ScanSuspended(const TMishapThreadEntry& thread);

    TMishapModulesList& modules_;
    TProcessMemoryReader stack_;
    TProcessMemoryReader code_;
    std::vector<TAddress> found_;  // reserved once, so a scan of a suspended thread allocates nothing
};

// The stack top (stack base in the thread information block) of a thread; 0 when unknown.
TAddress ThreadStackTop(HANDLE thread);
// Looks up what ThreadStackTop calls; done at start-up, so that a walk on the fault path takes no
// lock and allocates nothing for it. A walk without it looks up at its first call.
void PrepareStackWalk();
// The calling function's frame address: above it lie its return address and its callers' frames.
[[gnu::always_inline]] inline TAddress CurrentStackPointer() {
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

}  // namespace quillan::crash
