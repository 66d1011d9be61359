// Reports for the log tests, made by the report builder from a few values.
#pragma once

#include <string>

#include "crash/options/options.h"
#include "crash/report/report_text.h"

namespace quillan::crash::test {

inline std::string MakeReport(const std::string& version, const std::string& address, const std::string& message,
                              const TMishapModuleOptions& options = TMishapModuleOptions()) {
    TReportContext context;
    context.Options = &options;
    context.Layout = &kLayout32;
    context.Values[TReportItem::StartDate] = "2024-01-02 03:04:05";
    context.Values[TReportItem::VersionNumber] = version;
    context.Values[TReportItem::ExceptionAddress] = address;
    context.Values[TReportItem::ExceptionModule] = "quillan.exe";
    context.Values[TReportItem::ExceptionType] = "EAccessViolation";
    context.Values[TReportItem::ExceptionMessage] = message;
    TMishapStackEntry entry;
    entry.Kind = TStackKind::LineTable;
    entry.ThreadId = 100;
    entry.Address = 0x401234;
    entry.ModuleFile = "C:\\App\\quillan.exe";
    entry.UnitName = "Main";
    entry.ProcedureName = "N1Click";
    entry.Line = 12;
    context.Stack.push_back(entry);
    return BuildReportText(context);
}

}  // namespace quillan::crash::test
