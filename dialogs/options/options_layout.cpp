// The options dialog's controls and their places. Sizes are 96-DPI pixels
// scaled to the screen, so the dialog reads the same at any DPI.
#include "dialogs/options/options_form.h"

namespace quillan {
namespace {

constexpr int kMargin = 8;
constexpr int kToolHeight = 24;
constexpr int kTreeWidth = 200;
constexpr int kStripHeight = 41;     // Panel1
constexpr int kSettingsHeight = 92;  // deIDE, cbHot, cbRestoreClpbrd
constexpr int kLabelHeight = 14;
constexpr int kEditHeight = 21;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 25;
constexpr int kGroupHeight = 52;

}  // namespace

void TOptionForm::CreateControls() {
    TreeView1 = std::make_unique<win::TTreeView>(hwnd_);
    SpeedButton1 = std::make_unique<win::TToolButton>(hwnd_, "+ Прилож.");
    SpeedButton2 = std::make_unique<win::TToolButton>(hwnd_, "+ Шаблон");
    bDelete = std::make_unique<win::TToolButton>(hwnd_, "Удалить");
    SpeedButton1->SetHint("Добавить приложение");
    SpeedButton2->SetHint("Добавить шаблон");
    bDelete->SetHint("Удалить шаблон");

    pnApp = std::make_unique<win::TPanel>(hwnd_);
    lApp = std::make_unique<win::TLabel>(pnApp->Handle(), "Название\r\nприложения");
    eApp = std::make_unique<win::TEdit>(pnApp->Handle());
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
        {pnOpt.get(), "pnOpt"},
        {leCaption.get(), "leCaption"},
        {mTemple.get(), "mTemple"},
        {seRow.get(), "seRow"},
        {seCol.get(), "seCol"},
        {gbHotPoint.get(), "GroupBox1"},
        {deIDE.get(), "deIDE"},
        {cbHot.get(), "cbHot"},
        {cbRestoreClpbrd.get(), "cbRestoreClpbrd"},
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
}

void TOptionForm::FormResize() {
    if (bCancel) Layout();
}

void TOptionForm::Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int m = Scale(kMargin);

    // Bottom: the button strip.
    const int stripTop = h - Scale(kStripHeight);
    Panel1->SetBounds(0, stripTop, w, Scale(kStripHeight));
    const int by = Scale(8);
    const int bw = Scale(kButtonWidth);
    const int bh = Scale(kButtonHeight);
    Button1->SetBounds(m, by, bw, bh);
    bCancel->SetBounds(w - m - bw, by, bw, bh);
    bOK->SetBounds(w - 2 * m - 2 * bw + Scale(4), by, bw, bh);

    // Above it: the settings, across the whole width.
    const int st = stripTop - Scale(kSettingsHeight);
    lFolder->SetBounds(m, st + Scale(4), w - 2 * m, Scale(kLabelHeight));
    deIDE->SetBounds(m, st + Scale(20), w - 2 * m, Scale(kEditHeight));
    lHot->SetBounds(m, st + Scale(48), Scale(150), Scale(kLabelHeight));
    cbHot->SetBounds(m, st + Scale(64), Scale(150), Scale(120));
    const int checkX = m + Scale(150) + m;
    cbRestoreClpbrd->SetBounds(checkX, st + Scale(66), w - checkX - m, Scale(18));

    // Top: the tree with its tool strip on the left, the panels on the right.
    const int toolTop = m;
    const int tw = Scale(kTreeWidth);
    const int toolWidth = (tw - 2 * Scale(2)) / 3;
    SpeedButton1->SetBounds(m, toolTop, toolWidth, Scale(kToolHeight));
    SpeedButton2->SetBounds(m + toolWidth + Scale(2), toolTop, toolWidth, Scale(kToolHeight));
    bDelete->SetBounds(m + 2 * (toolWidth + Scale(2)), toolTop, toolWidth, Scale(kToolHeight));
    const int treeTop = toolTop + Scale(kToolHeight) + Scale(4);
    const int areaBottom = st - Scale(2);
    TreeView1->SetBounds(m, treeTop, tw, areaBottom - treeTop);

    const int px = m + tw + m;
    const int pw = w - px - m;
    const int ph = areaBottom - toolTop;
    pnApp->SetBounds(px, toolTop, pw, ph);
    lApp->SetBounds(0, 0, pw, 2 * Scale(kLabelHeight));
    eApp->SetBounds(0, 2 * Scale(kLabelHeight) + Scale(4), pw, Scale(kEditHeight));
    pnOpt->SetBounds(px, toolTop, pw, ph);
    LayoutTemplatePanel(pw, ph);
}

void TOptionForm::LayoutTemplatePanel(int width, int height) {
    const int lh = Scale(kLabelHeight);
    leCaption->SetBounds(0, lh + Scale(3), width, Scale(kEditHeight));
    const int memoLabelTop = lh + Scale(3) + Scale(kEditHeight) + Scale(6);
    lTemple->SetBounds(0, memoLabelTop, width, lh);
    const int memoTop = memoLabelTop + lh + Scale(3);
    const int groupTop = height - Scale(kGroupHeight);
    mTemple->SetBounds(0, memoTop, width, groupTop - Scale(4) - memoTop);
    gbHotPoint->SetBounds(0, groupTop, width, Scale(kGroupHeight));
    const int rowY = Scale(20);
    const int labelY = rowY + Scale(3);
    const int spinW = Scale(56);
    lRow->SetBounds(Scale(8), labelY, Scale(44), lh);
    seRow->SetBounds(Scale(54), rowY, spinW, Scale(kEditHeight));
    lCol->SetBounds(Scale(54) + spinW + Scale(14), labelY, Scale(44), lh);
    seCol->SetBounds(Scale(54) + spinW + Scale(60), rowY, spinW, Scale(kEditHeight));
}

}  // namespace quillan
