// Everything the report text is made from, gathered by the report driver. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/report_layout.h"
#include "crash/report/report_types.h"

namespace quillan::crash {

class TMishapModuleOptions;

// Items of the information sections 1 to 6, in report order (section, item).
enum class TReportItem : int {
    StartDate = 0,  // 1.1
    NameDescription,
    VersionNumber,
    Parameters,
    CompilationDate,
    ExceptionDate,  // 2.1
    ExceptionAddress,
    ExceptionModule,
    ExceptionType,
    ExceptionMessage,
    FormClass,  // 3.1
    FormText,
    ControlClass,
    ControlText,
    ComputerName,  // 4.1
    UserName,
    TotalMemory,
    FreeMemory,
    TotalDisk,
    FreeDisk,
    SystemUpTime,
    Processor,
    DisplayMode,
    OsType,  // 5.1
    OsBuild,
    OsUpdate,
    OsLanguage,
    IpAddress,  // 6.1
    Submask,
    Gateway,
    Dns1,
    Dns2,
    Dhcp,
    Count
};

// The values of sections 1 to 6, one text per item; a value nobody could gather stays empty.
struct TReportValues {
    std::array<std::string, static_cast<size_t>(TReportItem::Count)> Values;

    std::string& operator[](TReportItem item) { return Values[static_cast<size_t>(item)]; }
    const std::string& operator[](TReportItem item) const { return Values[static_cast<size_t>(item)]; }
};

// Registers and the stack and memory dump of the exception thread.
struct TCpuSnapshot {
    bool HasRegisters = false;
    std::array<TAddress, kRegisterCount> Registers{};  // indexed by TRegister
    // The dump: 16 stack slots from StackAddress and 256 bytes from MemoryAddress, present only
    // when both could be read.
    bool HasDump = false;
    TAddress StackAddress = 0;
    std::array<TAddress, 16> StackValues{};
    TAddress MemoryAddress = 0;
    std::array<uint8_t, 256> Memory{};
};

struct TReportContext {
    const TMishapModuleOptions* Options = nullptr;  // required
    const TReportLayout* Layout = &NativeLayout();
    TReportValues Values;
    std::string CustomData;  // section 7 when not empty
    TMishapStackList Stack;
    std::vector<TThreadSummary> Threads;  // the threads the stack entries name
    // The modules table; left out when empty.
    std::vector<TModuleSummary> Modules;
    TCpuSnapshot Cpu;
};

}  // namespace quillan::crash
