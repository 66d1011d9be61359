// The paste itself: the template goes to the clipboard as rich text, Ctrl+V goes to
// the foreground program, the caret walks back to the hot point, and once that program
// has read the template (a second at most when it reads nothing) the user's own
// clipboard comes back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/paste/paste_method.h"
#include "engine/store/template.h"
#include "framework/core/exceptions.h"
#include "framework/core/streams.h"

namespace quillan {

// The restore waits for the target's read of the template: this long after the chord
// when it reads nothing, kRestoreQuietMs after its last read otherwise, and never longer
// than kRestoreWaitLimitMs.
inline constexpr uint32_t kPasteSettleMs = 1000;
inline constexpr uint32_t kRestoreQuietMs = 50;
inline constexpr uint32_t kRestoreWaitLimitMs = 3000;
inline constexpr uint32_t kRestorePollMs = 5;
// How long a paste waits for the user to let go of Win, Alt and Shift.
inline constexpr uint32_t kModifierWaitMs = 1500;
// How long a paste waits for the program in front to take the activation.
inline constexpr uint32_t kForegroundWaitMs = 1000;
inline constexpr BYTE kTemplateCharset = 204;  // RUSSIAN_CHARSET
// Typing: characters to a SendInput call, and the pause between calls.
inline constexpr size_t kTypeChunkChars = 32;
inline constexpr uint32_t kTypePauseMs = 10;

// A paste refused before anything was sent or the clipboard touched; the message
// says why, for the user.
QUILLAN_EXCEPTION(EPasteRefused, Exception);

// The message of a paste refused because the clipboard could not be saved.
inline constexpr const char* kSClipboardBusy =
    "Буфер обмена занят другой программой, и его содержимое не удалось сохранить. Шаблон не "
    "вставлен, чтобы не потерять содержимое буфера; повторите вставку.";

// Pastes tmpl into the foreground window. The text and the hot point are copied
// before anything else, so tmpl need only live until the call has started. The
// hidden rich-edit control is a child of ownerWindow (nullptr: the application
// window) with font (nullptr: "MS Sans Serif" -11).
// tmpl nullptr is the start-up run: it makes ready what a paste needs (the rich-edit
// library and a control with that font) and neither touches the clipboard nor sends
// a key, so the program in front at start-up is left as it is.
// With the restore setting on, a clipboard that cannot be saved (held by another
// program past the open retries) refuses the paste with EPasteRefused kSClipboardBusy
// before the clipboard is touched. A failed restore is swallowed; any other failure
// propagates after the control and the snapshot are freed, and the clipboard is then
// not restored. Raises EElevatedTarget (kSElevatedTarget), before the clipboard is
// touched, when the target is known to run at a higher integrity level than this process.
// method: the chord that pastes the clipboard, or Type, which types the text the
// clipboard would carry as key events and touches neither the clipboard nor the
// snapshot.
// wait: when the user's clipboard comes back; see TRestoreWait.
enum class TRestoreWait {
    // Once the target has read the template (the template is offered by delayed
    // rendering, so each read is seen), kRestoreQuietMs after its last read; after
    // kPasteSettleMs when it reads nothing.
    AfterTargetRead,
    // After kPasteSettleMs, whatever the target does: the wait of old, kept for the
    // benchmark that weighs the two.
    Fixed,
};
void PasteTemplate(const TTmpl* tmpl, HWND ownerWindow, HFONT font, TPasteMethod method = TPasteMethod::CtrlV,
                   TRestoreWait wait = TRestoreWait::AfterTargetRead);

// The copy chord of method (SendCopyChord: Ctrl+C for Ctrl+V) into the program in
// front, the user's clipboard kept aside meanwhile: from
// the copy until GiveBack the selection is on the clipboard (to be pasted into a
// template), then every format of the user's clipboard comes back, as after a paste:
// when the restore setting is on and nothing but this program has placed anything
// since. Nothing is sent when the clipboard cannot be saved or method has no copy chord
// (Type); Copied() is false then.
class TSelectionCopy {
public:
    // Saves the clipboard, sends the copy chord and waits, handling messages, up to
    // waitMs for the copy to reach the clipboard.
    explicit TSelectionCopy(uint32_t waitMs, TPasteMethod method = TPasteMethod::CtrlV);
    // Gives back, when GiveBack has not run.
    ~TSelectionCopy();
    TSelectionCopy(const TSelectionCopy&) = delete;
    TSelectionCopy& operator=(const TSelectionCopy&) = delete;

    // Ctrl+C was sent and the clipboard changed after it.
    bool Copied() const { return copied_; }
    // Puts the saved clipboard back as described above; once. Never raises.
    void GiveBack() noexcept;

private:
    TMemoryStream snapshot_;
    bool copied_ = false;
    bool pending_ = false;
};

// Marks the data on the clipboard as private: clipboard history, cloud clipboard and
// clipboard monitors leave it out. Adds formats without emptying; false when the
// clipboard could not be opened or a mark not placed.
bool MarkClipboardPrivate();

}  // namespace quillan
