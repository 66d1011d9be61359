// The two walks over a parsed template file.
#include "engine/store/template_loader.h"

namespace quillan {

void LoadTemplates(TSimpleXML& xml, const std::string& path, TTemplateList& list) {
    xml.SetFileName(path);
    // The walk's application starts empty rather than inheriting the last menu
    // build's program, so a stray Template is never offered to that program.
    TTemplateList loaded;
    std::string currentApp;
    ReadTemplateElements(xml.Root(), loaded, currentApp);
    list.swap(loaded);  // the previous records go with `loaded`
}

void ReadTemplateElements(TSimpleXMLElem& element, TTemplateList& list, std::string& currentApp) {
    if (!element.HasItems()) return;
    TSimpleXMLElems& items = element.Items();
    for (int i = 0; i < items.Count(); ++i) {
        TSimpleXMLElem& child = *items.Item(i);
        const std::string& name = child.Name();
        if (name == "Templates") {
            ReadTemplateElements(child, list, currentApp);
        } else if (name == "Application") {
            currentApp = child.Value();
        } else if (name == "Template") {
            list.push_back(std::make_unique<TTmpl>());
            ReadTemplateElements(child, list, currentApp);
        } else if (list.empty()) {
            continue;  // a field before any Template has no record to go to
        } else if (name == "MenuCaption") {
            list.back()->MenuCaption = child.Value();
            list.back()->Application = currentApp;
        } else if (name == "ShortCut") {
            list.back()->ShortCut = child.Value();
        } else if (name == "TemplateText") {
            list.back()->TemplateText = child.Value();
        } else if (name == "NewLine") {
            list.back()->NewLine = child.Value() == "1";
        } else if (name == "PointX") {
            list.back()->PointX = child.IntValue();
        } else if (name == "PointY") {
            list.back()->PointY = child.IntValue();
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
        const std::string& name = child.Name();
        TTmpl* record = CurrentRecord();
        if (name == "Templates") {
            AddXmlChildren(child);
        } else if (name == "Application") {
            tree_.push_back({child.Value(), {}});
            app_ = static_cast<int>(tree_.size()) - 1;
        } else if (name == "Template") {
            if (app_ < 0) {
                // No application yet: an unnamed one keeps the template visible,
                // so the user can name it instead of losing it.
                tree_.push_back({});
                app_ = static_cast<int>(tree_.size()) - 1;
            }
            auto& templates = tree_[app_].Templates;
            templates.push_back({"999", std::make_unique<TTmpl>()});
            templateApp_ = app_;
            template_ = static_cast<int>(templates.size()) - 1;
            AddXmlChildren(child);
        } else if (record == nullptr) {
            continue;  // a field before any Template has no record to go to
        } else if (name == "MenuCaption") {
            tree_[templateApp_].Templates[template_].NodeText = child.Value();
            record->MenuCaption = child.Value();
        } else if (name == "TemplateText") {
            record->TemplateText = child.Value();
        } else if (name == "PointX") {
            record->PointX = child.IntValue();
        } else if (name == "PointY") {
            record->PointY = child.IntValue();
        }
    }
}

void LoadTree(TSimpleXML& xml, const std::string& path, TDialogTree& tree) {
    xml.SetFileName(path);
    TDialogTree loaded;
    TTreeLoader(loaded).AddXmlChildren(xml.Root());
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
