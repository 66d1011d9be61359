// The two walks over a parsed template file.
#include "engine/store/template_loader.h"

#include <cstring>
#include <string_view>

#include "framework/core/file_io.h"

namespace quillan {

namespace {

enum class TName {
    Other,
    Templates,
    Application,
    Template,
    MenuCaption,
    ShortCut,
    TemplateText,
    NewLine,
    PointX,
    PointY,
    PasteKeys
};

// Exact, case-sensitive match. Dispatching on the length first lets each compare
// be a fixed-size one the compiler inlines; the walk runs once per element.
TName Classify(std::string_view name) {
    auto is = [&]<size_t N>(const char(&literal)[N]) { return std::memcmp(name.data(), literal, N - 1) == 0; };
    switch (name.size()) {
        case 6:
            return is("PointX") ? TName::PointX : is("PointY") ? TName::PointY : TName::Other;
        case 7:
            return is("NewLine") ? TName::NewLine : TName::Other;
        case 8:
            return is("Template") ? TName::Template : is("ShortCut") ? TName::ShortCut : TName::Other;
        case 9:
            return is("Templates") ? TName::Templates : is("PasteKeys") ? TName::PasteKeys : TName::Other;
        case 11:
            return is("Application") ? TName::Application : is("MenuCaption") ? TName::MenuCaption : TName::Other;
        case 12:
            return is("TemplateText") ? TName::TemplateText : TName::Other;
        default:
            return TName::Other;
    }
}

// The main form's field elements; anything else is left alone.
void SetField(TTmpl& record, TName name, const TSimpleXMLElem& child, const std::string& currentApp) {
    switch (name) {
        case TName::MenuCaption:
            record.MenuCaption = child.Value();
            record.Application = currentApp;
            break;
        case TName::ShortCut:
            record.ShortCut = child.Value();
            break;
        case TName::TemplateText:
            record.TemplateText = child.Value();
            break;
        case TName::NewLine:
            record.NewLine = child.Value() == "1";
            break;
        case TName::PointX:
            record.PointX = child.IntValue();
            break;
        case TName::PointY:
            record.PointY = child.IntValue();
            break;
        default:
            break;
    }
}

// A node's text as it stands in the file, and the blanks before it when it begins its line.
TKeptXml SourceOf(std::string_view source, size_t begin, size_t end) {
    TKeptXml piece;
    piece.Text.assign(source.substr(begin, end - begin));
    size_t start = begin;
    while (start > 0 && (source[start - 1] == ' ' || source[start - 1] == '\t')) --start;
    if (start == 0 || source[start - 1] == '\n' || source[start - 1] == '\r') {
        piece.OwnLine = true;
        piece.Indent.assign(source.substr(start, begin - start));
    }
    return piece;
}

// -1 when the file cannot be opened; reading it then says why.
int64_t FileSize(const std::string& path) {
    intptr_t handle = fileio::Open(path, false, false);
    if (handle == -1) return -1;
    int64_t size = fileio::Seek(handle, 0, 2);
    fileio::Close(handle);
    return size;
}

}  // namespace

void WalkTemplateFile(TSimpleXML& xml, const std::string& path, const std::function<void(TSimpleXMLElem&)>& walk) {
    struct Release {
        TSimpleXML& xml;
        ~Release() { xml.Release(); }
    } release{xml};
    int64_t size = FileSize(path);
    if (size > kMaxTemplateFileBytes)
        throw ETemplateFileTooLarge("файл слишком велик: " + std::to_string(size) +
                                    " байт, а файл шаблонов может быть не больше " +
                                    std::to_string(kMaxTemplateFileBytes) + " байт (32 МБ)");
    xml.MaxNodes = kMaxTemplateFileNodes;
    xml.SetFileName(path);
    walk(xml.Root());
}

std::string DescribeReadError(const std::exception& e) {
    const auto* xml = dynamic_cast<const ESimpleXMLError*>(&e);
    if (xml && xml->Line > 0)
        return "строка " + std::to_string(xml->Line) + ", символ " + std::to_string(xml->Column) + ": " + e.what();
    return e.what();
}

void LoadTemplates(TSimpleXML& xml, const std::string& path, TTemplateList& list, TPasteKeysList* pasteKeys) {
    // The walk's application starts empty rather than inheriting the last menu
    // build's program, so a stray Template is never offered to that program.
    TTemplateList loaded;
    TPasteKeysList keys;
    std::string currentApp;
    WalkTemplateFile(xml, path, [&](TSimpleXMLElem& root) { ReadTemplateElements(root, loaded, currentApp, &keys); });
    list.swap(loaded);  // the previous records go with `loaded`
    if (pasteKeys) pasteKeys->swap(keys);
}

void ReadTemplateElements(TSimpleXMLElem& element, TTemplateList& list, std::string& currentApp,
                          TPasteKeysList* pasteKeys) {
    if (!element.HasItems()) return;
    TSimpleXMLElems& items = element.Items();
    for (int i = 0; i < items.Count(); ++i) {
        TSimpleXMLElem& child = *items.Item(i);
        // The tree is larger than the cache: ask for elements before they are needed.
        if (TSimpleXMLElem* next = items.Item(i + 2)) __builtin_prefetch(next);
        TName name = Classify(child.Name());
        if (name == TName::Templates) {
            const size_t keysBefore = pasteKeys ? pasteKeys->size() : 0;
            ReadTemplateElements(child, list, currentApp, pasteKeys);
            // A group's method is its application's, wherever in the group it stands.
            if (pasteKeys)
                for (size_t k = keysBefore; k < pasteKeys->size(); ++k) (*pasteKeys)[k].Application = currentApp;
        } else if (name == TName::Application) {
            currentApp = child.Value();
        } else if (name == TName::Template) {
            list.push_back(std::make_unique<TTmpl>());
            ReadTemplateElements(child, list, currentApp, pasteKeys);
        } else if (name == TName::PasteKeys) {
            if (pasteKeys) pasteKeys->push_back({currentApp, child.Value()});
        } else if (!list.empty()) {  // a field before any Template has no record to go to
            SetField(*list.back(), name, child, currentApp);
        }
    }
}

TTmpl* TTreeLoader::CurrentRecord() {
    if (template_ < 0) return nullptr;
    return tree_[templateApp_].Templates[template_].Record.get();
}

void TTreeLoader::AddXmlChildren(TSimpleXMLElem& element) { AddChildren(element, TLevel::Root); }

void TTreeLoader::AddChildren(TSimpleXMLElem& element, TLevel level) {
    if (!element.HasItems()) return;
    TSimpleXMLElems& items = element.Items();
    // What the children seen so far were, for the slot of a kept node: the group's
    // application (-1: none yet) and how many templates it had then, the template's last field.
    int groupApp = -1;
    int field = tsStart;
    for (int i = 0; i < items.Count(); ++i) {
        TSimpleXMLElem& child = *items.Item(i);
        TName name = Classify(child.Name());
        TTmpl* record = CurrentRecord();
        if (name == TName::Templates) {
            AddChildren(child, TLevel::Group);
        } else if (name == TName::Application) {
            tree_.push_back({child.Value(), {}});
            app_ = static_cast<int>(tree_.size()) - 1;
            if (level == TLevel::Group) {
                // What stood before the Application in its group, and before the first group.
                TKeptList& kept = tree_[app_].Kept;
                for (TKeptXml& piece : leading_) kept.push_back(std::move(piece));
                leading_.clear();
                groupApp = app_;
            }
        } else if (name == TName::Template) {
            AddTemplate(child);
        } else if (name == TName::PasteKeys) {
            if (app_ >= 0) tree_[app_].PasteKeys = child.Value();
        } else if (sources_ && sources_->count(&child)) {
            Keep(child, level, groupApp, field);
        } else if (record == nullptr) {
            continue;  // a field before any Template has no record to go to
        } else if (name == TName::MenuCaption) {
            tree_[templateApp_].Templates[template_].NodeText = child.Value();
            record->MenuCaption = child.Value();
            field = tsAfterCaption;
        } else if (name == TName::TemplateText) {
            record->TemplateText = child.Value();
            field = tsAfterText;
        } else if (name == TName::PointX) {
            record->PointX = child.IntValue();
            field = tsAfterPointX;
        } else if (name == TName::PointY) {
            record->PointY = child.IntValue();
            field = tsAfterPointY;
        }
    }
    // Nodes after the last group's end: after that group.
    if (level == TLevel::Root && !leading_.empty() && !tree_.empty()) {
        for (TKeptXml& piece : leading_) tree_.back().Kept.push_back(std::move(piece));
        leading_.clear();
    }
}

// A node the dialog does not show, kept where it stood: in the template after its
// last field; in a group after its application or the latest of its templates; between
// groups after the group before it (before the first group: with the first group).
void TTreeLoader::Keep(const TSimpleXMLElem& node, TLevel level, int groupApp, int field) {
    TKeptXml piece = sources_->at(&node);
    if (level == TLevel::Template) {
        if (TTmpl* record = CurrentRecord()) {
            piece.Slot = field;
            record->Kept.push_back(std::move(piece));
        }
        return;
    }
    if (level == TLevel::Group) {
        if (groupApp < 0) {
            piece.Slot = gsStart;
            leading_.push_back(std::move(piece));
        } else if (templateApp_ == groupApp && template_ >= 0) {
            piece.Slot = tsAfterTemplate;
            tree_[groupApp].Templates[template_].Record->Kept.push_back(std::move(piece));
        } else {
            piece.Slot = gsAfterApplication;
            tree_[groupApp].Kept.push_back(std::move(piece));
        }
        return;
    }
    if (tree_.empty()) {
        piece.Slot = gsBefore;
        leading_.push_back(std::move(piece));
    } else {
        piece.Slot = gsAfter;
        tree_.back().Kept.push_back(std::move(piece));
    }
}

void TTreeLoader::AddTemplate(TSimpleXMLElem& element) {
    if (app_ < 0) {
        // No application yet: an unnamed one keeps the template visible, so the
        // user can name it instead of losing it.
        tree_.push_back({});
        app_ = static_cast<int>(tree_.size()) - 1;
    }
    auto& templates = tree_[app_].Templates;
    templates.push_back({"999", std::make_unique<TTmpl>()});
    templateApp_ = app_;
    template_ = static_cast<int>(templates.size()) - 1;
    AddChildren(element, TLevel::Template);
}

void LoadTree(TSimpleXML& xml, const std::string& path, TDialogTree& tree) {
    TDialogTree loaded;
    TNodeSources sources;
    // Only the nodes the dialog does not show are noted: they are few.
    xml.OnNodeSource = [&](TSimpleXMLElem& node, std::string_view source, size_t begin, size_t end) {
        TName name = Classify(node.Name());
        if (name != TName::Other && name != TName::ShortCut && name != TName::NewLine) return;
        if (node.Name().empty() && dynamic_cast<TSimpleXMLElemComment*>(&node) == nullptr) return;
        sources[&node] = SourceOf(source, begin, end);
    };
    struct Unhook {
        TSimpleXML& xml;
        ~Unhook() { xml.OnNodeSource = nullptr; }
    } unhook{xml};
    WalkTemplateFile(xml, path, [&](TSimpleXMLElem& root) { TTreeLoader(loaded, &sources).AddXmlChildren(root); });
    tree.swap(loaded);
}

TTemplateTree TreeForSaving(const TDialogTree& tree) {
    TTemplateTree view;
    view.reserve(tree.size());
    for (const TDialogApp& app : tree) {
        TTreeApp& out = view.emplace_back();
        out.Name = app.Name;
        out.Templates.reserve(app.Templates.size());
        for (const TDialogTemplate& t : app.Templates) out.Templates.push_back(t.Record.get());
        out.PasteKeys = app.PasteKeys;
        if (!app.Kept.empty()) out.Kept = &app.Kept;
    }
    return view;
}

}  // namespace quillan
