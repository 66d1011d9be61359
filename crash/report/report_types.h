// The crash reporter's shared vocabulary: one found code location of a call stack, and what a
// report needs of a thread and of a module. Filled by the stack walker and the module list, read
// by the report text, the log, the dialog and sending. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillan::crash {

// An address or handle of the process a report describes; wide enough for both builds.
using TAddress = std::uint64_t;

// A pointer of this process as a TAddress.
inline TAddress AsAddress(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

// How far an address could be resolved; the numbers are the ones options and tables use.
enum class TStackKind : std::uint8_t {
    Unknown = 0,        // unknown address, or a repeat hidden by the scan
    InModule = 1,       // inside a known module, not resolved
    PlainExport = 2,    // a plain exported name of a DLL
    PackageExport = 3,  // a mangled exported name of a package
    LineTable = 4,      // resolved through the module's own line tables
};

// One found code location (an entry of TMishapStackList).
struct TMishapStackEntry {
    TStackKind Kind = TStackKind::Unknown;
    TAddress ModuleHandle = 0;
    std::string ModuleFile;  // the module's file name with its folder; empty when no module
    std::uint32_t ThreadId = 0;
    bool RunningThread = false;  // the thread that builds the report
    TAddress Address = 0;
    std::string UnitName;
    std::string ClassName;
    std::string ProcedureName;
    int Line = 0;        // 0: unknown
    int LineOffset = 0;  // lines from the procedure's first line; never negative
};
using TMishapStackList = std::vector<TMishapStackEntry>;

// What the report text needs of one thread of the threads list.
struct TThreadSummary {
    std::uint32_t Id = 0;
    std::string Priority;   // as the thread line shows it
    std::string ClassName;  // the thread object's class; empty when not known
    bool Main = false;
};

// What the report text needs of one module.
struct TModuleSummary {
    TAddress Handle = 0;
    std::string Path;  // file name with its folder
    std::string Description;
    std::string Version;
    std::uint64_t Size = 0;
    double Modified = 0;  // days since 1899-12-30, local time
};

}  // namespace quillan::crash
