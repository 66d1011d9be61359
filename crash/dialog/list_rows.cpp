#include "crash/dialog/list_rows.h"

#include <algorithm>

#include "crash/options/options.h"
#include "crash/report/date_text.h"
#include "crash/report/tables.h"
#include "framework/core/convert.h"
#include "framework/core/file_io.h"

namespace quillan::crash {

namespace {

std::string HeaderText(const TMishapModuleOptions& options, const TMishapStackEntry& entry, bool first,
                       const std::vector<TThreadSummary>& threads) {
    const TMishapText word = first                 ? TMishapText::ExceptionThread
                             : entry.RunningThread ? TMishapText::RunningThread
                                                   : TMishapText::CallingThread;
    auto thread =
        std::find_if(threads.begin(), threads.end(), [&](const TThreadSummary& t) { return t.Id == entry.ThreadId; });
    const bool known = thread != threads.end();
    std::string text = options.Text(word) + ": " + options.Text(TMishapText::ThreadId) + "=" +
                       std::to_string(entry.ThreadId) + "; " + options.Text(TMishapText::ThreadPriority) + "=" +
                       (known ? thread->Priority : std::string());
    if (known && !thread->ClassName.empty())
        text += "; " + options.Text(TMishapText::ThreadClass) + "=" + thread->ClassName;
    if (known && thread->Main) text += "; [" + options.Text(TMishapText::MainThread) + "]";
    return text;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char e, char t) { return AsciiLower(t) == e; });
}

}  // namespace

std::vector<TMishapText> CallStackColumns() {
    return {TMishapText::StackAddress, TMishapText::StackModule,    TMishapText::StackUnit,
            TMishapText::StackClass,   TMishapText::StackProcedure, TMishapText::StackLine};
}

std::vector<TMishapText> ModuleColumns() {
    return {TMishapText::ModuleHandle,  TMishapText::ModuleName, TMishapText::ModuleDescription,
            TMishapText::ModuleVersion, TMishapText::ModuleSize, TMishapText::ModulePath,
            TMishapText::ModuleModified};
}

TRowIcon StackEntryIcon(const TMishapStackEntry& entry) {
    switch (entry.Kind) {
        case TStackKind::PlainExport:
            return TRowIcon::Dll;
        case TStackKind::PackageExport:
            return TRowIcon::Pkg;
        case TStackKind::LineTable: {
            std::string unit = entry.UnitName;
            std::replace(unit.begin(), unit.end(), '\\', '/');
            return unit.rfind("framework/", 0) == 0 ? TRowIcon::Fwk : TRowIcon::Src;
        }
        default:
            return TRowIcon::None;
    }
}

std::vector<TListRow> CallStackRows(const TMishapModuleOptions& options, const TMishapStackList& stack,
                                    const std::vector<TThreadSummary>& threads, const TReportLayout& layout) {
    std::vector<TListRow> rows;
    int group = -1;
    uint32_t thread = 0;
    for (const TMishapStackEntry& entry : stack) {
        if (!StackKindListed(options, entry.Kind)) continue;
        if (group < 0 || entry.ThreadId != thread) {
            ++group;
            thread = entry.ThreadId;
            TListRow header;
            header.Header = true;
            header.Group = group;
            header.Text = HeaderText(options, entry, group == 0, threads);
            rows.push_back(std::move(header));
        }
        TListRow row;
        row.Group = group;
        row.Icon = StackEntryIcon(entry);
        std::string line;
        if (entry.Line != 0) {
            line = std::to_string(entry.Line);
            if (options.StackFlags() & skLineOffset) line += "[" + std::to_string(entry.LineOffset) + "]";
        }
        row.Cells = {HexText(entry.Address, layout),
                     ExtractFileName(entry.ModuleFile),
                     entry.UnitName,
                     entry.ClassName,
                     entry.ProcedureName,
                     line};
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<TListRow> ModuleRows(const std::vector<TModuleSummary>& modules, const TMishapStackList& stack,
                                 const TReportLayout& layout) {
    std::vector<TListRow> rows;
    rows.reserve(modules.size());
    for (const TModuleSummary& module : modules) {
        TListRow row;
        const bool ownSources = std::any_of(stack.begin(), stack.end(), [&](const TMishapStackEntry& e) {
            return e.Kind == TStackKind::LineTable && e.ModuleHandle == module.Handle;
        });
        row.Icon = ownSources ? TRowIcon::Src : EndsWithNoCase(module.Path, ".bpl") ? TRowIcon::Pkg : TRowIcon::Dll;
        row.Cells = {
            HexText(module.Handle, layout), ExtractFileName(module.Path), module.Description,           module.Version,
            std::to_string(module.Size),    ExtractFilePath(module.Path), DateTimeText(module.Modified)};
        rows.push_back(std::move(row));
    }
    return rows;
}

TGroupedRows::TGroupedRows(std::vector<TListRow> rows) : rows_(std::move(rows)) {
    int groups = 0;
    for (const TListRow& row : rows_) groups = std::max(groups, row.Group + 1);
    closed_.assign(static_cast<size_t>(groups), false);
    Refresh();
}

bool TGroupedRows::Closed(int group) const {
    return group >= 0 && static_cast<size_t>(group) < closed_.size() && closed_[static_cast<size_t>(group)];
}

bool TGroupedRows::Toggle(size_t visibleIndex) {
    if (visibleIndex >= visible_.size()) return false;
    const TListRow& row = rows_[visible_[visibleIndex]];
    if (!row.Header) return false;
    SetClosed(row.Group, !Closed(row.Group));
    return true;
}

void TGroupedRows::SetClosed(int group, bool closed) {
    if (group < 0 || static_cast<size_t>(group) >= closed_.size()) return;
    closed_[static_cast<size_t>(group)] = closed;
    Refresh();
}

void TGroupedRows::Refresh() {
    visible_.clear();
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].Header || !Closed(rows_[i].Group)) visible_.push_back(i);
    }
}

}  // namespace quillan::crash
