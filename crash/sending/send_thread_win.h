// TSendThread: the send step on a thread of its own (SendFlags bit 7), so the report ends at once.
#pragma once

#include <functional>
#include <memory>

#include "crash/sending/send_platform.h"
#include "crash/sending/send_report.h"

namespace quillan::crash {

// Starts the send step on a new thread at the highest priority and returns without waiting; the
// thread frees itself when it ends. The thread owns copies of the request and of its options.
// After sending it deletes the request's screenshot file (the driver, no longer waiting, cannot)
// and calls done, when set, with the result. False when the thread could not be started: nothing
// was sent.
bool StartSendThread(const TSendRequest& request, std::unique_ptr<ISendPlatform> platform,
                     std::function<void(const TSendResult&)> done = {});

// Waits at most timeoutMs for every send thread to end; true when none is left.
bool WaitForSendThreads(unsigned timeoutMs);

}  // namespace quillan::crash
