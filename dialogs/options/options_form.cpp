#include "dialogs/options/options_form.h"

#include "dialogs/options/options_text.h"
#include "engine/settings/settings.h"
#include "engine/settings/settings_reader.h"
#include "engine/store/template_file.h"
#include "engine/store/template_loader.h"
#include "framework/core/convert.h"
#include "framework/win/application.h"
#include "framework/win/text.h"

namespace quillan {

int AppCounter = 0;
bool Refreshing = false;

namespace {

constexpr const char* kCaption = "Настройки";
// Window size in 96-DPI pixels; the limit is the smallest usable layout.
constexpr int kWidth = 560;
constexpr int kHeight = 470;
constexpr int kMinWidth = 379;
constexpr int kMinHeight = 322;

using win::TControl;
using win::TTreeNode;

}  // namespace

TOptionForm::TOptionForm(bool focusCurrentApp, std::string currentApp, TSetTrayHint setTrayHint, HWND owner)
    : focusCurrentApp_(focusCurrentApp), currentApp_(std::move(currentApp)), setTrayHint_(std::move(setTrayHint)) {
    CreateForm(L"TOptionForm", kCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPSIBLINGS,
               WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME, kWidth, kHeight, owner);
    MinWidth = Scale(kMinWidth);
    MinHeight = Scale(kMinHeight);
    xml1.SetIndentString("  ");
    CreateControls();
    WireEvents();
    FormStore1 = std::make_unique<TFormStore>(*this);
    FormStore1->Active = false;  // the dialog's own show and close call it
    FormStore1->UseRegistry = true;
    FormStore1->SetStoredProps({"deIDE.Text", "cbHot.ItemIndex", "cbRestoreClpbrd.Checked"});
    FormStore1->Loaded();
    OnSaveError = [this](const std::string& message) {
        MessageBoxW(hwnd_, win::Wide(message).c_str(), win::Wide(kCaption).c_str(), MB_OK | MB_ICONERROR);
    };
    // Centred on the screen; a stored position replaces this when the dialog is shown.
    RECT r;
    GetWindowRect(hwnd_, &r);
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    FormCreate();
    // Before any file is read the tree holds the common group alone.
    TreeView1->Add(nullptr, kCommonGroup);
    TreeView1Change();
}

TOptionForm::~TOptionForm() {
    // The tree's change events must not reach half-destroyed panels.
    if (TreeView1) TreeView1->OnChange = nullptr;
}

void TOptionForm::FormCreate() {
    cbHot->ClearItems();
    for (const char* name : HotKeyNames) cbHot->AddItem(name);
    cbHot->SetItemIndex(0);
}

void TOptionForm::WireEvents() {
    SpeedButton1->OnClick = [this](TControl&) { SpeedButton1Click(); };
    SpeedButton2->OnClick = [this](TControl&) { SpeedButton2Click(); };
    bDelete->OnClick = [this](TControl&) { bDeleteClick(); };
    TreeView1->OnChange = [this](win::TTreeView&, TTreeNode*) { TreeView1Change(); };
    TreeView1->OnDragOver = [this](win::TTreeView&, int x, int y, bool& accept) { TreeView1DragOver(x, y, accept); };
    TreeView1->OnDragDrop = [this](win::TTreeView&, int x, int y) { TreeView1DragDrop(x, y); };
    eApp->OnChange = [this](TControl&) { eAppChange(); };
    eApp->OnKeyPress = [this](TControl&, char& key) { eAppKeyPress(key); };
    auto change = [this](TControl& sender) { mTempleChange(sender); };
    leCaption->OnChange = change;
    mTemple->OnChange = change;
    seCol->OnChange = change;
    seRow->OnChange = change;
    mTemple->OnClick = [this](TControl&) { mTempleClick(); };
    Button1->OnClick = [this](TControl&) { Button1Click(); };
    Panel1->OnClick = [this](TControl&) { Panel1Click(); };
    bOK->OnClick = [this](TControl&) { bOKClick(); };
}

void TOptionForm::FormShow() {
    try {
        FormStore1->RestoreFormState();
    } catch (...) {
        win::Application().HandleCurrentException();
    }
    try {
        LoadTree("");
    } catch (...) {
        // Reported, and the dialog opens with the tree as it was.
        win::Application().HandleCurrentException();
        return;
    }
    if (focusCurrentApp_) FocusOnCurrentApp();
    UpdateButtons();
}

void TOptionForm::FocusOnCurrentApp() {
    bool found = false;
    for (int i = 0; i < TreeView1->Count(); ++i) {
        TTreeNode* node = TreeView1->Item(i);
        if (node->Text() != currentApp_) continue;
        node->Expand();
        TreeView1->SetSelected(node);
        TreeView1->SetFocus();
        found = true;
    }
    if (found) return;
    SpeedButton1Click();
    TTreeNode* added = TreeView1->Item(TreeView1->Count() - 1);
    added->SetText(currentApp_);
    TreeView1->SetSelected(added);
}

void TOptionForm::FormClose() {
    AppCounter = 0;
    if (ModalResult != win::mrOk) return;
    FormStore1->SaveFormState();
    if (setTrayHint_) setTrayHint_(TrayHintText(cbHot->ItemIndex()));
}

void TOptionForm::LoadTree(const std::string& folder) {
    std::string path = folder.empty() ? GetTemplateFilePath() : MakeTemplateFilePath(folder);
    xml1.SetFileName(path);  // reads and parses now; a failure leaves the tree alone
    TDialogTree loaded;
    TTreeLoader loader(loaded);
    loader.AddXmlChildren(xml1.Root());
    TreeView1->Clear();
    for (TDialogApp& app : loaded) {
        TTreeNode* appNode = TreeView1->Add(nullptr, app.Name);
        for (TDialogTemplate& t : app.Templates) {
            TTreeNode* node = TreeView1->AddChild(appNode, t.NodeText);
            node->Data = std::shared_ptr<TTmpl>(std::move(t.Record));
        }
    }
}

void TOptionForm::SaveTree() {
    TTemplateTree tree;
    for (int i = 0; i < TreeView1->Count(); ++i) {
        TTreeNode* node = TreeView1->Item(i);
        if (node->Level() != 0) continue;
        TTreeApp app{node->Text(), {}};
        for (int j = 0; j < node->Count(); ++j)
            if (const TTmpl* record = node->Item(j)->DataAs<TTmpl>()) app.Templates.push_back(record);
        tree.push_back(std::move(app));
    }
    // The folder as last stored, not the text in deIDE: that is stored only after this.
    SaveTemplateFile(GetTemplateFilePath(), tree);
}

void TOptionForm::UpdateButtons() {
    TTreeNode* node = TreeView1->Selected();
    bool enabled = node && node->Text() != kCommonGroup;
    bDelete->SetEnabled(enabled);
    eApp->SetEnabled(enabled);
}

void TOptionForm::SpeedButton1Click() {
    ++AppCounter;
    TreeView1->Add(nullptr, "Приложение " + IntToStr(AppCounter));
}

void TOptionForm::SpeedButton2Click() {
    TTreeNode* selected = TreeView1->Selected();
    if (!selected) return;
    TTreeNode* parent = selected;
    std::string name;
    if (selected->Level() == 0) {
        name = std::string(kDefaultTemplateCaption) + " " + IntToStr(selected->Count() + 1);
    } else {
        // Counts the selected template's own children: always none, so always 1.
        parent = selected->Parent();
        name = kDefaultTemplateCaption + IntToStr(selected->Count() + 1);
    }
    TTreeNode* node = TreeView1->AddChild(parent, name);
    parent->Expand();
    auto record = std::make_shared<TTmpl>();
    record->TemplateText = name;
    record->Application = parent->Text();
    node->Data = record;
    TreeView1Change();
}

void TOptionForm::bDeleteClick() {
    TTreeNode* node = TreeView1->Selected();
    if (!node || node->Text() == kCommonGroup) return;
    node->Delete();
    UpdateButtons();
}

void TOptionForm::TreeView1Change() {
    UpdateButtons();
    if (Refreshing) return;
    TTreeNode* node = TreeView1->Selected();
    bool app = node && node->Level() == 0;
    pnApp->SetVisible(app);
    if (app) eApp->SetText(node->Text());
    pnOpt->SetVisible(node && node->Level() == 1);
    Refreshing = true;
    struct Reset {
        ~Reset() { Refreshing = false; }
    } reset;
    TTmpl* record = node ? node->DataAs<TTmpl>() : nullptr;
    if (!record) {
        leCaption->SetText("");
        mTemple->SetText("");
        seRow->SetValue(0);
        seCol->SetValue(0);
        return;
    }
    // Each assignment runs its control's change handler, which writes back into the record.
    leCaption->SetText(node->Text());
    mTemple->SetText(record->TemplateText);
    seRow->SetValue(record->PointY);
    seCol->SetValue(record->PointX);
    int offset = HotPointMarkOffset(mTemple->Text(), record->PointX, record->PointY);
    mTemple->SetCaretPos(record->PointX - 1, record->PointY - 1);
    if (offset >= 0) mTemple->SetSelText("*");
}

void TOptionForm::mTempleChange(TControl& sender) {
    TTreeNode* node = TreeView1->Selected();
    TTmpl* record = node ? node->DataAs<TTmpl>() : nullptr;
    if (!record) return;
    switch (sender.Tag) {
        case 1:
            record->MenuCaption = leCaption->Text();
            node->SetText(leCaption->Text());
            break;
        case 3: {
            std::string stripped = StripHotPointMark(mTemple->Text(), record->PointX, record->PointY);
            std::string caption = leCaption->Text();
            // The caption follows the text until the user types a caption of his own.
            if (caption == kDefaultTemplateCaption || caption == FlattenCaption(record->TemplateText))
                leCaption->SetText(FlattenCaption(stripped));
            record->TemplateText = stripped;
            break;
        }
        case 5:
            record->PointX = seCol->Value();
            break;
        case 6:
            record->PointY = seRow->Value();
            break;
        default:
            break;
    }
}

void TOptionForm::mTempleClick() {
    if (GetKeyState(VK_CONTROL) >= 0) return;
    POINT caret = mTemple->CaretPos();
    seCol->SetValue(caret.x + 1);
    seRow->SetValue(caret.y + 1);
}

void TOptionForm::eAppChange() {
    if (TTreeNode* node = TreeView1->Selected()) node->SetText(eApp->Text());
}

void TOptionForm::eAppKeyPress(char& key) {
    TTreeNode* node = TreeView1->Selected();
    if (node && node->Text() == kCommonGroup) key = 0;
}

void TOptionForm::TreeView1DragOver(int, int, bool& accept) {
    TTreeNode* node = TreeView1->Selected();
    accept = node && node->Level() == 1;
}

void TOptionForm::TreeView1DragDrop(int x, int y) { DropOn(TreeView1->GetNodeAt(x, y)); }

void TOptionForm::DropOn(TTreeNode* target) {
    TTreeNode* source = TreeView1->Selected();
    if (!target || !source || source->Level() != 1 || target == source) return;
    if (target->Level() == 0) {
        source->MoveTo(target, win::TNodeAttachMode::naAddChildFirst);
        target->Expand();
    } else {
        source->MoveTo(target, win::TNodeAttachMode::naInsert);
        target->Parent()->Expand();
    }
}

void TOptionForm::Button1Click() { LoadTree(deIDE->Text()); }

void TOptionForm::Panel1Click() { LoadTree(""); }

// A failed write must not close the dialog as confirmed: the tree stays for
// another try, and neither the settings nor the main form's menu change.
void TOptionForm::bOKClick() {
    try {
        SaveTree();
    } catch (const std::exception& e) {
        ModalResult = win::mrNone;
        if (OnSaveError) OnSaveError(e.what());
    }
}

int ShowOptionsDialog(bool focusCurrentApp, const std::string& currentApp, TSetTrayHint setTrayHint, HWND owner) {
    TOptionForm form(focusCurrentApp, currentApp, std::move(setTrayHint), owner);
    return form.ShowModal();
}

}  // namespace quillan
