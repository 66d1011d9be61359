// The tab pages of the expanded crash dialog: General and CPU as rich text, Call Stack and Modules
// as owner-drawn lists grouped by thread, Other as plain text.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "crash/dialog/dialog_rules.h"
#include "crash/dialog/dialog_state.h"
#include "crash/dialog/dialog_support_win.h"
#include "crash/dialog/dialog_types.h"
#include "crash/dialog/list_rows.h"

namespace quillan::crash {

class TDialogPages {
public:
    struct TSetup {
        const TCrashDialogRequest* Request = nullptr;
        const TDialogState* State = nullptr;  // column widths
        HINSTANCE Resources = nullptr;
        int Dpi = 96;
        HBRUSH Background = nullptr;  // the library's own colour; null: the system's
        COLORREF BackgroundColour = 0;
    };

    TDialogPages();
    ~TDialogPages();
    TDialogPages(const TDialogPages&) = delete;
    TDialogPages& operator=(const TDialogPages&) = delete;

    // Inserts one tab per kind into tabs and makes its page ("ML_TAB_*"), a hidden child of dialog.
    void Create(HWND dialog, HWND tabs, const TSetup& setup, const std::vector<TDialogTab>& kinds);
    size_t Count() const { return pages_.size(); }
    // Selects a tab and shows its page (when the pages are shown).
    void Select(int index);
    // The tab control chose another tab.
    void SelectionChanged();
    int Selected() const { return selected_; }
    // Lays the pages over the tab control's display area.
    void Place();
    void Show(bool visible);
    // The lists' column widths into state.
    void SaveColumns(TDialogState& state) const;

    struct TPage;

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandlePage(TPage& page, UINT message, WPARAM wParam, LPARAM lParam);
    void FillPage(TPage& page);
    void LayoutPage(TPage& page);
    void DrawRow(TPage& page, const DRAWITEMSTRUCT& item);
    void Toggle(TPage& page, int row);

    HWND dialog_ = nullptr;
    HWND tabs_ = nullptr;
    TSetup setup_;
    std::vector<std::unique_ptr<TPage>> pages_;
    int selected_ = -1;
    bool shown_ = false;
    int rowHeight_ = 18;
    win::FontHandle boldFont_;
    TDialogPicture icons_[5];  // by TRowIcon
    TDialogPicture plus_, minus_;
};

}  // namespace quillan::crash
