// The rows of the dialog's call-stack and modules lists: the call stack grouped by thread under
// header rows that open and close, each row with the picture of its kind. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "crash/options/texts.h"
#include "crash/report/report_context.h"

namespace quillan::crash {

class TMishapModuleOptions;

// The pictures of the lists: how a code location was resolved or what a module is.
enum class TRowIcon : int {
    None = 0,
    Dll,  // "ML_DLL": a plain DLL export
    Pkg,  // "ML_PKG": a package export
    Fwk,  // "ML_FWK": the program's framework (units below "framework/")
    Src,  // "ML_SRC": the program's own sources, through its line tables
};

struct TListRow {
    bool Header = false;  // a thread's row: Text is its line, Group its number
    int Group = -1;       // the thread group the row belongs to (-1: none, as in the modules list)
    TRowIcon Icon = TRowIcon::None;
    std::string Text;                // header rows
    std::vector<std::string> Cells;  // other rows, one per column
};

// The call stack as the report lists it (kind 4 always, kind 2 with StackFlags bit 0, kind 3 with
// bit 1): a header row wherever the thread changes ("Exception Thread: ID=...; Priority=...",
// as the report's thread line), then its entries' rows (address, module file, unit, class,
// procedure, line).
std::vector<TListRow> CallStackRows(const TMishapModuleOptions& options, const TMishapStackList& stack,
                                    const std::vector<TThreadSummary>& threads, const TReportLayout& layout);

// The column titles of the two lists, in the order of the rows' cells.
std::vector<TMishapText> CallStackColumns();
// The modules list shows the folder before the date: the stored widths ("ColMod5" 712, "ColMod6"
// 80) fit a folder and a date in that order.
std::vector<TMishapText> ModuleColumns();

// One row per module (handle, name, description, version, size, folder, modified), no groups.
// The picture: Src for a module the call stack resolved through line tables, Pkg for a ".bpl",
// Dll otherwise.
std::vector<TListRow> ModuleRows(const std::vector<TModuleSummary>& modules, const TMishapStackList& stack,
                                 const TReportLayout& layout);

// The picture of a call-stack entry.
TRowIcon StackEntryIcon(const TMishapStackEntry& entry);

// The rows that show: header rows always, other rows unless their group is closed.
class TGroupedRows {
public:
    explicit TGroupedRows(std::vector<TListRow> rows = {});
    // Indexes (into the rows given) of the rows that show, in order.
    const std::vector<size_t>& Visible() const { return visible_; }
    const TListRow& VisibleRow(size_t index) const { return rows_[visible_[index]]; }
    bool Closed(int group) const;
    // Opens a closed group and closes an open one; false for a row that is no header.
    bool Toggle(size_t visibleIndex);
    void SetClosed(int group, bool closed);

private:
    void Refresh();
    std::vector<TListRow> rows_;
    std::vector<bool> closed_;
    std::vector<size_t> visible_;
};

}  // namespace quillan::crash
