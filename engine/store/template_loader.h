// Reading hot.ini into memory: the main form's template list and the options
// dialog's tree of applications and templates. Both read the whole file first and
// touch their target only after it parsed, so a bad file keeps the previous load.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "components/xml/simple_xml.h"
#include "framework/core/exceptions.h"
#include "engine/store/template.h"
#include "engine/store/template_file.h"

namespace quillan {

// The largest hot.ini read: 32 MiB, and at most a million nodes (elements, texts,
// attributes) in it; room for some 150,000 templates, while a larger or hostile file
// cannot exhaust a 32-bit process. Beyond them the read raises ETemplateFileTooLarge,
// or ESimpleXMLError "Invalid XML Document: more than 1000000 nodes".
inline constexpr int64_t kMaxTemplateFileBytes = 32 * 1024 * 1024;
inline constexpr size_t kMaxTemplateFileNodes = 1000000;
QUILLAN_EXCEPTION(ETemplateFileTooLarge, Exception);

// Parses the file at path into xml within those limits and hands the document to
// walk; the document is emptied afterwards, on every path, and the parse's memory
// given back. EFOpenError, ETemplateFileTooLarge and ESimpleXMLError propagate.
void WalkTemplateFile(TSimpleXML& xml, const std::string& path, const std::function<void(TSimpleXMLElem&)>& walk);

// Where the reader stopped and why, as the user reads it: "строка 3, символ 9: " and
// the reader's message for a parse error that knows its place, the message alone else.
std::string DescribeReadError(const std::exception& e);

// An application group's PasteKeys value as written, with the group's application.
struct TAppPasteKeys {
    std::string Application;
    std::string PasteKeys;
};
using TPasteKeysList = std::vector<TAppPasteKeys>;

// Loads path into xml (EFOpenError / ESimpleXMLError / ETemplateFileTooLarge
// propagate, list untouched), then replaces the list's records by the file's
// templates in document order, and *pasteKeys (when given) by the groups' PasteKeys.
// A Template met before any Application gets an empty application.
void LoadTemplates(TSimpleXML& xml, const std::string& path, TTemplateList& list,
                   TPasteKeysList* pasteKeys = nullptr);

// The main form's walk over element's children. currentApp is the walk's own
// current application; field elements apply to the list's last record and are
// skipped while the list is empty. A PasteKeys goes to *pasteKeys (when given) under
// the application its Templates group names.
void ReadTemplateElements(TSimpleXMLElem& element, TTemplateList& list, std::string& currentApp,
                          TPasteKeysList* pasteKeys = nullptr);

// The options dialog's working copy: applications in tree order, each owning its
// template records. NodeText is what the tree shows ("999" until a MenuCaption).
// Id names a node for as long as the dialog's model keeps it (0: not numbered yet;
// the loader leaves it so).
struct TDialogTemplate {
    std::string NodeText;
    std::unique_ptr<TTmpl> Record;
    int Id = 0;
};
struct TDialogApp {
    std::string Name;
    std::vector<TDialogTemplate> Templates;
    int Id = 0;
    // The group's PasteKeys as written (unset: the group names none).
    std::optional<std::string> PasteKeys = std::nullopt;
    // What the dialog does not show, in and around the group (slots of TGroupSlot).
    TKeptList Kept = {};
};
using TDialogTree = std::vector<TDialogApp>;

// The source of the nodes that the dialog does not show, by node, as a load with
// KeepUnknownSources found them.
using TNodeSources = std::unordered_map<const TSimpleXMLElem*, TKeptXml>;

// Fills a dialog tree from elements; the current application and template are kept
// across calls of one load. ShortCut, NewLine, unknown elements and comments are not
// shown; with sources they are kept, in the slot of what they followed.
class TTreeLoader {
public:
    explicit TTreeLoader(TDialogTree& tree, const TNodeSources* sources = nullptr) : tree_(tree), sources_(sources) {}
    void AddXmlChildren(TSimpleXMLElem& element);

private:
    enum class TLevel { Root, Group, Template };
    void AddChildren(TSimpleXMLElem& element, TLevel level);
    TTmpl* CurrentRecord();
    void AddTemplate(TSimpleXMLElem& element);
    void Keep(const TSimpleXMLElem& node, TLevel level, int groupApp, int field);

    TDialogTree& tree_;
    const TNodeSources* sources_;
    TKeptList leading_;  // before the first group, until it comes
    // Indexes into tree_. Like the main form's walk, fields go to the latest
    // template even when a new Application came in between.
    int app_ = -1;
    int templateApp_ = -1;
    int template_ = -1;
};

// Loads path into xml (errors propagate, tree untouched), then replaces the tree.
void LoadTree(TSimpleXML& xml, const std::string& path, TDialogTree& tree);

// The writer's view of a dialog tree: the same order, records referred to.
TTemplateTree TreeForSaving(const TDialogTree& tree);

}  // namespace quillan
