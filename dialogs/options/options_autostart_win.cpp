// The options dialog's "Запускать вместе с Windows": the box shows the Run value as
// it stands, not a stored copy, and "ОК" changes the value only when the user has
// clicked the box, and only over the value the box showed.
#include <windows.h>

#include "dialogs/options/options_form.h"
#include "framework/win/text.h"

namespace quillan {
namespace {

constexpr const char* kAutoStartHint = "Quillan запускается при входе в Windows (раздел Run этого пользователя)";

LRESULT BoxState(TAutoStartKind kind) {
    switch (kind) {
        case TAutoStartKind::This:
            return BST_CHECKED;
        case TAutoStartKind::Other:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
    }
}

bool SameValue(const TAutoStart& a, const TAutoStart& b) { return a.Kind == b.Kind && a.Command == b.Command; }

}  // namespace

void TOptionForm::ShowAutoStart() {
    if (autoStartTouched_) return;
    autoStartShown_ = ReadAutoStart();
    SendMessageW(cbAutoStart->Handle(), BM_SETCHECK, static_cast<WPARAM>(BoxState(autoStartShown_.Kind)), 0);
    if (autoStartShown_.Kind == TAutoStartKind::Other)
        cbAutoStart->SetHint("С Windows запускается другая программа: " + win::Narrow(autoStartShown_.Command) +
                             ". Она оставлена как есть; щелчок выбирает эту копию Quillan или ничего.");
    else
        cbAutoStart->SetHint(kAutoStartHint);
}

// Checked and unchecked in turn; a value of another program adds its grayed state
// to the round, so the user can go back to leaving it alone.
void TOptionForm::cbAutoStartClick() {
    LRESULT state = SendMessageW(cbAutoStart->Handle(), BM_GETCHECK, 0, 0);
    LRESULT next = state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (state == BST_UNCHECKED && autoStartShown_.Kind == TAutoStartKind::Other) next = BST_INDETERMINATE;
    SendMessageW(cbAutoStart->Handle(), BM_SETCHECK, static_cast<WPARAM>(next), 0);
    autoStartTouched_ = next != BoxState(autoStartShown_.Kind);
}

std::string TOptionForm::AutoStartText() const {
    if (!autoStartTouched_) return "-";
    return std::to_string(SendMessageW(cbAutoStart->Handle(), BM_GETCHECK, 0, 0));
}

bool TOptionForm::ApplyAutoStart() {
    if (!autoStartTouched_) return true;
    const LRESULT wanted = SendMessageW(cbAutoStart->Handle(), BM_GETCHECK, 0, 0);
    const TAutoStart now = ReadAutoStart();
    // Changed elsewhere since the box showed it: that value stands, and the box shows it.
    if (SameValue(now, autoStartShown_) && wanted != BST_INDETERMINATE) {
        try {
            if (wanted == BST_CHECKED && now.Kind != TAutoStartKind::This) WriteAutoStart(true);
            if (wanted == BST_UNCHECKED && now.Kind != TAutoStartKind::Off) WriteAutoStart(false);
        } catch (const std::exception& e) {
            if (OnSaveError) OnSaveError(e.what());
            return false;
        }
    }
    autoStartTouched_ = false;
    ShowAutoStart();
    return true;
}

}  // namespace quillan
