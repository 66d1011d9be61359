#include "framework/core/string_list.h"

#include "framework/core/exceptions.h"

namespace quillan {

int TStringList::Add(std::string text, void* object) {
    items_.push_back({std::move(text), object});
    return Count() - 1;
}

void TStringList::Insert(int index, std::string text, void* object) {
    if (index < 0 || index > Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, Item{std::move(text), object});
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(const std::string& text) const {
    for (int i = 0; i < Count(); ++i) {
        if (items_[static_cast<size_t>(i)].text == text) return i;
    }
    return -1;
}

std::string TStringList::Text() const {
    std::string out;
    for (const Item& item : items_) {
        out += item.text;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(const std::string& text) {
    items_.clear();
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            Add(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) Add(text.substr(start));
}

}  // namespace quillan
