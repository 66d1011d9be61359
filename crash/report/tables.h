// The call-stack table, the modules table and the CPU section of a report. Platform-free.
#pragma once

#include <string>
#include <vector>

#include "crash/report/report_context.h"
#include "crash/report/report_layout.h"
#include "crash/report/report_types.h"

namespace quillan::crash {

class TMishapModuleOptions;

// Whether the call-stack table lists an entry of this kind: line-table entries always, plain
// exports with StackFlags bit 0, package exports with bit 1.
bool StackKindListed(const TMishapModuleOptions& options, TStackKind kind);

// "Call Stack Information:", then the table of the listed entries (kind 4 always, kind 2 with
// StackFlags bit 0, kind 3 with bit 1) with a thread line wherever the thread changes, ended by
// its dash line and an empty line. threads supplies ID, priority, class and main flag.
std::string CallStackTable(const TMishapModuleOptions& options, const TMishapStackList& stack,
                           const std::vector<TThreadSummary>& threads, const TReportLayout& layout);

// "Modules Information:" and one row per module, in the given order.
std::string ModulesTable(const TMishapModuleOptions& options, const std::vector<TModuleSummary>& modules,
                         const TReportLayout& layout);

// The registers, stack and memory dump (LogFlags bit 5), or only the section's title line.
std::string CpuSection(const TMishapModuleOptions& options, const TCpuSnapshot& cpu, const TReportLayout& layout);

}  // namespace quillan::crash
