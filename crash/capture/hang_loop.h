// The hang detector's loop: pings the application's first visible window and reports it frozen
// when it has not answered for the timeout. Platform-free: the probe does the window work.
#pragma once

#include <cstdint>

namespace quillan::crash {

class IHangProbe {
public:
    enum class TPing { Answered, NoAnswer, Gone };
    virtual ~IHangProbe() = default;
    // Looks for the first visible top-level window of the process and keeps it; false when none.
    virtual bool FindWindow() = 0;
    // Sends WM_NULL to the kept window and waits at most 50 ms for the answer.
    virtual TPing Ping() = 0;
    // Sleeps ms milliseconds; false when the detector was told to stop (possibly earlier).
    virtual bool Wait(unsigned ms) = 0;
    virtual bool StopRequested() = 0;
    // Reports the application frozen (the main thread's stack) and returns when the report is done.
    virtual void ReportFrozen() = 0;
};

// Runs until told to stop. Each ping that fails counts 50 ms; an answer resets the count and is
// followed by up to five 50 ms sleeps. At timeoutSeconds the application is reported and counting
// starts over. A window that went away is looked for again instead of being counted as frozen.
void RunHangDetector(IHangProbe& probe, std::uint32_t timeoutSeconds);

}  // namespace quillan::crash
