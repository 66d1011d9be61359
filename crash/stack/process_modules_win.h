// The modules section of a report: every module loaded in the process, listed through psapi
// when it is there, else through the Tool Help snapshot of kernel32.
#pragma once

#include <vector>

#include "crash/moduledata/module_platform.h"
#include "crash/report/report_types.h"

namespace quillan::crash {

enum class TModuleEnumeration {
    Automatic,  // psapi, else Tool Help
    Psapi,      // EnumProcessModules of "PSAPI.DLL" only
    ToolHelp,   // CreateToolhelp32Snapshot, Module32First and Module32Next of "kernel32.dll" only
};

// Handle, path, description, version, size and date of each module, in load order; empty when
// the way asked for is not available. Names, versions and file data come from platform.
std::vector<TModuleSummary> ProcessModules(IModulePlatform& platform,
                                           TModuleEnumeration how = TModuleEnumeration::Automatic);

}  // namespace quillan::crash
