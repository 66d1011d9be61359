#include "framework/controls/treeview_win.h"

#include <algorithm>
#include <cstring>

#include "framework/win/application_win.h"
#include "framework/win/common_controls_win.h"
#include "framework/win/text.h"

namespace quillan::win {
namespace {

TTreeNode* NodeOfItem(HWND tree, HTREEITEM item) {
    if (!item) return nullptr;
    TVITEMW tv = {};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
    return reinterpret_cast<TTreeNode*>(tv.lParam);
}

}  // namespace

void TTreeNode::SetText(const std::string& text) {
    text_ = text;
    std::wstring wide = Wide(text);
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item_;
    tv.pszText = wide.data();
    SendMessageW(owner_.Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

int TTreeNode::Index() const {
    const auto& list = owner_.SiblingsOf(parent_);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == this) return static_cast<int>(i);
    return -1;
}

int TTreeNode::AbsoluteIndex() const {
    for (int i = 0, n = owner_.Count(); i < n; ++i)
        if (owner_.Item(i) == this) return i;
    return -1;
}

bool TTreeNode::Selected() const { return owner_.Selected() == this; }

void TTreeNode::Expand(bool recurse) {
    SendMessageW(owner_.Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item_));
    if (recurse)
        for (auto& child : children_) child->Expand(true);
}

bool TTreeNode::Expanded() const {
    return (SendMessageW(owner_.Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item_), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

RECT TTreeNode::DisplayRect(bool textOnly) const {
    // TVM_GETITEMRECT takes the item handle in the first bytes of the rect.
    RECT rect = {};
    static_assert(sizeof(HTREEITEM) <= sizeof(RECT));
    std::memcpy(&rect, &item_, sizeof(item_));
    if (!SendMessageW(owner_.Handle(), TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(&rect))) rect = {};
    return rect;
}

void TTreeNode::MoveTo(TTreeNode* destination, TNodeAttachMode mode) {
    if (!destination || destination == this) return;
    for (TTreeNode* p = destination->parent_; p; p = p->parent_)
        if (p == this) return;  // not into its own subtree
    TTreeView& tree = owner_;
    bool wasSelected = Selected();
    ++tree.silent_;
    std::unique_ptr<TTreeNode> self = tree.Detach(this);
    TTreeNode* parent = destination->parent_;
    size_t position = 0;
    switch (mode) {
        case TNodeAttachMode::naAdd:
            position = tree.SiblingsOf(parent).size();
            break;
        case TNodeAttachMode::naAddFirst:
            position = 0;
            break;
        case TNodeAttachMode::naAddChild:
            parent = destination;
            position = destination->children_.size();
            break;
        case TNodeAttachMode::naAddChildFirst:
            parent = destination;
            position = 0;
            break;
        case TNodeAttachMode::naInsert:
            position = static_cast<size_t>(destination->Index());
            break;
    }
    TTreeNode* moved = tree.Place(std::move(self), parent, position);
    if (wasSelected) tree.SetSelected(moved);
    --tree.silent_;
}

void TTreeNode::Delete() {
    TTreeView& tree = owner_;
    std::unique_ptr<TTreeNode> self = tree.Detach(this);
    // self, its children and their data go here.
}

TTreeView::TTreeView(HWND parent) {
    InitCommonControls(ICC_TREEVIEW_CLASSES);
    Create(WC_TREEVIEWW, "", TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP,
           WS_EX_CLIENTEDGE, parent);
}

TTreeView::~TTreeView() {
    ++silent_;
    if (hwnd_) SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    roots_.clear();
}

TTreeNode* TTreeView::Place(std::unique_ptr<TTreeNode> node, TTreeNode* parent, size_t position) {
    NodeList& list = SiblingsOf(parent);
    position = std::min(position, list.size());
    node->parent_ = parent;
    HTREEITEM after = position == 0 ? TVI_FIRST : list[position - 1]->item_;
    TTreeNode* raw = node.get();
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), std::move(node));
    CreateItems(raw, after);
    return raw;
}

void TTreeView::CreateItems(TTreeNode* node, HTREEITEM after) {
    std::wstring text = Wide(node->text_);
    TVINSERTSTRUCTW ins = {};
    ins.hParent = node->parent_ ? node->parent_->item_ : TVI_ROOT;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = text.data();
    ins.item.lParam = reinterpret_cast<LPARAM>(node);
    node->item_ = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    for (auto& child : node->children_) CreateItems(child.get(), TVI_LAST);
}

std::unique_ptr<TTreeNode> TTreeView::Detach(TTreeNode* node) {
    TTreeNode* before = Selected();
    ++silent_;
    SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node->item_));
    --silent_;
    NodeList& list = SiblingsOf(node->parent_);
    auto it = std::find_if(list.begin(), list.end(), [node](const auto& p) { return p.get() == node; });
    std::unique_ptr<TTreeNode> owned = std::move(*it);
    list.erase(it);
    // Selection may have moved to a neighbour: tell the form like a user change.
    if (!silent_ && OnChange && Selected() != before) OnChange(*this, Selected());
    return owned;
}

TTreeNode* TTreeView::Add(TTreeNode* sibling, const std::string& text) {
    TTreeNode* parent = sibling ? sibling->parent_ : nullptr;
    return Place(std::make_unique<TTreeNode>(*this, parent, text), parent, SiblingsOf(parent).size());
}

TTreeNode* TTreeView::AddChild(TTreeNode* parent, const std::string& text) {
    return Place(std::make_unique<TTreeNode>(*this, parent, text), parent, SiblingsOf(parent).size());
}

TTreeNode* TTreeView::Insert(TTreeNode* sibling, const std::string& text) {
    TTreeNode* parent = sibling ? sibling->parent_ : nullptr;
    size_t position = sibling ? static_cast<size_t>(sibling->Index()) : 0;
    return Place(std::make_unique<TTreeNode>(*this, parent, text), parent, position);
}

namespace {

void Flatten(const std::vector<std::unique_ptr<TTreeNode>>& list, std::vector<TTreeNode*>& out) {
    for (const auto& node : list) {
        out.push_back(node.get());
        for (int i = 0; i < node->Count(); ++i) {
            // Pre-order: each child right after its parent, its own children after it.
            std::vector<TTreeNode*> stack = {node->Item(i)};
            while (!stack.empty()) {
                TTreeNode* n = stack.back();
                stack.pop_back();
                out.push_back(n);
                for (int k = n->Count() - 1; k >= 0; --k) stack.push_back(n->Item(k));
            }
        }
    }
}

}  // namespace

int TTreeView::Count() const {
    std::vector<TTreeNode*> all;
    Flatten(roots_, all);
    return static_cast<int>(all.size());
}

TTreeNode* TTreeView::Item(int absoluteIndex) const {
    std::vector<TTreeNode*> all;
    Flatten(roots_, all);
    return absoluteIndex >= 0 && absoluteIndex < static_cast<int>(all.size()) ? all[static_cast<size_t>(absoluteIndex)]
                                                                              : nullptr;
}

void TTreeView::Clear() {
    ++silent_;
    SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    roots_.clear();
    --silent_;
    if (OnChange) OnChange(*this, nullptr);
}

TTreeNode* TTreeView::Selected() const {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    return NodeOfItem(hwnd_, item);
}

void TTreeView::SetSelected(TTreeNode* node) {
    SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node ? node->item_ : nullptr));
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
    TVHITTESTINFO hit = {};
    hit.pt = {x, y};
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!(hit.flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON | TVHT_ONITEMRIGHT))) return nullptr;
    return NodeOfItem(hwnd_, item);
}

bool TTreeView::Notify(UINT msg, WPARAM, LPARAM lParam, LRESULT&) {
    if (msg != WM_NOTIFY) return false;
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == TVN_SELCHANGEDW) {
        if (!silent_ && OnChange) OnChange(*this, Selected());
        return true;
    }
    if (header->code == TVN_BEGINDRAGW) {
        auto* tv = reinterpret_cast<NMTREEVIEWW*>(lParam);
        // Automatic drag: the dragged node is selected first, then the drag begins.
        SetSelected(NodeOfItem(hwnd_, tv->itemNew.hItem));
        dragging_ = true;
        dragAccepted_ = false;
        SetCapture(hwnd_);
        DragMove(tv->ptDrag.x, tv->ptDrag.y);
        return true;
    }
    return false;
}

void TTreeView::DragMove(int x, int y) {
    bool accept = false;
    if (OnDragOver) OnDragOver(*this, x, y, accept);
    dragAccepted_ = accept;
    TTreeNode* target = accept ? GetNodeAt(x, y) : nullptr;
    SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(target ? target->item_ : nullptr));
    SetCursor(LoadCursorW(nullptr, accept ? IDC_ARROW : IDC_NO));
}

void TTreeView::EndDrag(bool drop, int x, int y) {
    if (!dragging_) return;
    dragging_ = false;
    SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
    if (GetCapture() == hwnd_) ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (drop && dragAccepted_ && OnDragDrop) OnDragDrop(*this, x, y);
}

LRESULT TTreeView::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (dragging_) {
        int x = static_cast<short>(LOWORD(lParam));
        int y = static_cast<short>(HIWORD(lParam));
        switch (msg) {
            case WM_MOUSEMOVE:
                DragMove(x, y);
                return 0;
            case WM_LBUTTONUP:
                EndDrag(true, x, y);
                return 0;
            case WM_CAPTURECHANGED:
                EndDrag(false, 0, 0);
                return 0;
            case WM_KEYDOWN:
                if (wParam == VK_ESCAPE) {
                    EndDrag(false, 0, 0);
                    return 0;
                }
                break;
            default:
                break;
        }
    }
    return TControl::HandleMessage(msg, wParam, lParam);
}

}  // namespace quillan::win
