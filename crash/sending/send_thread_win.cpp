#include "crash/sending/send_thread_win.h"

#include <windows.h>

#include <atomic>

#include "crash/options/options.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"

namespace quillan::crash {

namespace {

std::atomic<int> g_running{0};

struct TSendJob {
    TSendRequest Request;
    TMishapModuleOptions Options;
    std::unique_ptr<ISendPlatform> Platform;
    std::function<void(const TSendResult&)> Done;
};

DWORD CALLBACK SendThreadProc(void* parameter) {
    std::unique_ptr<TSendJob> job(static_cast<TSendJob*>(parameter));
    try {
        const TSendResult result = SendReport(job->Request, *job->Platform);
        if (!job->Request.ScreenshotFile.empty()) RemoveFile(job->Request.ScreenshotFile);
        if (job->Done) job->Done(result);
    } catch (...) {
        // Nothing may leave a thread procedure; the report itself is already in the log.
    }
    job.reset();
    --g_running;
    return 0;
}

}  // namespace

bool StartSendThread(const TSendRequest& request, std::unique_ptr<ISendPlatform> platform,
                     std::function<void(const TSendResult&)> done) {
    if (!request.Options || !platform) return false;
    auto job = std::make_unique<TSendJob>();
    job->Request = request;
    job->Options.Assign(request.Options);
    job->Options.SetModuleName(request.Options->ModuleName());
    job->Request.Options = &job->Options;
    job->Platform = std::move(platform);
    job->Done = std::move(done);
    ++g_running;
    DWORD id = 0;
    win::KernelHandle thread(CreateThread(nullptr, 0, SendThreadProc, job.get(), CREATE_SUSPENDED, &id));
    if (!thread) {
        --g_running;
        return false;
    }
    job.release();
    SetThreadPriority(thread.get(), THREAD_PRIORITY_HIGHEST);
    ResumeThread(thread.get());
    return true;
}

bool WaitForSendThreads(unsigned timeoutMs) {
    const DWORD start = GetTickCount();
    while (g_running > 0) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

}  // namespace quillan::crash
