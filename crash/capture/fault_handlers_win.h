// The interception points for failures a C++ program cannot go on from: C++ exceptions nobody
// catches (std::terminate, any thread), processor and system faults (the unhandled-exception
// filter, and a vectored handler for the codes that never reach it), abort() and SIGABRT. Each
// is reported, then the process restarts or ends as TerminateAction says.
#pragma once

#include "crash/capture/report_driver.h"

namespace quillan::crash {

// Installs every point and starts the relay thread that builds a fault's report, so that a
// thread that overflowed its stack still gets one; on 64-bit Windows (and WOW64) it also turns
// off the system filter that swallows faults inside window procedures.
void InstallFaultHandlers(TReportDriver& driver);
// Restores the previous filter, terminate handler and signal handler; stops the relay thread.
void RemoveFaultHandlers();

// The fault codes the vectored handler takes: those the unhandled-exception filter never sees.
bool FatalFirstChanceCode(unsigned long code);

}  // namespace quillan::crash
