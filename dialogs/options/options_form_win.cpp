#include "dialogs/options/options_form.h"

#include <stdexcept>

#include "engine/settings/settings_reader.h"
#include "engine/store/template_file.h"
#include "framework/win/application_win.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

constexpr const char* kCaption = "Настройки";
// Window size in 96-DPI pixels; the limit is the smallest usable layout.
constexpr int kWidth = 560;
constexpr int kHeight = 470;
constexpr int kMinWidth = 379;
constexpr int kMinHeight = 322;

using win::TControl;
using win::TTreeNode;

// While the form puts the model's state into its controls, their change events
// report the form's own writes, not the user's edits.
class TMirrorScope {
public:
    explicit TMirrorScope(int& depth) : depth_(depth) { ++depth_; }
    ~TMirrorScope() { --depth_; }
    TMirrorScope(const TMirrorScope&) = delete;
    TMirrorScope& operator=(const TMirrorScope&) = delete;

private:
    int& depth_;
};

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
    CreateFormStore();
    OnSaveError = [this](const std::string& message) {
        MessageBoxW(hwnd_, win::Wide(message).c_str(), win::Wide(kCaption).c_str(), MB_OK | MB_ICONERROR);
    };
    OnAsk = [this](const std::string& text, unsigned flags) {
        return MessageBoxW(hwnd_, win::Wide(text).c_str(), win::Wide(kCaption).c_str(), flags);
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
    ShowTree();  // before any file is read: the common group alone
    ShowPanels();
    TakeTreeBaseline();
}

TOptionForm::~TOptionForm() {
    // The controls' events must not reach half-destroyed neighbours.
    ++mirroring_;
}

void TOptionForm::FormCreate() {
    cbHot->ClearItems();
    for (const char* name : HotKeyNames) cbHot->AddItem(name);
    cbHot->SetItemIndex(0);
}

void TOptionForm::CreateFormStore() {
    FormStore1 = std::make_unique<TFormStore>(*this);
    FormStore1->Active = false;  // the dialog's own show and close call it
    FormStore1->UseRegistry = true;
    FormStore1->SetStoredProps(StoredSettingEntries());
    FormStore1->Loaded();
    // Loaded drops an entry whose control it cannot find; the engine would then read
    // a value that is never written.
    if (FormStore1->StoredProps() != StoredSettingEntries())
        throw std::logic_error("a stored setting of the options dialog names no control");
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
    cbAutoStart->OnClick = [this](TControl&) { cbAutoStartClick(); };
    cbPasteKeys->OnChange = [this](TControl&) { cbPasteKeysChange(); };
}

void TOptionForm::FormShow() {
    try {
        FormStore1->RestoreFormState();
    } catch (...) {
        win::Application().HandleCurrentException();
    }
    ShowAutoStart();
    TakeSettingsBaseline();
    try {
        LoadTree("");
    } catch (...) {
        // Reported, and the dialog opens with the tree as it was. A file that is there
        // but cannot be read is also told to the user, once the dialog is on screen.
        win::Application().HandleCurrentException();
        if (!readProblem_.empty()) PostMessageW(hwnd_, kShowReadProblem, 0, 0);
        return;
    }
    if (focusCurrentApp_) FocusOnCurrentApp();
    // The application added for the program in front is no edit of the user's.
    TakeTreeBaseline();
    UpdateButtons();
}

void TOptionForm::FocusOnCurrentApp() {
    TFocusResult focus = model_.FocusApplication(currentApp_);
    if (focus.Added != kNoNode) ShowNode(focus.Added);
    for (TNodeId id : focus.Expanded) NodeOf(id)->Expand();
    ShowSelection();
    if (!focus.Expanded.empty()) TreeView1->SetFocus();
    ShowPanels();
}

void TOptionForm::FormClose() {
    model_.ResetApplicationCounter();
    if (ModalResult != win::mrOk) return;
    FormStore1->SaveFormState();
    if (setTrayHint_) setTrayHint_(TrayHintText(cbHot->ItemIndex()));
}

// ---- mirroring the model ----

TTreeNode* TOptionForm::NodeOf(TNodeId id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : it->second;
}

TNodeId TOptionForm::IdOf(const TTreeNode* node) const {
    const auto* id = node ? node->DataAs<TNodeId>() : nullptr;
    return id ? *id : kNoNode;
}

void TOptionForm::ShowTree() {
    TMirrorScope mirror(mirroring_);
    TreeView1->Clear();
    nodes_.clear();
    for (TNodeId id : model_.Nodes()) ShowNode(id);
    ShowSelection();
}

// Puts a node the tree does not show yet at its place: before its next sibling when
// that is shown, else last under its parent.
TTreeNode* TOptionForm::ShowNode(TNodeId id) {
    TMirrorScope mirror(mirroring_);
    std::string text = model_.TextOf(id);
    TTreeNode* before = NodeOf(model_.NextSibling(id));
    TTreeNode* node = before ? TreeView1->Insert(before, text) : TreeView1->AddChild(NodeOf(model_.ParentOf(id)), text);
    node->Data = std::make_shared<TNodeId>(id);
    nodes_[id] = node;
    return node;
}

void TOptionForm::ShowNodeText(TNodeId id) {
    TTreeNode* node = NodeOf(id);
    std::string text = model_.TextOf(id);
    if (node && node->Text() != text) node->SetText(text);
}

void TOptionForm::ShowSelection() {
    TMirrorScope mirror(mirroring_);
    TreeView1->SetSelected(NodeOf(model_.Selected()));
}

void TOptionForm::ForgetDeletedNodes() {
    std::erase_if(nodes_, [this](const auto& entry) { return !model_.Exists(entry.first); });
}

void TOptionForm::ShowPanels() {
    TPanelView view = model_.ShowSelected();
    {
        TMirrorScope mirror(mirroring_);
        pnApp->SetVisible(view.Kind == TPanelKind::Application);
        if (view.Kind == TPanelKind::Application) {
            eApp->SetText(view.AppName);
            ShowPasteKeys(view.PasteKeys, view.AppName);
        }
        pnOpt->SetVisible(view.Kind == TPanelKind::Template);
        leCaption->SetText(view.Caption);
        mTemple->SetText(view.MemoText);
        seRow->SetValue(view.Row);
        seCol->SetValue(view.Column);
        mTemple->SetSelStart(view.Caret);
    }
    ShowNodeText(model_.Selected());  // showing may have given a new template its caption
    UpdateButtons();
}

void TOptionForm::ShowHotPoint() {
    const TTmpl* record = model_.Record(model_.Selected());
    if (!record) return;
    TMirrorScope mirror(mirroring_);
    seCol->SetValue(record->PointX);
    seRow->SetValue(record->PointY);
}

// ---- events ----

void TOptionForm::UpdateButtons() {
    bool enabled = model_.CanDelete();
    bDelete->SetEnabled(enabled);
    eApp->SetEnabled(enabled);
}

void TOptionForm::SpeedButton1Click() { ShowNode(model_.AddApplication()); }

void TOptionForm::SpeedButton2Click() {
    TNodeId added = model_.AddTemplate();
    if (added == kNoNode) return;
    ShowNode(added);
    NodeOf(model_.ParentOf(added))->Expand();
    ShowPanels();
}

void TOptionForm::bDeleteClick() {
    TNodeId deleted = model_.DeleteSelected();
    if (deleted == kNoNode) return;
    {
        TMirrorScope mirror(mirroring_);
        NodeOf(deleted)->Delete();
        ForgetDeletedNodes();
    }
    ShowSelection();
    ShowPanels();
}

void TOptionForm::TreeView1Change() {
    if (mirroring_) return;
    model_.Select(IdOf(TreeView1->Selected()));
    ShowPanels();
}

void TOptionForm::mTempleChange(TControl& sender) {
    if (mirroring_) return;
    TNodeId selected = model_.Selected();
    switch (sender.Tag) {
        case 1:
            if (model_.EditCaption(leCaption->Text())) ShowNodeText(selected);
            break;
        case 3:
            if (model_.EditText(mTemple->Text())) {
                TMirrorScope mirror(mirroring_);
                leCaption->SetText(model_.TextOf(selected));
                ShowNodeText(selected);
            }
            break;
        case 5:
            model_.EditHotPointColumn(seCol->Value());
            break;
        case 6:
            model_.EditHotPointRow(seRow->Value());
            break;
        default:
            break;
    }
}

void TOptionForm::mTempleClick() {
    if (GetKeyState(VK_CONTROL) >= 0) return;
    if (model_.SetHotPointAtCaret(mTemple->SelStart())) ShowHotPoint();
}

void TOptionForm::eAppChange() {
    if (mirroring_ || !model_.RenameApplication(eApp->Text())) return;
    ShowNodeText(model_.Selected());
    // The list names the built-in choice of the new name; the choice itself stays.
    TMirrorScope mirror(mirroring_);
    ShowPasteKeys(ShownPasteKeys(), eApp->Text());
}

void TOptionForm::eAppKeyPress(char& key) {
    if (!model_.AcceptsApplicationKey()) key = 0;
}

void TOptionForm::TreeView1DragOver(int, int, bool& accept) { accept = model_.CanDrag(); }

void TOptionForm::TreeView1DragDrop(int x, int y) { DropOn(TreeView1->GetNodeAt(x, y)); }

void TOptionForm::DropOn(TTreeNode* target) {
    TNodeId moved = model_.Selected();
    TNodeId receiver = model_.Drop(IdOf(target));
    if (receiver == kNoNode) return;
    TMirrorScope mirror(mirroring_);
    TTreeNode* node = NodeOf(moved);
    if (TTreeNode* next = NodeOf(model_.NextSibling(moved)))
        node->MoveTo(next, win::TNodeAttachMode::naInsert);
    else
        node->MoveTo(NodeOf(receiver), win::TNodeAttachMode::naAddChild);
    NodeOf(receiver)->Expand();
}

namespace {
TOptionForm* openDialog = nullptr;
}  // namespace

TOptionForm* OpenOptionsDialog() { return openDialog; }

int ShowOptionsDialog(bool focusCurrentApp, const std::string& currentApp, TSetTrayHint setTrayHint, HWND owner) {
    TOptionForm form(focusCurrentApp, currentApp, std::move(setTrayHint), owner);
    TOptionForm* outer = openDialog;
    openDialog = &form;
    struct Reset {
        TOptionForm* outer;
        ~Reset() { openDialog = outer; }
    } reset{outer};
    return form.ShowModal();
}

}  // namespace quillan
