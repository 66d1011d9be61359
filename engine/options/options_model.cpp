// The tree of the options dialog and its commands.
#include "engine/options/options_model.h"

#include <utility>

#include "engine/store/template_file.h"

namespace quillan {
namespace {

constexpr const char* kNewApplication = "Приложение ";

}  // namespace

TOptionsModel::TOptionsModel() { tree_.push_back({kCommonGroup, {}, nextId_++}); }

// ---- the tree ----

TOptionsModel::TPlace TOptionsModel::Locate(TNodeId id) const {
    if (id == kNoNode) return {};
    if (!indexValid_) {
        index_.clear();
        for (size_t a = 0; a < tree_.size(); ++a) {
            index_[tree_[a].Id] = {static_cast<int>(a), -1};
            const auto& templates = tree_[a].Templates;
            for (size_t t = 0; t < templates.size(); ++t)
                index_[templates[t].Id] = {static_cast<int>(a), static_cast<int>(t)};
        }
        indexValid_ = true;
    }
    auto it = index_.find(id);
    return it == index_.end() ? TPlace{} : it->second;
}

TDialogTemplate* TOptionsModel::TemplateOf(TNodeId id) {
    TPlace place = Locate(id);
    if (place.App < 0 || place.Template < 0) return nullptr;
    return &tree_[static_cast<size_t>(place.App)].Templates[static_cast<size_t>(place.Template)];
}

std::vector<TNodeId> TOptionsModel::Nodes() const {
    std::vector<TNodeId> nodes;
    for (const TDialogApp& app : tree_) {
        nodes.push_back(app.Id);
        for (const TDialogTemplate& t : app.Templates) nodes.push_back(t.Id);
    }
    return nodes;
}

bool TOptionsModel::Exists(TNodeId id) const { return Locate(id).App >= 0; }

bool TOptionsModel::IsApplication(TNodeId id) const {
    TPlace place = Locate(id);
    return place.App >= 0 && place.Template < 0;
}

TNodeId TOptionsModel::ParentOf(TNodeId id) const {
    TPlace place = Locate(id);
    return place.Template >= 0 ? tree_[static_cast<size_t>(place.App)].Id : kNoNode;
}

int TOptionsModel::IndexOf(TNodeId id) const {
    TPlace place = Locate(id);
    return place.Template >= 0 ? place.Template : place.App;
}

TNodeId TOptionsModel::NextSibling(TNodeId id) const {
    TPlace place = Locate(id);
    if (place.App < 0) return kNoNode;
    if (place.Template < 0) {
        auto next = static_cast<size_t>(place.App) + 1;
        return next < tree_.size() ? tree_[next].Id : kNoNode;
    }
    const auto& templates = tree_[static_cast<size_t>(place.App)].Templates;
    auto next = static_cast<size_t>(place.Template) + 1;
    return next < templates.size() ? templates[next].Id : kNoNode;
}

std::string TOptionsModel::TextOf(TNodeId id) const {
    TPlace place = Locate(id);
    if (place.App < 0) return {};
    const TDialogApp& app = tree_[static_cast<size_t>(place.App)];
    return place.Template < 0 ? app.Name : app.Templates[static_cast<size_t>(place.Template)].NodeText;
}

TTmpl* TOptionsModel::Record(TNodeId id) {
    TDialogTemplate* t = TemplateOf(id);
    return t ? t->Record.get() : nullptr;
}

const TTmpl* TOptionsModel::Record(TNodeId id) const { return const_cast<TOptionsModel*>(this)->Record(id); }

TNodeId TOptionsModel::Find(const std::string& text) const {
    for (TNodeId id : Nodes())
        if (TextOf(id) == text) return id;
    return kNoNode;
}

void TOptionsModel::Select(TNodeId id) {
    selected_ = Exists(id) ? id : kNoNode;
    ClearPanel();
}

// ---- the file ----

void TOptionsModel::Number(TDialogTree& tree) {
    for (TDialogApp& app : tree) {
        app.Id = nextId_++;
        for (TDialogTemplate& t : app.Templates) t.Id = nextId_++;
    }
}

void TOptionsModel::Load(TSimpleXML& xml, const std::string& path) {
    TDialogTree loaded;
    LoadTree(xml, path, loaded);  // raises before anything here changes
    Number(loaded);
    tree_.swap(loaded);
    Reshaped();
    Select(kNoNode);
}

void TOptionsModel::Save(const std::string& path) const { SaveTemplateFile(path, TreeForSaving(tree_)); }

// ---- the commands ----

TNodeId TOptionsModel::AddApplication() {
    ++appCounter_;
    TDialogApp app;
    app.Name = kNewApplication + std::to_string(appCounter_);
    app.Id = nextId_++;
    tree_.push_back(std::move(app));
    Reshaped();
    return tree_.back().Id;
}

TNodeId TOptionsModel::AddTemplate() {
    TPlace place = Locate(selected_);
    if (place.App < 0) return kNoNode;
    TDialogApp& app = tree_[static_cast<size_t>(place.App)];
    // Under an application: "//Шаблон " and its count + 1. Under a template: the
    // selected template's own children are counted, and templates have none.
    std::string name = place.Template < 0
                           ? std::string(kDefaultTemplateCaption) + " " + std::to_string(app.Templates.size() + 1)
                           : std::string(kDefaultTemplateCaption) + "1";
    auto record = std::make_unique<TTmpl>();
    record->TemplateText = name;
    record->Application = app.Name;
    app.Templates.push_back({name, std::move(record), nextId_++});
    Reshaped();
    return app.Templates.back().Id;
}

bool TOptionsModel::CanDelete() const { return selected_ != kNoNode && TextOf(selected_) != kCommonGroup; }

TNodeId TOptionsModel::DeleteSelected() {
    if (!CanDelete()) return kNoNode;
    TPlace place = Locate(selected_);
    TDialogApp& app = tree_[static_cast<size_t>(place.App)];
    TNodeId deleted = selected_;
    TNodeId next = kNoNode;
    if (place.Template >= 0) {
        auto& templates = app.Templates;
        auto index = static_cast<size_t>(place.Template);
        next = index + 1 < templates.size() ? templates[index + 1].Id : app.Id;
        KeepBetween(app, index);
        templates.erase(templates.begin() + place.Template);
    } else {
        auto index = static_cast<size_t>(place.App);
        next = index + 1 < tree_.size() ? tree_[index + 1].Id : index > 0 ? tree_[index - 1].Id : kNoNode;
        KeepAround(index);
        tree_.erase(tree_.begin() + place.App);
    }
    Reshaped();
    Select(next);
    return deleted;
}

bool TOptionsModel::AcceptsApplicationKey() const { return selected_ == kNoNode || TextOf(selected_) != kCommonGroup; }

bool TOptionsModel::RenameApplication(const std::string& name) {
    TPlace place = Locate(selected_);
    if (place.App < 0 || place.Template >= 0) return false;
    tree_[static_cast<size_t>(place.App)].Name = name;
    return true;
}

bool TOptionsModel::SetPasteKeys(std::optional<std::string> pasteKeys) {
    TPlace place = Locate(selected_);
    if (place.App < 0 || place.Template >= 0) return false;
    tree_[static_cast<size_t>(place.App)].PasteKeys = std::move(pasteKeys);
    return true;
}

namespace {

void MoveKept(TKeptList& from, int fromSlot, TKeptList& to, int toSlot) {
    for (auto it = from.begin(); it != from.end();) {
        if (it->Slot != fromSlot) {
            ++it;
            continue;
        }
        it->Slot = toSlot;
        to.push_back(std::move(*it));
        it = from.erase(it);
    }
}

}  // namespace

// What followed a deleted template stood between templates: it now follows the one
// before, or the application.
void TOptionsModel::KeepBetween(TDialogApp& app, size_t index) {
    TKeptList& kept = app.Templates[index].Record->Kept;
    if (index > 0)
        MoveKept(kept, tsAfterTemplate, app.Templates[index - 1].Record->Kept, tsAfterTemplate);
    else
        MoveKept(kept, tsAfterTemplate, app.Kept, gsAfterApplication);
}

// What stood between a deleted group and its neighbours stays between them.
void TOptionsModel::KeepAround(size_t index) {
    TKeptList& kept = tree_[index].Kept;
    TDialogApp* before = index > 0 ? &tree_[index - 1] : nullptr;
    TDialogApp* after = index + 1 < tree_.size() ? &tree_[index + 1] : nullptr;
    if (after) {
        // Inserted ahead of what already stands there, in their own order.
        TKeptList moved;
        MoveKept(kept, gsBefore, moved, gsBefore);
        if (!before) MoveKept(kept, gsAfter, moved, gsBefore);
        for (TKeptXml& piece : after->Kept) moved.push_back(std::move(piece));
        after->Kept.swap(moved);
    }
    if (before) {
        MoveKept(kept, gsBefore, before->Kept, gsAfter);
        MoveKept(kept, gsAfter, before->Kept, gsAfter);
    }
}

bool TOptionsModel::CanDrag() const { return ParentOf(selected_) != kNoNode; }

TNodeId TOptionsModel::Drop(TNodeId target) {
    if (!CanDrag() || target == selected_ || !Exists(target)) return kNoNode;
    TPlace source = Locate(selected_);
    auto& from = tree_[static_cast<size_t>(source.App)].Templates;
    TDialogTemplate moving = std::move(from[static_cast<size_t>(source.Template)]);
    from.erase(from.begin() + source.Template);
    Reshaped();
    // Found again: taking the source out may have moved the target up by one.
    TPlace to = Locate(target);
    TDialogApp& app = tree_[static_cast<size_t>(to.App)];
    auto position = app.Templates.begin() + (to.Template < 0 ? 0 : to.Template);
    app.Templates.insert(position, std::move(moving));
    Reshaped();
    return app.Id;
}

TFocusResult TOptionsModel::FocusApplication(const std::string& name) {
    TFocusResult result;
    for (TNodeId id : Nodes()) {
        if (TextOf(id) != name) continue;
        result.Expanded.push_back(id);
        selected_ = id;
    }
    if (result.Expanded.empty()) {
        result.Added = AddApplication();
        tree_.back().Name = name;
        selected_ = result.Added;
    }
    ClearPanel();
    return result;
}

}  // namespace quillan
