#include "crash/report/report_text.h"

#include "crash/options/options.h"
#include "crash/report/log_item.h"
#include "crash/report/tables.h"

namespace quillan::crash {

std::string InformationSections(const TReportContext& context) {
    const TMishapModuleOptions& options = *context.Options;
    TLogItem log(options);
    size_t value = 0;
    for (int section = 0; section < 6; ++section) {
        log.BeginSection(options.Text(kReportSections[section].Title));
        int first = static_cast<int>(kReportSections[section].FirstLabel);
        for (int item = 0; item < kDetailSectionItems[static_cast<size_t>(section)]; ++item)
            log.AddItem(options.Text(first + item), context.Values.Values[value++]);
    }
    if (!context.CustomData.empty()) {
        log.BeginSection(options.Text(TMishapText::OtherHeader));
        log.AddItem("", context.CustomData);
    }
    return log.Text();
}

std::string BuildReportText(const TReportContext& context) {
    const TMishapModuleOptions& options = *context.Options;
    std::string text = "MishapLog ";
    text += kMishapLogVersion;
    text += "\r\n\r\n";
    text += InformationSections(context);
    text += CallStackTable(options, context.Stack, context.Threads, *context.Layout);
    if (!context.Modules.empty()) text += ModulesTable(options, context.Modules, *context.Layout);
    text += CpuSection(options, context.Cpu, *context.Layout);
    return text;
}

}  // namespace quillan::crash
