// The whole text of one report. Platform-free.
#pragma once

#include <string>
#include <string_view>

#include "crash/options/texts.h"
#include "crash/report/report_context.h"

namespace quillan::crash {

// The library version a report names in its first line.
inline constexpr std::string_view kMishapLogVersion = "5.0.6 RC 6";

// Title of sections 1 to 6 and the label of their first item (the labels of a section follow
// each other in Texts): the report and the dialog's General page lay them out alike.
struct TSectionTexts {
    TMishapText Title;
    TMishapText FirstLabel;
};
inline constexpr TSectionTexts kReportSections[6] = {
    {TMishapText::Application, TMishapText::StartDate},    {TMishapText::Exception, TMishapText::ExceptionDate},
    {TMishapText::ActiveControls, TMishapText::FormClass}, {TMishapText::Computer, TMishapText::ComputerName},
    {TMishapText::OperatingSystem, TMishapText::OsType},   {TMishapText::Network, TMishapText::IpAddress},
};

// The information sections 1 to 6 (and 7 when CustomData is given).
std::string InformationSections(const TReportContext& context);

// Header line and empty line, information sections, call-stack table, modules table (when any
// module is given), CPU section. Ends with a line break.
std::string BuildReportText(const TReportContext& context);

}  // namespace quillan::crash
