#include "crash/capture/mishaplog_win.h"

#include <memory>

#include "crash/capture/cpp_exception.h"
#include "crash/capture/exception_object_win.h"
#include "crash/capture/fault_handlers_win.h"
#include "crash/capture/hang_detector_win.h"
#include "crash/capture/internal_texts.h"
#include "crash/capture/throw_site_win.h"
#include "crash/options/current_options.h"
#include "crash/options/shared_block_win.h"
#include "crash/stack/threads_list_win.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"

namespace quillan::crash {

namespace {

// The process-wide state, made by the start-up and freed by the shut-down.
struct TMishapLogState {
    TProcessModulePlatform modulePlatform;
    TMishapModulesList modules{modulePlatform};
    TWinCapturePlatform platform{modules, modulePlatform};
    TMishapModuleOptionsEx options;
    TReportDriver driver{platform, options};
    std::unique_ptr<TSharedOptionsBlock> sharedBlock;
    std::unique_ptr<THangDetector> hang;
    // Started by a restart after a fault, and where that fault's report went.
    bool restarted = false;
    std::string restartLog;
};

TMishapLogState* g_state = nullptr;
// Constant-initialised: a unit may set it before this one's start-up has run.
TPresentationInstaller g_installer = nullptr;

std::string CurrentDirectory() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
    return length > 0 && length <= MAX_PATH ? win::Narrow(std::wstring(buffer, length)) : std::string();
}

}  // namespace

TExceptionCall CppExceptionCall(TCppException& exception, const std::type_info* type, TAddress fallbackAddress) {
    TExceptionCall call;
    call.Exception = &exception;
    call.Module = AsAddress(GetModuleHandleW(nullptr));
    TThrowRecord record;
    bool found = FindThrowRecord(exception.ThrownObject(), type, record);
    if (!found) {
        // A conversion made in the handler (an unknown exception turned into one of ours) is not
        // the object that was thrown: the exception being handled is.
        std::exception_ptr current = std::current_exception();
        found = FindThrowRecord(ThrownObjectOf(current), current.__cxa_exception_type(), record);
    }
    if (found) {
        call.Address = record.RaiseAddress;
        call.Registers = record.Registers;
        call.Stack = StackOriginOf(record);
        // An exception carried over from another thread shows where it was thrown there.
        call.ExceptionThreadId = record.ThreadId;
    } else {
        call.Address = fallbackAddress;
    }
    return call;
}

namespace {

void LoadStartOptions(TMishapLogState& state) {
    const TAddress executable = AsAddress(GetModuleHandleW(nullptr));
    TMishapModuleOptions loaded;
    state.platform.LoadModuleOptions(executable, loaded);
    state.options.Assign(&loaded);
    state.options.SetModuleName(loaded.ModuleName());
}

}  // namespace

void MishapLogInit() {
    CriticalGuard(kInitSection, [] {
        if (g_state) return;
        auto state = std::make_unique<TMishapLogState>();
        EnterMainThread();
        state->restarted = TakeRestartNotice(state->restartLog);
        state->platform.SetStartTime(LocalNowDays());
        state->driver.SetStartDirectory(CurrentDirectory());
        state->modules.SetCallRunner(
            [driver = &state->driver](const std::function<void()>& call) { driver->RunSynchronised(call); });
        LoadStartOptions(*state);
        state->sharedBlock = std::make_unique<TSharedOptionsBlock>(GetModuleHandleW(nullptr));
        state->options.SetPublisher(state->sharedBlock.get());
        state->hang = std::make_unique<THangDetector>(state->driver, state->options);
        state->options.SetHangControl(state->hang.get());
        g_state = state.release();
        SetCurrentMishapLogOptions(&g_state->options);
        if (g_installer) g_installer(g_state->platform, g_state->driver);

        // The interception points.
        win::Application().SetExceptionHooks(&ReportFrameworkException, &ReportFrameworkException);
        g_state->platform.PrepareReportThread();
        InstallFaultHandlers(g_state->driver);

        if (g_state->options.Enabled() && g_state->options.HangDetection()) g_state->hang->Start();
    });
}

void MishapLogDone() {
    CriticalGuard(kDoneSection, [] {
        if (!g_state) return;
        g_state->driver.WaitForReport();
        g_state->driver.SetActive(false);
        g_state->options.SetHangControl(nullptr);
        g_state->hang->Stop();
        win::Application().SetExceptionHooks(nullptr, nullptr);
        RemoveFaultHandlers();
        SetCurrentMishapLogOptions(nullptr);
        g_state->options.SetPublisher(nullptr);
        // Threads of the program may still run and fail while the process ends: the state stays
        // allocated, inactive.
    });
}

TReportDriver* MishapLogDriver() { return g_state ? &g_state->driver : nullptr; }

TWinCapturePlatform* MishapLogPlatform() { return g_state ? &g_state->platform : nullptr; }

void MishapLogReleaseBeforeRestart(HANDLE handle) {
    if (g_state) g_state->platform.ReleaseBeforeRestart(handle);
}

bool MishapLogTakeRestartNotice(std::string& logPath) {
    if (!g_state || !g_state->restarted) return false;
    g_state->restarted = false;
    logPath = g_state->restartLog;
    return true;
}

void SetPresentationInstaller(TPresentationInstaller installer) {
    g_installer = installer;
    if (g_state && installer) installer(g_state->platform, g_state->driver);
}

unsigned char ExceptionManagerEntry(const void* object, const void* address, int hostKind, HMODULE module) {
    if (!g_state || !object) return 1;
    // Anything else the caller may hand over is not ours to read as an exception: it goes back
    // to the caller's own handling.
    const std::exception* e = AsExceptionObject(object);
    if (!e) return 1;
    TCppException exception(*e);
    TExceptionCall call = CppExceptionCall(exception, &typeid(*e), AsAddress(address));
    if (address) call.Address = AsAddress(address);
    call.HostKind = hostKind == 1   ? THostKind::Framework
                    : hostKind == 2 ? THostKind::FrameworkEvent
                                    : THostKind::RunTime;
    if (module) call.Module = AsAddress(module);
    return g_state->driver.ExceptionManager(call);
}

bool ReportFrameworkException(const std::exception& e) {
    if (!g_state) return false;
    TCppException exception(e);
    TExceptionCall call = CppExceptionCall(exception, &typeid(e), AsAddress(__builtin_return_address(0)));
    call.HostKind = THostKind::Framework;
    return g_state->driver.ExceptionManager(call) == 0;
}

void EndAfterFatalReport() {
    if (g_state) g_state->driver.TerminateOrRestart();
    TerminateProcess(GetCurrentProcess(), 1);
    for (;;) Sleep(INFINITE);
}

}  // namespace quillan::crash
