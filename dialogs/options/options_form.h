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

#include "components/edits/edits.h"
#include "components/formstore/formstore.h"
#include "components/xml/simple_xml.h"
#include "engine/options/options_model.h"
#include "engine/settings/settings.h"
#include "framework/controls/form.h"
#include "framework/controls/treeview.h"

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

    // What the dialog edits.
    TOptionsModel& Model() { return model_; }
    // The tree node that shows a model node; nullptr when none does.
    win::TTreeNode* NodeOf(TNodeId id) const;
    TNodeId IdOf(const win::TTreeNode* node) const;

    // Reads hot.ini from folder (the stored location when empty) into the tree;
    // raises the reader's error and leaves the tree as it was on failure.
    void LoadTree(const std::string& folder);
    // Writes the tree to the stored template-file path after the backup rename.
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

    std::unique_ptr<win::TTreeView> TreeView1;
    std::unique_ptr<win::TToolButton> SpeedButton1, SpeedButton2, bDelete;
    std::unique_ptr<win::TPanel> pnApp, pnOpt, Panel1;
    std::unique_ptr<win::TLabel> lApp, lTemple, lRow, lCol, lFolder, lHot;
    std::unique_ptr<win::TEdit> eApp;
    std::unique_ptr<win::TLabeledEdit> leCaption;
    std::unique_ptr<win::TMemo> mTemple;
    std::unique_ptr<win::TGroupBox> gbHotPoint;
    std::unique_ptr<TSpinEdit> seRow, seCol;
    std::unique_ptr<TFolderEdit> deIDE;
    std::unique_ptr<win::TComboBox> cbHot;
    std::unique_ptr<win::TCheckBox> cbRestoreClpbrd;
    std::unique_ptr<win::TButton> Button1, bOK, bCancel;
    TSimpleXML xml1;
    std::unique_ptr<TFormStore> FormStore1;

protected:
    void FormShow() override;
    void FormClose() override;
    void FormResize() override;

private:
    // options_layout.cpp
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

    TOptionsModel model_;
    std::unordered_map<TNodeId, win::TTreeNode*> nodes_;
    int mirroring_ = 0;
    bool focusCurrentApp_;
    std::string currentApp_;
    TSetTrayHint setTrayHint_;
};

// Opens the dialog modally (owner disabled meanwhile) and returns mrOk or mrCancel.
int ShowOptionsDialog(bool focusCurrentApp, const std::string& currentApp, TSetTrayHint setTrayHint,
                      HWND owner = nullptr);

}  // namespace quillan
