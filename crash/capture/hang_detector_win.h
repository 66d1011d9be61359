// The hang detector (TFreezeThread): a thread of normal priority that pings the application's
// first visible window and, when it stops answering for HangTimeout seconds, reports an
// EApplicationFrozen exception with the main thread's stack.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "crash/capture/hang_loop.h"
#include "crash/capture/report_driver.h"
#include "crash/options/options_ex.h"
#include "framework/win/handle_win.h"

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
    // The main thread suspended only while its registers and stack are copied into memory made
    // ready beforehand: it may be frozen inside the heap or the loader, which the report needs.
    // False when the thread could not be suspended or read.
    bool CopyMainThread(TExceptionCall& call);

    TReportDriver& driver_;
    const TMishapModuleOptions& options_;
    mutable std::mutex lock_;
    win::KernelHandle thread_;
    DWORD threadId_ = 0;
    win::KernelHandle stop_;
    HWND window_ = nullptr;
    // The copy of the main thread's stack, made ready when the detector starts.
    std::shared_ptr<std::vector<std::uint8_t>> stackCopy_;
};

}  // namespace quillan::crash
