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
    PointY
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
            return is("Templates") ? TName::Templates : TName::Other;
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

void LoadTemplates(TSimpleXML& xml, const std::string& path, TTemplateList& list) {
    // The walk's application starts empty rather than inheriting the last menu
    // build's program, so a stray Template is never offered to that program.
    TTemplateList loaded;
    std::string currentApp;
    WalkTemplateFile(xml, path, [&](TSimpleXMLElem& root) { ReadTemplateElements(root, loaded, currentApp); });
    list.swap(loaded);  // the previous records go with `loaded`
}

void ReadTemplateElements(TSimpleXMLElem& element, TTemplateList& list, std::string& currentApp) {
    if (!element.HasItems()) return;
    TSimpleXMLElems& items = element.Items();
    for (int i = 0; i < items.Count(); ++i) {
        TSimpleXMLElem& child = *items.Item(i);
        // The tree is larger than the cache: ask for elements before they are needed.
        if (TSimpleXMLElem* next = items.Item(i + 2)) __builtin_prefetch(next);
        TName name = Classify(child.Name());
        if (name == TName::Templates) {
            ReadTemplateElements(child, list, currentApp);
        } else if (name == TName::Application) {
            currentApp = child.Value();
        } else if (name == TName::Template) {
            list.push_back(std::make_unique<TTmpl>());
            ReadTemplateElements(child, list, currentApp);
        } else if (!list.empty()) {  // a field before any Template has no record to go to
            SetField(*list.back(), name, child, currentApp);
        }
    }
}

TTmpl* TTreeLoader::CurrentRecord() {
    if (template_ < 0) return nullptr;
    return tree_[templateApp_].Templates[template_].Record.get();
}

void TTreeLoader::AddXmlChildren(TSimpleXMLElem& element) {
    if (!element.HasItems()) return;
    TSimpleXMLElems& items = element.Items();
    for (int i = 0; i < items.Count(); ++i) {
        TSimpleXMLElem& child = *items.Item(i);
        TName name = Classify(child.Name());
        TTmpl* record = CurrentRecord();
        if (name == TName::Templates) {
            AddXmlChildren(child);
        } else if (name == TName::Application) {
            tree_.push_back({child.Value(), {}});
            app_ = static_cast<int>(tree_.size()) - 1;
        } else if (name == TName::Template) {
            AddTemplate(child);
        } else if (record == nullptr) {
            continue;  // a field before any Template has no record to go to
        } else if (name == TName::MenuCaption) {
            tree_[templateApp_].Templates[template_].NodeText = child.Value();
            record->MenuCaption = child.Value();
        } else if (name == TName::TemplateText) {
            record->TemplateText = child.Value();
        } else if (name == TName::PointX) {
            record->PointX = child.IntValue();
        } else if (name == TName::PointY) {
            record->PointY = child.IntValue();
        }
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
    AddXmlChildren(element);
}

void LoadTree(TSimpleXML& xml, const std::string& path, TDialogTree& tree) {
    TDialogTree loaded;
    WalkTemplateFile(xml, path, [&](TSimpleXMLElem& root) { TTreeLoader(loaded).AddXmlChildren(root); });
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
    }
    return view;
}

}  // namespace quillan
