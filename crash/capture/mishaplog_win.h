// The crash reporter in the running process: its start-up and shut-down, and every interception
// point that hands an exception to ExceptionManager (the application's exception handling,
// uncaught C++ exceptions, processor and system faults, abort(), a frozen main window).
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "crash/capture/capture_platform_win.h"
#include "crash/capture/cpp_exception.h"
#include "crash/capture/report_driver.h"

namespace quillan::crash {

// Start-up: the modules list, the current options (the executable's, carried in its module data),
// the threads list with the main thread, then the interception points, then the hang detector.
// Any failure leaves as EMishapLogError "Critical error at: "MishapLog.Init" ...".
void MishapLogInit();
// Shut-down: waits for a report in progress, stops the hang detector, removes the interception
// points. Failures as above with "MishapLog.Done".
void MishapLogDone();

// The running library's parts, for the host program and later pieces of the library; null
// when it is not active.
TReportDriver* MishapLogDriver();
TWinCapturePlatform* MishapLogPlatform();

// A handle closed right before a restart starts the program again (its single-instance mutex).
void MishapLogReleaseBeforeRestart(HANDLE handle);
// True once when this process was started by a restart after a fault: logPath is the log that
// holds that fault's report (empty when unknown).
bool MishapLogTakeRestartNotice(std::string& logPath);

// The rest of the library (the crash dialog, the web page, sending) joins the report flow by
// filling the platform's presentation hooks: installer runs at once when the library is running,
// else at its start-up, so the order of the units' initialisation does not matter.
using TPresentationInstaller = void (*)(TWinCapturePlatform& platform, TReportDriver& driver);
void SetPresentationInstaller(TPresentationInstaller installer);

// The body of the exported ExceptionManager: object is a C++ exception (const std::exception*)
// of this module; anything else is not consumed (result 1). Result as ExceptionManager's.
unsigned char ExceptionManagerEntry(const void* object, const void* address, int hostKind, HMODULE module);

// The application's HandleException and ShowException hook (host kind 1): true when the library
// dealt with the exception.
bool ReportFrameworkException(const std::exception& e);

// The call for a C++ exception: its throw site when the throw was recorded (by object, of type
// when given), else fallbackAddress and the current stack.
TExceptionCall CppExceptionCall(TCppException& exception, const std::type_info* type, TAddress fallbackAddress);

// Ends the process after a fatal report: restarts it first when TerminateAction is 1.
[[noreturn]] void EndAfterFatalReport();

}  // namespace quillan::crash
