// Everything the options dialog edits, without a window: the applications and
// their templates in order, the selected node, the commands of the tool buttons,
// the tree's drag and the template panel with its hot-point marker. The form
// mirrors it: each control event calls one operation here and shows what changed.
// Platform-free.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "components/xml/simple_xml.h"
#include "engine/store/template_loader.h"

namespace quillan {

// A node of the tree: an application or a template. Ids are never reused while
// the model lives; 0 is no node.
using TNodeId = int;
inline constexpr TNodeId kNoNode = 0;

enum class TPanelKind { None, Application, Template };

// What the panels show for the selected node.
struct TPanelView {
    TPanelKind Kind = TPanelKind::None;
    std::string AppName;   // Application: the application's name
    std::optional<std::string> PasteKeys;  // Application: its PasteKeys as stored (unset: none named)
    std::string Caption;   // Template: the caption
    std::string MemoText;  // Template: the text, with the marker "*" at the hot point when it lies on the text
    int Row = 0;           // Template: the hot point's row and column as stored
    int Column = 0;
    int Caret = 0;  // Template: the memo's caret (just after the marker when there is one)
};

// What showing the current application selected: nodes to expand, and the node
// added when none matched (kNoNode otherwise).
struct TFocusResult {
    std::vector<TNodeId> Expanded;
    TNodeId Added = kNoNode;
};

class TOptionsModel {
public:
    // The common group "Общие" alone, nothing selected.
    TOptionsModel();

    // ---- the tree ----
    const TDialogTree& Tree() const { return tree_; }
    // Every node in index order: each application followed by its templates.
    std::vector<TNodeId> Nodes() const;
    bool Exists(TNodeId id) const;
    bool IsApplication(TNodeId id) const;
    // The template's application; kNoNode for an application or an unknown id.
    TNodeId ParentOf(TNodeId id) const;
    // Position among its siblings (applications, or the templates of one application); -1 when unknown.
    int IndexOf(TNodeId id) const;
    // The sibling just after it; kNoNode for the last one or an unknown id.
    TNodeId NextSibling(TNodeId id) const;
    // The text the tree shows; empty for an unknown id.
    std::string TextOf(TNodeId id) const;
    // The template's record; nullptr for an application or an unknown id.
    TTmpl* Record(TNodeId id);
    const TTmpl* Record(TNodeId id) const;
    // The first node in index order whose text is `text`; kNoNode when none.
    TNodeId Find(const std::string& text) const;

    TNodeId Selected() const { return selected_; }
    // Selects a node (an unknown id selects nothing); the panels are shown anew by ShowSelected.
    void Select(TNodeId id);

    // ---- the file ----
    // Reads the template file at path into the tree. On an error (EFOpenError,
    // ESimpleXMLError) the tree and the selection stay as they were; on success
    // nothing is selected.
    void Load(TSimpleXML& xml, const std::string& path);
    // Writes the tree to path after the backup rename (SaveTemplateFile's errors propagate).
    void Save(const std::string& path) const;

    // ---- the commands ----
    // Appends "Приложение N", N counting the additions since the counter was reset; not selected.
    TNodeId AddApplication();
    int ApplicationCounter() const { return appCounter_; }
    // The dialog closed: numbering starts at 1 again.
    void ResetApplicationCounter() { appCounter_ = 0; }
    // Adds a template to the selected application (or the selected template's
    // application); the new node is not selected. kNoNode when nothing is selected.
    TNodeId AddTemplate();
    // A node is selected and it is not the common group "Общие".
    bool CanDelete() const;
    // Deletes the selected node (an application with its templates) and selects its
    // next sibling, else its application, else its previous sibling. Returns the
    // deleted node, or kNoNode when nothing could be deleted.
    TNodeId DeleteSelected();
    // A key typed into the application's name is kept (not while it reads "Общие").
    bool AcceptsApplicationKey() const;
    // The selected application takes the name; false when no application is selected.
    bool RenameApplication(const std::string& name);
    // The selected application's PasteKeys (unset: the group names none, so the
    // built-in choice applies); false when no application is selected.
    bool SetPasteKeys(std::optional<std::string> pasteKeys);
    // Only a template can be dragged.
    bool CanDrag() const;
    // Drops the selected template on target: onto an application it becomes its
    // first template, onto a template it goes just before it. Returns the receiving
    // application, or kNoNode when nothing moved. Selection and panels stay.
    TNodeId Drop(TNodeId target);
    // Selects every node named `name` in index order (the last stays selected) and
    // lists them for expanding; when none matched, adds an application of that name
    // (counted like AddApplication) and selects it.
    TFocusResult FocusApplication(const std::string& name);

    // ---- the panels (options_panel.cpp) ----
    // Shows the selected node: for a template the caption becomes its menu caption,
    // a caption still reading "//Шаблон" follows the text, and the marker is placed
    // at the hot point of the text's own lines.
    TPanelView ShowSelected();
    // The caption edit changed: the shown template's caption and tree text. False
    // when no template is shown.
    bool EditCaption(const std::string& caption);
    // The memo changed to memoText: the marker is followed through the edit and never
    // stored; a caption that still follows the text is renamed (returns true then).
    bool EditText(const std::string& memoText);
    // The spin edits changed.
    void EditHotPointColumn(int column);
    void EditHotPointRow(int row);
    // Ctrl+Click with the memo's caret at caret (an offset into the memo's text): the
    // hot point becomes that place of the template's own text. False when no template is shown.
    bool SetHotPointAtCaret(int caret);
    // The marker's offset in the memo's text; -1 when there is none.
    int MarkerOffset() const { return marker_; }

private:
    struct TPlace {
        int App = -1;
        int Template = -1;  // -1: the application itself
    };
    // Where a node stands; through an index of every node, made anew after a change
    // of the tree's shape, so that showing n nodes costs O(n), not O(n^2).
    TPlace Locate(TNodeId id) const;
    void Reshaped() { indexValid_ = false; }
    TDialogTemplate* TemplateOf(TNodeId id);
    TDialogTemplate* ShownTemplate();
    void Number(TDialogTree& tree);
    void KeepBetween(TDialogApp& app, size_t index);
    void KeepAround(size_t index);
    void ClearPanel();

    TDialogTree tree_;
    mutable std::unordered_map<TNodeId, TPlace> index_;
    mutable bool indexValid_ = false;
    TNodeId selected_ = kNoNode;
    TNodeId nextId_ = 1;
    int appCounter_ = 0;
    // The template panel: the template it shows, the memo's text and the marker in it.
    TNodeId shown_ = kNoNode;
    std::string memo_;
    int marker_ = -1;
};

}  // namespace quillan
