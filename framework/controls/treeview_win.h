// Tree view with a node model: nodes own their children and an optional data
// object; the absolute index is the pre-order position (Items order).
// Automatic drag mode: dragging a node asks OnDragOver and ends in OnDragDrop.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/controls/controls_win.h"

namespace quillan::win {

class TTreeView;

enum class TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };

class TTreeNode {
public:
    TTreeNode(TTreeView& owner, TTreeNode* parent, std::string text)
        : owner_(owner), parent_(parent), text_(std::move(text)) {}
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    const std::string& Text() const { return text_; }
    void SetText(const std::string& text);
    // The node's data object; freed with the node (or when replaced).
    std::shared_ptr<void> Data;
    template <typename T>
    T* DataAs() const {
        return static_cast<T*>(Data.get());
    }

    TTreeNode* Parent() const { return parent_; }
    int Level() const { return parent_ ? parent_->Level() + 1 : 0; }
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Item(int index) const { return children_.at(static_cast<size_t>(index)).get(); }
    int Index() const;  // among its siblings
    int AbsoluteIndex() const;
    bool Selected() const;
    void Expand(bool recurse = false);
    bool Expanded() const;
    // The node's rectangle in the tree's client area (text only or whole line).
    RECT DisplayRect(bool textOnly) const;
    HTREEITEM ItemId() const { return item_; }
    // Moves the node (with its children and data) relative to destination.
    void MoveTo(TTreeNode* destination, TNodeAttachMode mode);
    // Frees the node, its children and their data.
    void Delete();

private:
    friend class TTreeView;
    TTreeView& owner_;
    TTreeNode* parent_;
    std::string text_;
    HTREEITEM item_ = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> children_;
};

class TTreeView : public TControl {
public:
    explicit TTreeView(HWND parent);
    ~TTreeView() override;

    // New last top-level node (or last sibling of sibling); new last / first child.
    TTreeNode* Add(TTreeNode* sibling, const std::string& text);
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
    // New node just before sibling, under sibling's parent.
    TTreeNode* Insert(TTreeNode* sibling, const std::string& text);

    int Count() const;  // all nodes
    TTreeNode* Item(int absoluteIndex) const;
    void Clear();
    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* node);
    // The node whose line holds the client point, or nullptr.
    TTreeNode* GetNodeAt(int x, int y) const;
    bool Dragging() const { return dragging_; }

    // Selection changed (node = the new selection, or nullptr).
    std::function<void(TTreeView& sender, TTreeNode* node)> OnChange;
    std::function<void(TTreeView& sender, int x, int y, bool& accept)> OnDragOver;
    std::function<void(TTreeView& sender, int x, int y)> OnDragDrop;

    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool WantsKey(WPARAM key) const override { return dragging_ && key == VK_ESCAPE; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TTreeNode;
    using NodeList = std::vector<std::unique_ptr<TTreeNode>>;
    NodeList& SiblingsOf(TTreeNode* parent) { return parent ? parent->children_ : roots_; }
    const NodeList& SiblingsOf(const TTreeNode* parent) const { return parent ? parent->children_ : roots_; }
    TTreeNode* Place(std::unique_ptr<TTreeNode> node, TTreeNode* parent, size_t position);
    void CreateItems(TTreeNode* node, HTREEITEM after);
    std::unique_ptr<TTreeNode> Detach(TTreeNode* node);
    void DragMove(int x, int y);
    void EndDrag(bool drop, int x, int y);

    NodeList roots_;
    int silent_ = 0;  // internal changes that must not fire OnChange
    bool dragging_ = false;
    bool dragAccepted_ = false;
};

}  // namespace quillan::win
