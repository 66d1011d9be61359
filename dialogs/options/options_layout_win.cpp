// The options dialog's controls and their places. Sizes are 96-DPI pixels
// scaled to the screen, and captions are measured in the dialog's font, so that
// every control stays visible and whole from the minimum size up, at any DPI.
#include "dialogs/options/options_form.h"

#include <algorithm>

#include "framework/win/handle_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

constexpr int kMargin = 6;
constexpr int kGap = 4;
constexpr int kToolHeight = 24;
constexpr int kToolPadding = 12;
constexpr int kEditHeight = 21;
constexpr int kCheckHeight = 17;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;
constexpr int kSpinWidth = 56;
constexpr int kTreeMinWidth = 110;
constexpr int kMemoMinHeight = 24;

// The extent of text in the control's font.
SIZE TextExtent(const win::TControl& control, const std::string& text) {
    win::WindowDC dc(control.Handle());
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control.Handle(), WM_GETFONT, 0, 0));
    win::SelectObjectScope select(dc.get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
    std::wstring wide = win::Wide(text);
    SIZE size = {};
    GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

int TextWidth(const win::TControl& control) { return TextExtent(control, control.Text()).cx; }

}  // namespace

void TOptionForm::CreateControls() {
    TreeView1 = std::make_unique<win::TTreeView>(hwnd_);
    SpeedButton1 = std::make_unique<win::TToolButton>(hwnd_, "+ Прил.");
    SpeedButton2 = std::make_unique<win::TToolButton>(hwnd_, "+ Шабл.");
    bDelete = std::make_unique<win::TToolButton>(hwnd_, "Удалить");
    SpeedButton1->SetHint("Добавить приложение");
    SpeedButton2->SetHint("Добавить шаблон");
    bDelete->SetHint("Удалить шаблон");

    pnApp = std::make_unique<win::TPanel>(hwnd_);
    lApp = std::make_unique<win::TLabel>(pnApp->Handle(), "Название\r\nприложения");
    eApp = std::make_unique<win::TEdit>(pnApp->Handle());
    lPasteKeys = std::make_unique<win::TLabel>(pnApp->Handle(), "Способ вставки");
    cbPasteKeys = std::make_unique<win::TComboBox>(pnApp->Handle());
    CreateTemplatePanel();
    CreateSettings();

    Panel1 = std::make_unique<win::TPanel>(hwnd_);
    Button1 = std::make_unique<win::TButton>(Panel1->Handle(), "Открыть");
    bOK = std::make_unique<win::TButton>(Panel1->Handle(), "ОК");
    bOK->ModalResult = win::mrOk;
    bOK->SetDefault(true);
    bCancel = std::make_unique<win::TButton>(Panel1->Handle(), "Отменить");
    bCancel->ModalResult = win::mrCancel;
    bCancel->Cancel = true;
    NameControls();
}

void TOptionForm::NameControls() {
    struct Named {
        win::TControl* control;
        const char* name;
    };
    const Named names[] = {
        {TreeView1.get(), "TreeView1"},
        {SpeedButton1.get(), "SpeedButton1"},
        {SpeedButton2.get(), "SpeedButton2"},
        {bDelete.get(), "bDelete"},
        {pnApp.get(), "pnApp"},
        {eApp.get(), "eApp"},
        {cbPasteKeys.get(), "cbPasteKeys"},
        {pnOpt.get(), "pnOpt"},
        {leCaption.get(), "leCaption"},
        {mTemple.get(), "mTemple"},
        {seRow.get(), "seRow"},
        {seCol.get(), "seCol"},
        {gbHotPoint.get(), "GroupBox1"},
        // The stored settings' controls are named by the one table the engine reads by.
        {deIDE.get(), kStoredSettings[stFolder].Control},
        {cbHot.get(), kStoredSettings[stHotKey].Control},
        {cbRestoreClpbrd.get(), kStoredSettings[stRestoreClipboard].Control},
        {cbAutoStart.get(), "cbAutoStart"},
        {Button1.get(), "Button1"},
        {bOK.get(), "bOK"},
        {bCancel.get(), "bCancel"},
        {Panel1.get(), "Panel1"},
    };
    for (const Named& n : names) {
        n.control->Name = n.name;
        RegisterComponent(*n.control);
    }
}

void TOptionForm::CreateTemplatePanel() {
    pnOpt = std::make_unique<win::TPanel>(hwnd_);
    HWND panel = pnOpt->Handle();
    leCaption = std::make_unique<win::TLabeledEdit>(panel, "Описание");
    leCaption->Tag = 1;
    leCaption->LabelSpacing = 2;
    lTemple = std::make_unique<win::TLabel>(panel, "Шаблон");
    mTemple = std::make_unique<win::TMemo>(panel);
    mTemple->Tag = 3;
    mTemple->SetHint("Для определения \"горячей\" точки, нажмите Ctrl+Click");
    gbHotPoint = std::make_unique<win::TGroupBox>(panel, " \"Горячая\" точка ");
    gbHotPoint->SetHint("Точка, куда будет установлен курсор после вставки");
    HWND group = gbHotPoint->Handle();
    lRow = std::make_unique<win::TLabel>(group, "Строка");
    seRow = std::make_unique<TSpinEdit>(group);
    seRow->Tag = 6;
    lCol = std::make_unique<win::TLabel>(group, "Символ");
    seCol = std::make_unique<TSpinEdit>(group);
    seCol->Tag = 5;
}

void TOptionForm::CreateSettings() {
    lFolder = std::make_unique<win::TLabel>(hwnd_, "Папка с файлом HOT.INI");
    deIDE = std::make_unique<TFolderEdit>(hwnd_);
    lHot = std::make_unique<win::TLabel>(hwnd_, "Клавиша для вызова");
    cbHot = std::make_unique<win::TComboBox>(hwnd_);
    cbRestoreClpbrd = std::make_unique<win::TCheckBox>(hwnd_, "Восстановить буфер обмена после вставки");
    cbRestoreClpbrd->SetChecked(true);
    cbAutoStart = std::make_unique<win::TCheckBox>(hwnd_, "Запускать вместе с Windows");
    // Three states, set by the dialog alone: the grayed one stands for a value of
    // another program.
    SendMessageW(cbAutoStart->Handle(), BM_SETSTYLE, BS_3STATE, FALSE);
    // What is wrong with the file or the folder, beside the hotkey; cut with an
    // ellipsis when long (the message boxes give it whole).
    lFileState = std::make_unique<win::TLabel>(hwnd_, "");
    SetWindowLongPtrW(lFileState->Handle(), GWL_STYLE,
                      GetWindowLongPtrW(lFileState->Handle(), GWL_STYLE) | SS_ENDELLIPSIS);
}

void TOptionForm::FormResize() {
    if (!bCancel) return;
    Layout();
    // The memo wraps its lines anew at its new width: keep the caret in sight.
    SendMessageW(mTemple->Handle(), EM_SCROLLCARET, 0, 0);
}

// From the bottom up: the button strip, the settings (each label beside its
// control, each check box on a row of its own), then the tree with its tool
// buttons on the left and the panels on the right, sharing the width.
void TOptionForm::Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int m = Scale(kMargin);
    const int g = Scale(kGap);
    const int eh = Scale(kEditHeight);
    const int lh = TextExtent(*lFolder, "Ag").cy;

    const int bh = Scale(kButtonHeight);
    const int stripHeight = bh + 2 * g;
    const int stripTop = h - stripHeight;
    Panel1->SetBounds(0, stripTop, w, stripHeight);
    auto buttonWidth = [&](const win::TButton& b) { return std::max(Scale(kButtonWidth), TextWidth(b) + Scale(16)); };
    Button1->SetBounds(m, g, buttonWidth(*Button1), bh);
    const int cancelWidth = buttonWidth(*bCancel);
    bCancel->SetBounds(w - m - cancelWidth, g, cancelWidth, bh);
    const int okWidth = buttonWidth(*bOK);
    bOK->SetBounds(w - m - cancelWidth - g - okWidth, g, okWidth, bh);

    const int autoStartTop = stripTop - Scale(kCheckHeight) - g;
    cbAutoStart->SetBounds(m, autoStartTop, w - 2 * m, Scale(kCheckHeight));
    const int checkTop = autoStartTop - Scale(kCheckHeight) - g;
    cbRestoreClpbrd->SetBounds(m, checkTop, w - 2 * m, Scale(kCheckHeight));
    const int hotTop = checkTop - g - eh;
    const int hotLabelWidth = TextWidth(*lHot);
    lHot->SetBounds(m, hotTop + (eh - lh) / 2, hotLabelWidth, lh);
    const int comboX = m + hotLabelWidth + g;
    const int comboWidth = std::min(Scale(130), w - m - comboX);
    cbHot->SetBounds(comboX, hotTop, comboWidth, Scale(120));
    const int stateX = comboX + comboWidth + g;
    lFileState->SetBounds(stateX, hotTop + (eh - lh) / 2, std::max(0, w - m - stateX), lh);
    const int folderTop = hotTop - g - eh;
    const int folderLabelWidth = TextWidth(*lFolder);
    lFolder->SetBounds(m, folderTop + (eh - lh) / 2, folderLabelWidth, lh);
    const int folderX = m + folderLabelWidth + g;
    deIDE->SetBounds(folderX, folderTop, w - m - folderX, eh);
    const int areaBottom = folderTop - g;

    // The tree is at least as wide as its tool buttons, the panel as its hot-point
    // group; beyond that the tree takes two fifths.
    const int available = w - 3 * m;
    const int toolGap = Scale(2);
    const int toolText[3] = {TextWidth(*SpeedButton1), TextWidth(*SpeedButton2), TextWidth(*bDelete)};
    const int toolRow = toolText[0] + toolText[1] + toolText[2] + 3 * Scale(kToolPadding) + 2 * toolGap;
    const int treeMin = std::max(Scale(kTreeMinWidth), toolRow);
    const int groupMin = 2 * Scale(8) + std::max(Scale(kSpinWidth), TextWidth(*lRow)) +
                         std::max(Scale(kSpinWidth), TextWidth(*lCol)) + Scale(12);
    const int treeWidth = std::clamp(available * 2 / 5, treeMin, std::max(treeMin, available - groupMin));
    const int extra = (treeWidth - toolRow) / 3;
    int toolX = m;
    win::TToolButton* tools[3] = {SpeedButton1.get(), SpeedButton2.get(), bDelete.get()};
    for (int i = 0; i < 3; ++i) {
        // The last button takes what rounding left, so the row ends with the tree.
        int width = i < 2 ? toolText[i] + Scale(kToolPadding) + extra : m + treeWidth - toolX;
        tools[i]->SetBounds(toolX, m, width, Scale(kToolHeight));
        toolX += width + toolGap;
    }
    const int treeTop = m + Scale(kToolHeight) + Scale(3);
    TreeView1->SetBounds(m, treeTop, treeWidth, areaBottom - treeTop);

    const int px = m + treeWidth + m;
    const int pw = w - px - m;
    const int ph = areaBottom - m;
    pnApp->SetBounds(px, m, pw, ph);
    lApp->SetBounds(0, 0, pw, 2 * lh);
    eApp->SetBounds(0, 2 * lh + g, pw, eh);
    const int pasteLabelTop = 2 * lh + g + eh + 2 * g;
    lPasteKeys->SetBounds(0, pasteLabelTop, pw, lh);
    cbPasteKeys->SetBounds(0, pasteLabelTop + lh + Scale(2), pw, Scale(160));
    pnOpt->SetBounds(px, m, pw, ph);
    LayoutTemplatePanel(pw, ph);
}

void TOptionForm::LayoutTemplatePanel(int width, int height) {
    const int g = Scale(kGap);
    const int eh = Scale(kEditHeight);
    const int lh = TextExtent(*lTemple, "Ag").cy;
    const int captionTop = lh + leCaption->LabelSpacing;
    leCaption->SetBounds(0, captionTop, width, eh);
    const int memoLabelTop = captionTop + eh + g;
    lTemple->SetBounds(0, memoLabelTop, width, lh);
    const int memoTop = memoLabelTop + lh + Scale(2);
    const int groupHeight = Scale(15) + lh + Scale(2) + eh + Scale(7);
    const int groupTop = std::max(height - groupHeight, memoTop + Scale(kMemoMinHeight) + g);
    mTemple->SetBounds(0, memoTop, width, groupTop - g - memoTop);
    gbHotPoint->SetBounds(0, groupTop, width, groupHeight);

    // Each label above its spin edit: the group stays narrow enough for the panel's
    // smallest width.
    const int labelTop = Scale(15);
    const int spinTop = labelTop + lh + Scale(2);
    const int rowWidth = std::max(Scale(kSpinWidth), TextWidth(*lRow));
    const int colWidth = std::max(Scale(kSpinWidth), TextWidth(*lCol));
    const int rowX = Scale(8);
    const int colX = rowX + rowWidth + Scale(12);
    lRow->SetBounds(rowX, labelTop, rowWidth, lh);
    seRow->SetBounds(rowX, spinTop, rowWidth, eh);
    lCol->SetBounds(colX, labelTop, colWidth, lh);
    seCol->SetBounds(colX, spinTop, colWidth, eh);
}

}  // namespace quillan
