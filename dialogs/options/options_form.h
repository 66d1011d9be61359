// The options dialog: the template file as a tree of applications and
// templates, their editors, and the three settings kept by the form storage.
// Created for one opening; on OK it writes hot.ini (after a backup rename) and
// stores the settings. What it edits lives in a TOptionsModel; the form shows
// the model and hands each control event to it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "components/edits/edits_win.h"
#include "components/formstore/formstore_win.h"
#include "components/xml/simple_xml.h"
#include "engine/options/options_model.h"
#include "engine/settings/autostart.h"
#include "engine/settings/settings.h"
#include "framework/controls/form_win.h"
#include "framework/controls/treeview_win.h"

namespace quillan {

using TSetTrayHint = std::function<void(const std::string&)>;

class TOptionForm : public win::TForm {
public:
    // focusCurrentApp / currentApp: the main form's state at the opening;
    // setTrayHint receives the new tray hint after a confirmed close.
    // Raises std::logic_error when a stored setting names no control of the form.
    TOptionForm(bool focusCurrentApp, std::string currentApp, TSetTrayHint setTrayHint, HWND owner = nullptr);
    ~TOptionForm() override;
    std::string ClassName() const override { return kSettingsSection; }

    // Shows a save failure to the user (a message box by default; tests capture it).
    std::function<void(const std::string&)> OnSaveError;
    // Asks the user or tells him something: the text and the MB_ buttons and icon;
    // returns the button pressed (IDYES, IDNO, IDCANCEL, IDOK). A message box by
    // default; tests answer it.
    std::function<int(const std::string& text, unsigned flags)> OnAsk;

    // What the line under the folder field says about the template file or the
    // folder; empty when there is nothing to say.
    std::string FileState() const;
    // The tree or one of the settings differs from what was read at the opening or
    // by the last reload: closing without "ОК" would lose it.
    bool HasChanges() const;
    // The same for the tree alone.
    bool TreeChanged() const;
    // "Выход" while the dialog is open. With changes, asks whether to save them:
    // "Да" saves as "ОК" does (the dialog then ends confirmed), "Нет" leaves them,
    // "Отмена" keeps the program running. True when the program may end.
    bool ConfirmQuit();

    // What the dialog edits.
    TOptionsModel& Model() { return model_; }
    // The tree node that shows a model node; nullptr when none does.
    win::TTreeNode* NodeOf(TNodeId id) const;
    TNodeId IdOf(const win::TTreeNode* node) const;

    // Reads hot.ini from folder (the stored location when empty) into the tree;
    // raises the reader's error and leaves the tree as it was on failure (the line
    // under the folder field then says what was wrong).
    void LoadTree(const std::string& folder);
    // Writes the tree to hot.ini in the folder typed in deIDE (the program's own when
    // empty) after the backup rename; raises the writer's error.
    void SaveTree();
    void UpdateButtons();

    // Event handlers, public so that tests can drive them like the user.
    void SpeedButton1Click();
    void SpeedButton2Click();
    void bDeleteClick();
    void TreeView1Change();
    void TreeView1DragOver(int x, int y, bool& accept);
    void TreeView1DragDrop(int x, int y);
    // The drop with its target node resolved (nullptr: empty space).
    void DropOn(win::TTreeNode* target);
    void eAppChange();
    void eAppKeyPress(char& key);
    void mTempleChange(win::TControl& sender);
    void mTempleClick();
    void Button1Click();
    void Panel1Click();
    void bOKClick();
    void cbAutoStartClick();
    void cbPasteKeysChange();

    std::unique_ptr<win::TTreeView> TreeView1;
    std::unique_ptr<win::TToolButton> SpeedButton1, SpeedButton2, bDelete;
    std::unique_ptr<win::TPanel> pnApp, pnOpt, Panel1;
    std::unique_ptr<win::TLabel> lApp, lTemple, lRow, lCol, lFolder, lHot, lFileState;
    std::unique_ptr<win::TEdit> eApp;
    // How the selected application's templates are pasted; its first item is the
    // built-in choice (no PasteKeys written), a value this version does not know is
    // shown as it stands and kept.
    std::unique_ptr<win::TLabel> lPasteKeys;
    std::unique_ptr<win::TComboBox> cbPasteKeys;
    std::unique_ptr<win::TLabeledEdit> leCaption;
    std::unique_ptr<win::TMemo> mTemple;
    std::unique_ptr<win::TGroupBox> gbHotPoint;
    std::unique_ptr<TSpinEdit> seRow, seCol;
    std::unique_ptr<TFolderEdit> deIDE;
    std::unique_ptr<win::TComboBox> cbHot;
    std::unique_ptr<win::TCheckBox> cbRestoreClpbrd;
    // Starting with Windows, read from and written to the Run key, not the form
    // storage: checked, unchecked, or grayed while the value starts another program
    // (left alone unless the user clicks the box).
    std::unique_ptr<win::TCheckBox> cbAutoStart;
    std::unique_ptr<win::TButton> Button1, bOK, bCancel;
    TSimpleXML xml1;
    std::unique_ptr<TFormStore> FormStore1;

protected:
    void FormShow() override;
    void FormClose() override;
    void FormResize() override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // options_layout_win.cpp
    void CreateControls();
    void CreateTemplatePanel();
    void CreateSettings();
    void NameControls();
    void Layout();
    void LayoutTemplatePanel(int width, int height);

    void WireEvents();
    void CreateFormStore();
    void FormCreate();
    void FocusOnCurrentApp();

    // Mirroring the model; the controls' own events are not edits meanwhile.
    void ShowTree();
    win::TTreeNode* ShowNode(TNodeId id);
    void ShowNodeText(TNodeId id);
    void ShowSelection();
    void ShowPanels();
    void ShowHotPoint();
    void ForgetDeletedNodes();

    // options_file_win.cpp
    // The template file that "ОК" writes: the folder typed in deIDE, or the program's own.
    std::string TargetPath() const;
    // Why the folder cannot take the file (missing, not a folder, not writable); "" when it can.
    std::string FolderProblem() const;
    // Whether the file at path may be replaced: asks when it is not the file this
    // dialog read, and moves an unreadable one aside first. False: write nothing.
    bool MayReplace(const std::string& path);
    // Asks before a reload throws edits away; true when it may go on.
    bool MayDiscardEdits();
    void ShowFileState(const std::string& text);
    void TakeTreeBaseline();
    void TakeSettingsBaseline();
    std::string SettingsText() const;
    void ShowReadProblem();

    // options_paste_keys_win.cpp
    void ShowPasteKeys(const std::optional<std::string>& pasteKeys, const std::string& app);
    // The PasteKeys value the list shows, as cbPasteKeysChange writes it to the model.
    std::optional<std::string> ShownPasteKeys() const;

    // options_autostart_win.cpp
    // The box as the Run value reads now; does nothing once the user has clicked it.
    void ShowAutoStart();
    // Makes the Run value what the box says, if the user changed it; false (the user
    // told why) when the registry refused.
    bool ApplyAutoStart();
    std::string AutoStartText() const;

    TOptionsModel model_;
    // The file the tree was last read from; empty while no read succeeded.
    std::string loadedPath_;
    std::string readProblem_;
    // The tree as the file would hold it, and the settings, as read or last saved.
    std::string treeBaseline_;
    std::string settingsBaseline_;
    std::unordered_map<TNodeId, win::TTreeNode*> nodes_;
    // The shown application's PasteKeys when this version does not know it.
    std::string unknownPasteKeys_;
    // The Run value the box was last filled from, and whether the user clicked since.
    TAutoStart autoStartShown_;
    bool autoStartTouched_ = false;
    int mirroring_ = 0;
    bool focusCurrentApp_;
    std::string currentApp_;
    TSetTrayHint setTrayHint_;
};

// Posted to the dialog to tell the user of a file it could not read.
inline constexpr UINT kShowReadProblem = WM_APP + 1;

// The dialog that ShowOptionsDialog shows now; nullptr when none is open.
TOptionForm* OpenOptionsDialog();

// Opens the dialog modally (owner disabled meanwhile) and returns mrOk or mrCancel.
int ShowOptionsDialog(bool focusCurrentApp, const std::string& currentApp, TSetTrayHint setTrayHint,
                      HWND owner = nullptr);

}  // namespace quillan
