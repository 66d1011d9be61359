// The hang detector (TFreezeThread): a thread of normal priority that pings the application's
// first visible window and, when it stops answering for HangTimeout seconds, reports an
// EApplicationFrozen exception with the main thread's stack.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "crash/capture/hang_loop.h"
#include "crash/capture/report_driver.h"
#include "crash/options/options_ex.h"

namespace quillan::crash {

class THangDetector : public IHangDetectorControl, private IHangProbe {
public:
    // Reads HangTimeout and HangMessage from options when it starts and reports.
    THangDetector(TReportDriver& driver, const TMishapModuleOptions& options);
    ~THangDetector() override;
    THangDetector(const THangDetector&) = delete;
    THangDetector& operator=(const THangDetector&) = delete;

    // Starts the thread unless it runs.
    void Start() override;
    // Tells the thread to stop and waits for it (unless called on it).
    void Stop() override;
    bool Running() const;

private:
    static DWORD WINAPI ThreadProc(LPVOID self);
    bool FindWindow() override;
    TPing Ping() override;
    bool Wait(unsigned ms) override;
    bool StopRequested() override;
    void ReportFrozen() override;

    TReportDriver& driver_;
    const TMishapModuleOptions& options_;
    mutable std::mutex lock_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE stop_ = nullptr;
    HWND window_ = nullptr;
};

}  // namespace quillan::crash
