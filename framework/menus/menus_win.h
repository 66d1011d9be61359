// Menu items and the popup menu: a tree of items kept as plain objects and
// turned into an HMENU only while the menu is shown.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/win/handle_win.h"

namespace quillan {

// One menu item. A parent owns its children; destroying an item destroys them.
// Caption "-" makes a separator; a TAB in the caption starts the shortcut column; an
// "&" marks the next character as the access key, "&&" shows one "&".
class TMenuItem {
public:
    TMenuItem() = default;
    explicit TMenuItem(std::string caption, std::string name = {});
    ~TMenuItem();
    TMenuItem(const TMenuItem&) = delete;
    TMenuItem& operator=(const TMenuItem&) = delete;

    std::string Caption;  // Windows-1251
    intptr_t Tag = 0;
    std::string Name;  // component name; items made at run time have none
    std::function<void(TMenuItem&)> OnClick;
    bool Default = false;  // drawn in bold, the menu's default item
    bool Enabled = true;
    int ImageIndex = -1;  // index into the popup menu's Images; -1 for none

    bool IsSeparator() const { return Caption == "-"; }
    TMenuItem* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // The child at index; raises EListError "List index out of bounds (%d)" when out of range.
    TMenuItem& Items(int index) const;
    int IndexOf(const TMenuItem* item) const;

    // Takes ownership and places the item at index (0..Count()); raises EListError
    // for another index, in which case the item is destroyed. Returns the item.
    TMenuItem& Insert(int index, std::unique_ptr<TMenuItem> item);
    TMenuItem& Add(std::unique_ptr<TMenuItem> item);
    // Detaches the child and hands it back to the caller (nullptr when not a child).
    std::unique_ptr<TMenuItem> Remove(TMenuItem* item);
    // Destroys the child at index (EListError when out of range).
    void Delete(int index);
    void Clear();

    // Depth-first search of the children (not the item itself) by component name.
    TMenuItem* Find(const std::string& name) const;
    // Runs OnClick when set; an exception from it goes to the application's handling.
    void Click();

private:
    TMenuItem* parent_ = nullptr;
    std::vector<std::unique_ptr<TMenuItem>> items_;
};

// An HMENU built from an item tree, with the command id of each clickable item
// (id = index + 1) and the bitmaps its items show; all freed with the object.
struct TBuiltMenu {
    win::MenuHandle Menu;
    std::vector<TMenuItem*> Commands;
    std::vector<win::BitmapHandle> Bitmaps;
    TMenuItem* ItemOfCommand(UINT_PTR id) const;
};

// The popup menu owns its top-level items (children of Items()).
class TPopupMenu {
public:
    TPopupMenu() = default;
    TPopupMenu(const TPopupMenu&) = delete;
    TPopupMenu& operator=(const TPopupMenu&) = delete;

    TMenuItem& Items() { return items_; }
    const TMenuItem& Items() const { return items_; }
    // Images of the items: 16x16, not owned; nullptr for none.
    HIMAGELIST Images = nullptr;
    // Gives Images at a build while there are none: the pictures of a menu that may never
    // open (an image list needs the common controls) wait until it first does.
    std::function<HIMAGELIST()> LoadImages;

    // The menu as it would be shown now. Raises EOSError when Windows refuses to build it.
    TBuiltMenu BuildMenu();
    // Shows the menu with its top-left corner at the screen point and returns the
    // chosen item (nullptr when dismissed) without running its OnClick.
    TMenuItem* TrackPopup(int x, int y, HWND owner);
    // TrackPopup, then the chosen item's OnClick after the menu has closed. The
    // handler may destroy the item: the result is then only fit for comparing.
    TMenuItem* Popup(int x, int y, HWND owner);
    // Any item of the tree by component name; nullptr when none.
    TMenuItem* FindItemByName(const std::string& name) const { return items_.Find(name); }

private:
    TMenuItem items_;
};

}  // namespace quillan
