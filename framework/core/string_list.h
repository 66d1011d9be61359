// An ordered list of Windows-1251 strings, each with an optional object pointer.
#pragma once

#include <string>
#include <vector>

namespace quillan {

class TStringList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    const std::string& operator[](int index) const { return items_.at(static_cast<size_t>(index)).text; }
    std::string& operator[](int index) { return items_.at(static_cast<size_t>(index)).text; }
    void* Object(int index) const { return items_.at(static_cast<size_t>(index)).object; }

    int Add(std::string text, void* object = nullptr);
    void Insert(int index, std::string text, void* object = nullptr);
    void Delete(int index);
    void Clear() { items_.clear(); }
    int IndexOf(const std::string& text) const;

    // Every line followed by CR LF, the last one too.
    std::string Text() const;
    // Splits at CR LF, lone CR or lone LF; a final line break adds no empty line.
    void SetText(const std::string& text);

private:
    struct Item {
        std::string text;
        void* object;
    };
    std::vector<Item> items_;
};

}  // namespace quillan
