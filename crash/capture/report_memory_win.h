// Memory for the threads that make reports, reserved at start-up apart from the heaps. A thread
// that fails while it holds the C run-time's heap lock (or the process heap's) would otherwise
// stop its own report at the first allocation. Every C++ allocation (operator new) of a report
// thread comes from here; other threads use the run-time's heap as before.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillan::crash {

// Reserves the memory (once). False when the system gave none: reports then use the heap.
bool ReserveReportMemory();
// The calling thread is one of the report's (at most 16): it allocates from the reserved memory
// from now on, and the threads library's state of the thread is made now, not at a fault.
void EnterReportThread();
// A report thread was started: AwaitReportThreads waits until it has entered.
void ExpectReportThread();
// Waits until every expected report thread has entered (a fault right after start-up must find
// them ready). False after timeoutMs.
bool AwaitReportThreads(unsigned long timeoutMs);
// A fatal report is under way: report threads no longer give the heap back what they free of
// it (the faulting thread may hold its lock); the process ends soon.
void SetReportMemoryFatal();

}  // namespace quillan::crash
