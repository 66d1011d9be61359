// The machine's side of the report values, gathered through the Windows calls.
#pragma once

#include <windows.h>

#include <string>

#include "crash/report/gatherers.h"

namespace quillan::crash {

class TWindowsSystemGatherer : public ISystemGatherer {
public:
    // executableFile: the program whose name, version and parameters section 1 shows; its drive
    // is the disk of items 4.5 and 4.6.
    explicit TWindowsSystemGatherer(std::string executableFile);

    void Application(TReportValues& values, const TApplicationFacts& facts) override;
    void Computer(TReportValues& values) override;
    void OperatingSystem(TReportValues& values) override;
    void Network(TReportValues& values) override;

private:
    std::string executable_;
};

// Item 1.3 of a file: the version resource's file version; empty without one.
std::string FileVersionText(const std::string& file);

// The program's parameters: its command line without the program name.
std::string CommandLineParameters();

// The active form and the focused control of the calling thread (class names and texts, at most
// 256 characters each; a password edit's text masked). Call it on the faulting thread.
TActiveControls CaptureActiveControls();

// The version as ntdll reports it (GetVersionEx answers what the manifest allows); false, info
// zeroed but for its size, when ntdll does not say.
bool RealVersion(RTL_OSVERSIONINFOEXW& info);

// The name of a Windows version as item 5.1 shows it ("Windows 10"); empty when unknown.
std::string WindowsTypeName(unsigned major, unsigned minor, unsigned build, bool workstation);

}  // namespace quillan::crash
