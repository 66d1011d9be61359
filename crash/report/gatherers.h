// The values of the information sections 1 to 6. What the report driver knows of the exception
// comes in as facts; what only the system knows comes from an ISystemGatherer (the Windows one is
// system_gatherer_win.h). A value that cannot be had stays empty: no failure fails a report.
#pragma once

#include <cstdint>
#include <string>

#include "crash/report/report_context.h"

namespace quillan::crash {

// Known to the driver when a report starts.
struct TApplicationFacts {
    double StartTime = 0;        // when the process started (days since 1899-12-30); 0: unknown
    double CompilationDate = 0;  // build date of the module data; 0: none
    std::string RunningVersion;  // the executable's version, as item 1.3 shows it
};

struct TExceptionFacts {
    double Time = 0;  // report time
    TAddress Address = 0;
    std::string ModuleFile;  // module holding the address; empty when none
    std::string ClassName;   // empty: "Unknown exception type."
    std::string Message;     // empty: "Unknown error message."
};

// The active form and the focused control, taken on the faulting thread.
struct TActiveControls {
    std::string FormClass, FormText, ControlClass, ControlText;
};

inline constexpr const char* kUnknownExceptionType = "Unknown exception type.";
inline constexpr const char* kUnknownErrorMessage = "Unknown error message.";
inline constexpr const char* kUnknownProcessor = "Unknown processor";

// What only the system knows. Each call fills its items and leaves the ones it cannot get empty.
class ISystemGatherer {
public:
    virtual ~ISystemGatherer() = default;
    virtual void Application(TReportValues& values, const TApplicationFacts& facts) = 0;  // 1.2 to 1.4
    virtual void Computer(TReportValues& values) = 0;                                     // 4.x
    virtual void OperatingSystem(TReportValues& values) = 0;                              // 5.x
    virtual void Network(TReportValues& values) = 0;                                      // 6.x
};

// Every section: the facts, then each part of the gatherer, each one guarded so that a failing
// part leaves only its own values empty.
void GatherReportValues(TReportValues& values, ISystemGatherer& system, const TApplicationFacts& application,
                        const TExceptionFacts& exception, const TActiveControls& controls,
                        const TReportLayout& layout = NativeLayout());

// Value texts the gatherers share.
std::string UpTimeText(uint64_t seconds);                              // "2 hours, 5 minutes, 1 second"
std::string DisplayModeText(int width, int height, int bitsPerPixel);  // "1280 x 1024, 32 bit"
std::string MegabytesText(uint64_t bytes);                             // "8192 MB"
std::string DhcpText(bool enabled, const std::string& server);         // "ON              - 10.0.0.1"
// The control's text, or "*" for each of its characters when it is a password edit.
std::string MaskedControlText(const std::string& className, bool passwordStyle, const std::string& text);

}  // namespace quillan::crash
