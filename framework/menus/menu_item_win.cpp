#include "framework/core/exceptions.h"
#include "framework/menus/menus_win.h"
#include "framework/win/application_win.h"

namespace quillan {

namespace {

[[noreturn]] void RaiseIndex(int index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

TMenuItem::TMenuItem(std::string caption, std::string name) : Caption(std::move(caption)), Name(std::move(name)) {}

// Children go with their owner through items_.
TMenuItem::~TMenuItem() = default;

TMenuItem& TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) RaiseIndex(index);
    return *items_[static_cast<size_t>(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == item) return static_cast<int>(i);
    }
    return -1;
}

TMenuItem& TMenuItem::Insert(int index, std::unique_ptr<TMenuItem> item) {
    if (!item) throw EListError("Cannot insert a missing menu item");
    if (index < 0 || index > Count()) RaiseIndex(index);
    item->parent_ = this;
    TMenuItem& ref = *item;
    items_.insert(items_.begin() + index, std::move(item));
    return ref;
}

TMenuItem& TMenuItem::Add(std::unique_ptr<TMenuItem> item) { return Insert(Count(), std::move(item)); }

std::unique_ptr<TMenuItem> TMenuItem::Remove(TMenuItem* item) {
    int index = IndexOf(item);
    if (index < 0) return nullptr;
    std::unique_ptr<TMenuItem> owned = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
    owned->parent_ = nullptr;
    return owned;
}

void TMenuItem::Delete(int index) {
    if (index < 0 || index >= Count()) RaiseIndex(index);
    // Detach first: the item's destructor must not see itself still listed.
    std::unique_ptr<TMenuItem> doomed = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
}

void TMenuItem::Clear() {
    while (!items_.empty()) Delete(Count() - 1);
}

TMenuItem* TMenuItem::Find(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (const auto& child : items_) {
        if (child->Name == name) return child.get();
        if (TMenuItem* found = child->Find(name)) return found;
    }
    return nullptr;
}

void TMenuItem::Click() {
    if (!OnClick) return;
    win::Guarded([this] { OnClick(*this); });
}

}  // namespace quillan
