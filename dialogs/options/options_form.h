// The options dialog: the template file as a tree of applications and
// templates, their editors, and the three settings kept by the form storage.
// Created for one opening; on OK it writes hot.ini (after a backup rename) and
// stores the settings.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "components/edits/edits.h"
#include "components/formstore/formstore.h"
#include "components/xml/simple_xml.h"
#include "engine/store/template.h"
#include "framework/controls/form.h"
#include "framework/controls/treeview.h"

namespace quillan {

using TSetTrayHint = std::function<void(const std::string&)>;

// Unit-level state: numbers new application nodes (0 again whenever the dialog
// closes), and the guard that keeps a panel refresh from re-entering itself.
extern int AppCounter;
extern bool Refreshing;

class TOptionForm : public win::TForm {
public:
    // focusCurrentApp / currentApp: the main form's state at the opening;
    // setTrayHint receives the new tray hint after a confirmed close.
    TOptionForm(bool focusCurrentApp, std::string currentApp, TSetTrayHint setTrayHint, HWND owner = nullptr);
    ~TOptionForm() override;
    std::string ClassName() const override { return "TOptionForm"; }

    // Shows a save failure to the user (a message box by default; tests capture it).
    std::function<void(const std::string&)> OnSaveError;

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
    void CreateControls();
    void CreateTemplatePanel();
    void CreateSettings();
    void WireEvents();
    void FormCreate();
    void FocusOnCurrentApp();
    void Layout();
    void LayoutTemplatePanel(int width, int height);

    bool focusCurrentApp_;
    std::string currentApp_;
    TSetTrayHint setTrayHint_;
};

// Opens the dialog modally (owner disabled meanwhile) and returns mrOk or mrCancel.
int ShowOptionsDialog(bool focusCurrentApp, const std::string& currentApp, TSetTrayHint setTrayHint,
                      HWND owner = nullptr);

}  // namespace quillan
