#include "crash/report/gatherers.h"

#include <cstdio>

#include "crash/report/date_text.h"
#include "framework/core/convert.h"
#include "framework/core/file_io.h"

namespace quillan::crash {

namespace {

std::string Count(uint64_t n, const char* unit) { return std::to_string(n) + " " + unit + (n == 1 ? "" : "s"); }

template <typename F>
void Guarded(F&& part) {
    try {
        part();
    } catch (...) {
        // A part that fails leaves its values empty; the report goes on without them.
    }
}

}  // namespace

std::string UpTimeText(uint64_t seconds) {
    return Count(seconds / 3600, "hour") + ", " + Count(seconds / 60 % 60, "minute") + ", " +
           Count(seconds % 60, "second");
}

std::string DisplayModeText(int width, int height, int bitsPerPixel) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d x %d, %d bit", width, height, bitsPerPixel);
    return buffer;
}

std::string MegabytesText(uint64_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " MB"; }

std::string DhcpText(bool enabled, const std::string& server) {
    return (enabled ? "ON              - " : "OFF             - ") + server;
}

std::string MaskedControlText(const std::string& className, bool passwordStyle, const std::string& text) {
    if (!passwordStyle || AsciiUpperCase(Trim(className)).find("EDIT") == std::string::npos) return text;
    return std::string(text.size(), '*');
}

void GatherReportValues(TReportValues& values, ISystemGatherer& system, const TApplicationFacts& application,
                        const TExceptionFacts& exception, const TActiveControls& controls,
                        const TReportLayout& layout) {
    Guarded([&] {
        if (application.StartTime != 0) values[TReportItem::StartDate] = DateTimeText(application.StartTime);
        if (application.CompilationDate != 0)
            values[TReportItem::CompilationDate] = DateTimeText(application.CompilationDate);
    });
    Guarded([&] { system.Application(values, application); });
    Guarded([&] {
        values[TReportItem::ExceptionDate] = DateTimeText(exception.Time);
        values[TReportItem::ExceptionAddress] = HexText(exception.Address, layout);
        values[TReportItem::ExceptionModule] = ExtractFileName(exception.ModuleFile);
        values[TReportItem::ExceptionType] = exception.ClassName.empty() ? kUnknownExceptionType : exception.ClassName;
        values[TReportItem::ExceptionMessage] = exception.Message.empty() ? kUnknownErrorMessage : exception.Message;
    });
    Guarded([&] {
        values[TReportItem::FormClass] = controls.FormClass;
        values[TReportItem::FormText] = controls.FormText;
        values[TReportItem::ControlClass] = controls.ControlClass;
        values[TReportItem::ControlText] = controls.ControlText;
    });
    Guarded([&] { system.Computer(values); });
    Guarded([&] { system.OperatingSystem(values); });
    Guarded([&] { system.Network(values); });
}

}  // namespace quillan::crash
