#include "crash/report/tables.h"

#include <algorithm>
#include <cstdio>

#include "crash/options/options.h"
#include "crash/report/date_text.h"
#include "framework/core/file_io.h"

namespace quillan::crash {

namespace {

// A table of fixed columns with full-width lines (the thread lines) between its rows.
class TextTable {
public:
    explicit TextTable(std::vector<std::string> titles) : widths_(titles.size()) { AddRow(std::move(titles)); }
    void SetMinimumWidth(size_t column, size_t width) { widths_[column] = std::max(widths_[column], width); }
    void AddRow(std::vector<std::string> cells) {
        for (size_t i = 0; i < cells.size(); ++i) {
            // A line break inside a cell would split the row, and with it the log's reading.
            std::replace(cells[i].begin(), cells[i].end(), '\r', ' ');
            std::replace(cells[i].begin(), cells[i].end(), '\n', ' ');
            widths_[i] = std::max(widths_[i], cells[i].size());
        }
        rows_.push_back({std::move(cells), {}});
    }
    void AddLine(std::string line) { rows_.push_back({{}, std::move(line)}); }

    // The heading line, a dash line, the title row, a dash line, the rows, a dash line, an empty line.
    std::string Text(const std::string& heading) const {
        size_t width = widths_.size() + 1;
        for (size_t w : widths_) width += w;
        const std::string dashes(width, '-');
        std::string out;
        out.reserve((rows_.size() + 5) * (width + 2) + heading.size());
        out += heading;
        out += ":\r\n";
        out += dashes;
        out += "\r\n";
        for (size_t r = 0; r < rows_.size(); ++r) {
            AppendRow(out, rows_[r], width);
            if (r == 0) out += dashes + "\r\n";
        }
        out += dashes;
        out += "\r\n\r\n";
        return out;
    }

private:
    struct Row {
        std::vector<std::string> cells;  // empty: a full-width line
        std::string line;
    };
    void AppendRow(std::string& out, const Row& row, size_t width) const {
        if (row.cells.empty()) {
            out += row.line;
            if (row.line.size() < width) out.append(width - row.line.size(), ' ');
        } else {
            out += '|';
            for (size_t i = 0; i < row.cells.size(); ++i) {
                out += row.cells[i];
                out.append(widths_[i] - row.cells[i].size(), ' ');
                out += '|';
            }
        }
        out += "\r\n";
    }

    std::vector<size_t> widths_;
    std::vector<Row> rows_;
};

std::string LineCell(const TMishapModuleOptions& options, const TMishapStackEntry& entry) {
    if (entry.Line == 0) return {};
    std::string cell = std::to_string(entry.Line);
    if (options.StackFlags() & skLineOffset)
        cell.append(1, '[').append(std::to_string(entry.LineOffset)).append(1, ']');
    return cell;
}

std::string ThreadLine(const TMishapModuleOptions& options, const TMishapStackEntry& entry, bool first,
                       const std::vector<TThreadSummary>& threads) {
    TMishapText word = first                 ? TMishapText::ExceptionThread
                       : entry.RunningThread ? TMishapText::RunningThread
                                             : TMishapText::CallingThread;
    const TThreadSummary* thread = nullptr;
    for (const TThreadSummary& t : threads) {
        if (t.Id == entry.ThreadId) {
            thread = &t;
            break;
        }
    }
    std::string line = options.Text(word) + ": " + options.Text(TMishapText::ThreadId) + "=" +
                       std::to_string(entry.ThreadId) + "; " + options.Text(TMishapText::ThreadPriority) + "=" +
                       (thread ? thread->Priority : std::string());
    if (thread && !thread->ClassName.empty())
        line += "; " + options.Text(TMishapText::ThreadClass) + "=" + thread->ClassName;
    if (thread && thread->Main) line += "; [" + options.Text(TMishapText::MainThread) + "]";
    return line;
}

}  // namespace

bool StackKindListed(const TMishapModuleOptions& options, TStackKind kind) {
    switch (kind) {
        case TStackKind::LineTable:
            return true;
        case TStackKind::PlainExport:
            return (options.StackFlags() & skPlainExports) != 0;
        case TStackKind::PackageExport:
            return (options.StackFlags() & skPackageExports) != 0;
        default:
            return false;
    }
}

std::string CallStackTable(const TMishapModuleOptions& options, const TMishapStackList& stack,
                           const std::vector<TThreadSummary>& threads, const TReportLayout& layout) {
    TextTable table({options.Text(TMishapText::StackAddress), options.Text(TMishapText::StackModule),
                     options.Text(TMishapText::StackUnit), options.Text(TMishapText::StackClass),
                     options.Text(TMishapText::StackProcedure), options.Text(TMishapText::StackLine)});
    table.SetMinimumWidth(0, static_cast<size_t>(layout.HexDigits));
    bool first = true;
    uint32_t thread = 0;
    for (const TMishapStackEntry& entry : stack) {
        if (!StackKindListed(options, entry.Kind)) continue;
        if (first || entry.ThreadId != thread) {
            table.AddLine(ThreadLine(options, entry, first, threads));
            first = false;
            thread = entry.ThreadId;
        }
        table.AddRow({HexText(entry.Address, layout), ExtractFileName(entry.ModuleFile), entry.UnitName,
                      entry.ClassName, entry.ProcedureName, LineCell(options, entry)});
    }
    return table.Text(options.Text(TMishapText::CallStackHeader));
}

std::string ModulesTable(const TMishapModuleOptions& options, const std::vector<TModuleSummary>& modules,
                         const TReportLayout& layout) {
    TextTable table({options.Text(TMishapText::ModuleHandle), options.Text(TMishapText::ModuleName),
                     options.Text(TMishapText::ModuleDescription), options.Text(TMishapText::ModuleVersion),
                     options.Text(TMishapText::ModuleSize), options.Text(TMishapText::ModuleModified),
                     options.Text(TMishapText::ModulePath)});
    table.SetMinimumWidth(0, static_cast<size_t>(layout.HexDigits));
    for (const TModuleSummary& m : modules) {
        table.AddRow({HexText(m.Handle, layout), ExtractFileName(m.Path), m.Description, m.Version,
                      std::to_string(m.Size), DateTimeText(m.Modified), ExtractFilePath(m.Path)});
    }
    return table.Text(options.Text(TMishapText::ModulesHeader));
}

std::string CpuSection(const TMishapModuleOptions& options, const TCpuSnapshot& cpu, const TReportLayout& layout) {
    const std::string& title = options.Text(TMishapText::Registers);
    if ((options.LogFlags() & lfGatherCpu) == 0)
        return title + ":\r\n" + std::string(title.size() + 1, '-') + "\r\n\r\n";
    const size_t hex = static_cast<size_t>(layout.HexDigits);
    auto reg = [&](TRegister r) {
        if (!cpu.HasRegisters) return "????" + std::string(hex - 4, ' ');
        return HexText(cpu.Registers[r], layout);
    };
    std::string out = title + ":\r\n" + std::string(5 + hex + 3 + 5 + hex, '-') + "\r\n";
    static constexpr TRegister kPairs[4][2] = {{rgAx, rgDi}, {rgBx, rgSi}, {rgCx, rgSp}, {rgDx, rgIp}};
    for (const auto& pair : kPairs) {
        out += std::string(layout.Registers[pair[0]]) + ": " + reg(pair[0]) + "   " + layout.Registers[pair[1]] + ": " +
               reg(pair[1]) + "\r\n";
    }
    out += "\r\n";
    const size_t stackWidth = hex + 2 + hex;         // "address: value"
    const size_t dumpWidth = hex + 2 + 48 + 1 + 16;  // "address: " 16 × " xx", blank, 16 characters
    std::string stackTitle = options.Text(TMishapText::Stack) + ":";
    if (stackTitle.size() < stackWidth + 3) stackTitle.append(stackWidth + 3 - stackTitle.size(), ' ');
    out += stackTitle + options.Text(TMishapText::MemoryDump) + ":\r\n";
    out += std::string(stackWidth, '-') + "   " + std::string(dumpWidth, '-') + "\r\n";
    if (!cpu.HasDump) return out;
    for (size_t line = 0; line < 16; ++line) {
        TAddress slot = cpu.StackAddress + line * static_cast<TAddress>(layout.SlotSize);
        out += HexText(slot, layout) + ": " + HexText(cpu.StackValues[line], layout) + "   " +
               HexText(cpu.MemoryAddress + line * 16, layout) + ": ";
        std::string chars;
        for (size_t i = 0; i < 16; ++i) {
            uint8_t byte = cpu.Memory[line * 16 + i];
            out += ' ';
            out += HexText(byte, 2);
            chars += byte < 32 || byte > 126 ? '.' : static_cast<char>(byte);
        }
        out += ' ';
        out += chars;
        out += "\r\n";
    }
    return out;
}

}  // namespace quillan::crash
