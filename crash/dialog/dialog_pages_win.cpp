#include "crash/dialog/dialog_pages_win.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <string>

#include "crash/dialog/rtf_pages.h"
#include "crash/options/options.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/text.h"
#include "resources/crash_dialog_ids.h"

namespace quillan::crash {

struct TDialogPages::TPage {
    TDialogPages* Owner = nullptr;
    TDialogTab Kind = TDialogTab::General;
    win::WindowHandle Window;
    HWND Body = nullptr;
    TGroupedRows Rows;
    int Columns = 0;
};

namespace {

// The page being made: a list view asks its row height before the page's WM_INITDIALOG.
thread_local TDialogPages::TPage* creatingPage = nullptr;

struct TabKind {
    const char* Template;
    TMishapText Tab;
    TMishapText Heading;
};
const TabKind kKinds[kDialogTabCount] = {
    {"ML_TAB_GENERAL", TMishapText::GeneralTab, TMishapText::GeneralHeader},
    {"ML_TAB_CALLSTACK", TMishapText::CallStackTab, TMishapText::CallStackHeader},
    {"ML_TAB_MODULESLIST", TMishapText::ModulesTab, TMishapText::ModulesHeader},
    {"ML_TAB_CPU", TMishapText::CpuTab, TMishapText::CpuHeader},
    {"ML_TAB_CUSTOMDATA", TMishapText::OtherTab, TMishapText::OtherHeader},
};

const char* const kIconNames[5] = {nullptr, "ML_DLL", "ML_PKG", "ML_FWK", "ML_SRC"};

struct RtfSource {
    const std::string* Text;
    size_t Position;
};

DWORD CALLBACK ReadRtf(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
    auto* source = reinterpret_cast<RtfSource*>(cookie);
    const size_t n = std::min(static_cast<size_t>(size), source->Text->size() - source->Position);
    std::copy_n(source->Text->data() + source->Position, n, buffer);
    source->Position += n;
    *done = static_cast<LONG>(n);
    return 0;
}

void StreamRtf(HWND edit, const std::string& rtf) {
    RtfSource source{&rtf, 0};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, ReadRtf};
    SendMessageW(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

// An edit control wants CR LF line breaks.
std::string CrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void DrawCellText(HDC dc, const std::string& text, RECT cell, UINT extra = 0) {
    const std::wstring wide = win::Wide(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &cell,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | extra);
}

}  // namespace

TDialogPages::TDialogPages() = default;
TDialogPages::~TDialogPages() {
    // Each window goes while its page is whole: its last messages still reach it.
    for (auto& page : pages_) page->Window.reset();
}

void TDialogPages::Create(HWND dialog, HWND tabs, const TSetup& setup, const std::vector<TDialogTab>& kinds) {
    dialog_ = dialog;
    tabs_ = tabs;
    setup_ = setup;
    const int dpi = setup.Dpi;
    for (int i = 1; i < 5; ++i) icons_[i].Load(setup.Resources, kIconNames[i], Scale(16, dpi), Scale(16, dpi));
    plus_.Load(setup.Resources, "ML_PLUS", Scale(9, dpi), Scale(9, dpi));
    minus_.Load(setup.Resources, "ML_MINUS", Scale(9, dpi), Scale(9, dpi));

    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    if (font && GetObjectW(font, sizeof logFont, &logFont)) {
        logFont.lfWeight = FW_BOLD;
        boldFont_.reset(CreateFontIndirectW(&logFont));
    }
    {
        win::WindowDC dc(dialog);
        win::SelectObjectScope select(dc.get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.get(), &metrics);
        rowHeight_ = std::max<int>(metrics.tmHeight + Scale(4, dpi), Scale(16, dpi) + Scale(2, dpi));
    }

    const TMishapModuleOptions& options = *setup.Request->Options;
    const TReportContext& context = *setup.Request->Context;
    for (TDialogTab kind : kinds) {
        const TabKind& about = kKinds[static_cast<int>(kind)];
        const std::wstring caption = win::Wide(options.Text(about.Tab));
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(caption.c_str());
        SendMessageW(tabs, TCM_INSERTITEMW, pages_.size(), reinterpret_cast<LPARAM>(&item));

        auto page = std::make_unique<TPage>();
        page->Owner = this;
        page->Kind = kind;
        if (kind == TDialogTab::CallStack) {
            page->Rows = TGroupedRows(CallStackRows(options, context.Stack, context.Threads, *context.Layout));
            page->Columns = 6;
        } else if (kind == TDialogTab::Modules) {
            page->Rows = TGroupedRows(ModuleRows(context.Modules, context.Stack, *context.Layout));
            page->Columns = 7;
        }
        creatingPage = page.get();
        CreateDialogParamA(setup.Resources, about.Template, dialog, PageProc, reinterpret_cast<LPARAM>(page.get()));
        creatingPage = nullptr;
        if (!page->Window) continue;
        SetControlText(page->Window.get(), ML_ID_PAGE_TITLE, options.Text(about.Heading));
        page->Body = GetDlgItem(page->Window.get(), ML_ID_PAGE_BODY);
        FillPage(*page);
        pages_.push_back(std::move(page));
    }
}

void TDialogPages::FillPage(TPage& page) {
    const TReportContext& context = *setup_.Request->Context;
    const TMishapModuleOptions& options = *setup_.Request->Options;
    switch (page.Kind) {
        case TDialogTab::General:
        case TDialogTab::Cpu:
            StreamRtf(page.Body, page.Kind == TDialogTab::General ? GeneralPageRtf(context) : CpuPageRtf(context));
            break;
        case TDialogTab::Other:
            SetWindowTextW(page.Body, win::Wide(CrLf(context.CustomData)).c_str());
            break;
        case TDialogTab::CallStack:
        case TDialogTab::Modules: {
            const bool stack = page.Kind == TDialogTab::CallStack;
            const std::vector<TMishapText> titles = stack ? CallStackColumns() : ModuleColumns();
            // The first column holds the picture and an address: a default too narrow for both
            // (the screen's font decides) is widened.
            const std::wstring digits(static_cast<size_t>(context.Layout->HexDigits), L'0');
            const int firstColumn = static_cast<int>(SendMessageW(page.Body, LVM_GETSTRINGWIDTHW, 0,
                                                                  reinterpret_cast<LPARAM>(digits.c_str()))) +
                                    Scale(4 + 16 + 4 + 4 + 4, setup_.Dpi);  // pads, picture, gap, slack
            for (int c = 0; c < page.Columns; ++c) {
                const std::wstring title = win::Wide(options.Text(titles[static_cast<size_t>(c)]));
                int width =
                    stack ? setup_.State->Col[static_cast<size_t>(c)] : setup_.State->ColMod[static_cast<size_t>(c)];
                const int initial = stack ? kDefaultStackColumns[static_cast<size_t>(c)]
                                          : kDefaultModuleColumns[static_cast<size_t>(c)];
                if (c == 0 && width == Scale(initial, setup_.Dpi)) width = std::max(width, firstColumn);
                LVCOLUMNW column{};
                column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
                column.pszText = const_cast<wchar_t*>(title.c_str());
                column.cx = width;
                column.iSubItem = c;
                SendMessageW(page.Body, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
            }
            SendMessageW(page.Body, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
            // An image list of the row height sets the height where WM_MEASUREITEM is not asked.
            HIMAGELIST rows = win::ImageListCreate(1, rowHeight_, ILC_COLOR, 1, 1);
            SendMessageW(page.Body, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(rows));
            SendMessageW(page.Body, LVM_SETITEMCOUNT, page.Rows.Visible().size(), 0);
            break;
        }
    }
}

void TDialogPages::Select(int index) {
    if (index < 0 || static_cast<size_t>(index) >= pages_.size()) return;
    SendMessageW(tabs_, TCM_SETCURSEL, index, 0);
    selected_ = index;
    for (size_t i = 0; i < pages_.size(); ++i)
        ShowWindow(pages_[i]->Window.get(), shown_ && static_cast<int>(i) == selected_ ? SW_SHOW : SW_HIDE);
}

void TDialogPages::SelectionChanged() { Select(static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0))); }

void TDialogPages::Place() {
    RECT area;
    GetWindowRect(tabs_, &area);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&area), 2);
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (auto& page : pages_) {
        SetWindowPos(page->Window.get(), HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOACTIVATE);
    }
}

void TDialogPages::Show(bool visible) {
    shown_ = visible;
    Select(selected_);
}

void TDialogPages::SaveColumns(TDialogState& state) const {
    for (const auto& page : pages_) {
        if (page->Kind != TDialogTab::CallStack && page->Kind != TDialogTab::Modules) continue;
        for (int c = 0; c < page->Columns; ++c) {
            const int width = static_cast<int>(SendMessageW(page->Body, LVM_GETCOLUMNWIDTH, c, 0));
            if (page->Kind == TDialogTab::CallStack)
                state.Col[static_cast<size_t>(c)] = width;
            else
                state.ColMod[static_cast<size_t>(c)] = width;
        }
    }
}

void TDialogPages::LayoutPage(TPage& page) {
    RECT client;
    GetClientRect(page.Window.get(), &client);
    const int dpi = setup_.Dpi;
    const int pad = Scale(4, dpi);
    HWND title = GetDlgItem(page.Window.get(), ML_ID_PAGE_TITLE);
    RECT titleRect;
    GetWindowRect(title, &titleRect);
    const int titleHeight = titleRect.bottom - titleRect.top;
    MoveWindow(title, pad, pad, client.right - 2 * pad, titleHeight, TRUE);
    const int top = pad + titleHeight + Scale(3, dpi);
    MoveWindow(page.Body, pad, top, client.right - 2 * pad, std::max(0, static_cast<int>(client.bottom) - top - pad),
               TRUE);
}

void TDialogPages::Toggle(TPage& page, int row) {
    if (row < 0 || !page.Rows.Toggle(static_cast<size_t>(row))) return;
    SendMessageW(page.Body, LVM_SETITEMCOUNT, page.Rows.Visible().size(), LVSICF_NOSCROLL);
    InvalidateRect(page.Body, nullptr, TRUE);
}

void TDialogPages::DrawRow(TPage& page, const DRAWITEMSTRUCT& item) {
    if (item.itemID >= page.Rows.Visible().size()) return;
    const TListRow& row = page.Rows.VisibleRow(item.itemID);
    HDC dc = item.hDC;
    const int dpi = setup_.Dpi;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const COLORREF back = selected     ? GetSysColor(COLOR_HIGHLIGHT)
                          : row.Header ? RGB(228, 234, 242)
                                       : GetSysColor(COLOR_WINDOW);
    win::BrushHandle brush(CreateSolidBrush(back));
    FillRect(dc, &item.rcItem, brush.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2;
    const int signLeft = item.rcItem.left + Scale(4, dpi);
    if (row.Header) {
        const TDialogPicture& sign = page.Rows.Closed(row.Group) ? plus_ : minus_;
        sign.Draw(dc, signLeft, middle - sign.Height() / 2);
        RECT text = item.rcItem;
        text.left = signLeft + plus_.Width() + Scale(6, dpi);
        win::SelectObjectScope bold(dc,
                                    boldFont_ ? static_cast<HGDIOBJ>(boldFont_.get()) : GetCurrentObject(dc, OBJ_FONT));
        DrawCellText(dc, row.Text, text);
    } else {
        int x = item.rcItem.left;
        for (int c = 0; c < page.Columns && static_cast<size_t>(c) < row.Cells.size(); ++c) {
            const int width = static_cast<int>(SendMessageW(page.Body, LVM_GETCOLUMNWIDTH, c, 0));
            RECT cell{x + Scale(4, dpi), item.rcItem.top, x + width - Scale(4, dpi), item.rcItem.bottom};
            if (c == 0) {
                // The picture says how the entry was found, or what the module is.
                const TDialogPicture& icon = icons_[static_cast<int>(row.Icon)];
                if (icon.Width() > 0 && cell.left + icon.Width() <= x + width) {
                    icon.Draw(dc, cell.left, middle - icon.Height() / 2);
                    cell.left += icon.Width() + Scale(4, dpi);
                }
            }
            if (cell.right > cell.left) DrawCellText(dc, row.Cells[static_cast<size_t>(c)], cell);
            x += width;
        }
    }
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &item.rcItem);
}

INT_PTR CALLBACK TDialogPages::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TPage* page = nullptr;
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<TPage*>(lParam);
        page->Window.reset(hwnd);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        page = reinterpret_cast<TPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (!page) page = creatingPage;
    }
    if (!page) return FALSE;
    try {
        return page->Owner->HandlePage(*page, message, wParam, lParam);
    } catch (...) {
        // An exception cannot cross the dialog manager; a page that failed to draw stays blank.
        return FALSE;
    }
}

INT_PTR TDialogPages::HandlePage(TPage& page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return FALSE;
        case WM_SIZE:
            if (page.Body) LayoutPage(page);
            return TRUE;
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(rowHeight_);
            return TRUE;
        case WM_DRAWITEM:
            DrawRow(page, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom != page.Body) return FALSE;
            if (header->code == NM_CLICK || header->code == NM_DBLCLK) {
                // A click on a thread's row opens or closes its group.
                LVHITTESTINFO hit{};
                hit.pt = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->ptAction;
                const int row =
                    static_cast<int>(SendMessageW(page.Body, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
                if (header->code == NM_CLICK) Toggle(page, row);
            } else if (header->code == LVN_KEYDOWN) {
                const WORD key = reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey;
                if (key == VK_SPACE || key == VK_ADD || key == VK_SUBTRACT) {
                    Toggle(page, static_cast<int>(
                                     SendMessageW(page.Body, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
                }
            }
            return FALSE;
        }
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            // The read-only text of the Other page keeps the system's colours.
            if (!setup_.Background || reinterpret_cast<HWND>(lParam) == page.Body) return FALSE;
            SetBkColor(reinterpret_cast<HDC>(wParam), setup_.BackgroundColour);
            return reinterpret_cast<INT_PTR>(setup_.Background);
        default:
            return FALSE;
    }
}

}  // namespace quillan::crash
