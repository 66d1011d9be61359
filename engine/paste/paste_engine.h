// The paste itself: the template goes to the clipboard as rich text, Ctrl+V goes to
// the foreground program, the caret walks back to the hot point, and after a second
// the user's own clipboard comes back.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/paste/paste_method.h"
#include "engine/store/template.h"

namespace quillan {

inline constexpr uint32_t kPasteSettleMs = 1000;
// How long a paste waits for the user to let go of Win, Alt and Shift.
inline constexpr uint32_t kModifierWaitMs = 1500;
// How long a paste waits for the program in front to take the activation.
inline constexpr uint32_t kForegroundWaitMs = 1000;
inline constexpr BYTE kTemplateCharset = 204;  // RUSSIAN_CHARSET
// Typing: characters to a SendInput call, and the pause between calls.
inline constexpr size_t kTypeChunkChars = 32;
inline constexpr uint32_t kTypePauseMs = 10;

// Pastes tmpl (nullptr: the start-up run, which pastes an empty text) into the
// foreground window. The text and the hot point are copied before anything else, so
// tmpl need only live until the call has started. The hidden rich-edit control is a child of ownerWindow (nullptr:
// the application window) with font (nullptr: "MS Sans Serif" -11). Clipboard save and
// restore failures are swallowed; any other failure propagates after the control and
// the snapshot are freed, and the clipboard is then not restored. Raises EElevatedTarget
// (kSElevatedTarget), before the clipboard is touched, when the target is known to
// run at a higher integrity level than this process.
// method: the chord that pastes the clipboard, or Type, which types the text the
// clipboard would carry as key events and touches neither the clipboard nor the
// snapshot (the start-up run always sends Ctrl+V).
void PasteTemplate(const TTmpl* tmpl, HWND ownerWindow, HFONT font, TPasteMethod method = TPasteMethod::CtrlV);

// Marks the data on the clipboard as private: clipboard history, cloud clipboard and
// clipboard monitors leave it out. Adds formats without emptying; false when the
// clipboard could not be opened or a mark not placed.
bool MarkClipboardPrivate();

}  // namespace quillan
