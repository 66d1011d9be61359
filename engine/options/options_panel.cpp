// The options dialog's panels: the application's name, and the template's caption,
// text and hot point with the marker that shows it in the memo.
#include "engine/options/options_model.h"
#include "engine/options/template_text.h"

namespace quillan {

void TOptionsModel::ClearPanel() {
    shown_ = kNoNode;
    memo_.clear();
    marker_ = -1;
}

TDialogTemplate* TOptionsModel::ShownTemplate() {
    // Edits reach the record only through the panel that shows it, so that a panel
    // left from an earlier selection can never write into another record.
    if (shown_ == kNoNode || shown_ != selected_) return nullptr;
    return TemplateOf(shown_);
}

TPanelView TOptionsModel::ShowSelected() {
    ClearPanel();
    TPanelView view;
    if (IsApplication(selected_)) {
        view.Kind = TPanelKind::Application;
        view.AppName = TextOf(selected_);
        view.PasteKeys = tree_[static_cast<size_t>(Locate(selected_).App)].PasteKeys;
        return view;
    }
    TDialogTemplate* shown = TemplateOf(selected_);
    if (!shown) return view;
    shown_ = selected_;
    TTmpl& record = *shown->Record;
    // The caption edit takes the tree's text, which the record then keeps.
    EditCaption(shown->NodeText);
    // The default caption follows the text from the first showing on.
    if (shown->NodeText == kDefaultTemplateCaption || shown->NodeText == FlattenCaption(record.TemplateText))
        EditCaption(FlattenCaption(record.TemplateText));
    memo_ = record.TemplateText;
    marker_ = HotPointMarkOffset(memo_, record.PointX, record.PointY);
    view.Caret = CaretOffset(memo_, record.PointX - 1, record.PointY - 1);
    if (marker_ >= 0) {
        memo_.insert(static_cast<size_t>(marker_), 1, '*');
        view.Caret = marker_ + 1;
    }
    view.Kind = TPanelKind::Template;
    view.Caption = shown->NodeText;
    view.MemoText = memo_;
    view.Row = record.PointY;
    view.Column = record.PointX;
    return view;
}

bool TOptionsModel::EditCaption(const std::string& caption) {
    TDialogTemplate* shown = ShownTemplate();
    if (!shown) return false;
    shown->Record->MenuCaption = caption;
    shown->NodeText = caption;
    return true;
}

bool TOptionsModel::EditText(const std::string& memoText) {
    TDialogTemplate* shown = ShownTemplate();
    if (!shown) return false;
    marker_ = TrackThroughEdit(memo_, memoText, marker_);
    memo_ = memoText;
    std::string text = memo_;
    if (marker_ >= 0) text.erase(static_cast<size_t>(marker_), 1);
    TTmpl& record = *shown->Record;
    // The caption follows the text until the user types a caption of his own.
    bool follows = shown->NodeText == kDefaultTemplateCaption || shown->NodeText == FlattenCaption(record.TemplateText);
    std::string caption = FlattenCaption(text);
    bool renamed = follows && caption != shown->NodeText;
    if (renamed) EditCaption(caption);
    record.TemplateText = std::move(text);
    return renamed;
}

void TOptionsModel::EditHotPointColumn(int column) {
    if (TDialogTemplate* shown = ShownTemplate()) shown->Record->PointX = column;
}

void TOptionsModel::EditHotPointRow(int row) {
    if (TDialogTemplate* shown = ShownTemplate()) shown->Record->PointY = row;
}

bool TOptionsModel::SetHotPointAtCaret(int caret) {
    TDialogTemplate* shown = ShownTemplate();
    if (!shown) return false;
    // Counted on the template's text: the marker is not part of it.
    if (marker_ >= 0 && caret > marker_) --caret;
    TTextPoint point = PointOfOffset(shown->Record->TemplateText, caret);
    shown->Record->PointX = point.Column;
    shown->Record->PointY = point.Row;
    return true;
}

}  // namespace quillan
