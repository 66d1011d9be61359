// Synthesised keystrokes into the foreground program.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/paste/paste_method.h"

namespace quillan {

// Ctrl down, C down, C up, Ctrl up, with the keys' scan codes, in one SendInput call,
// so that no key of the user's lands between them.
void SendCopyKeys();
// The copy that goes with a paste method, in one SendInput call: Ctrl+C with Ctrl+V,
// Ctrl+Insert with Shift+Insert, Ctrl+Shift+C with Ctrl+Shift+V. Nothing for Type (such
// windows take no chord for the clipboard at all): false then.
bool SendCopyChord(TPasteMethod method);
// The chord of a clipboard method (Ctrl+V, Shift+Insert, Ctrl+Shift+V) in one
// SendInput call: modifiers down, the key, modifiers up. Type sends nothing.
void SendPasteChord(TPasteMethod method);

// Typing: text (UTF-16) as Unicode key events, each line break (CR LF, CR or LF) as
// Enter, chunkChars characters to a SendInput call and pauseMs between calls while
// messages are handled, since remote-desktop and virtual-machine windows drop long
// bursts. Returns the number of events the system took; it stops at a refused call.
uint64_t TypeText(std::wstring_view text, size_t chunkChars, uint32_t pauseMs);
// One press and release of a cursor key (arrows, Home, End ...) as the extended key of
// the cursor block; without the flag Left reaches remote-control programs and some
// input methods as numeric-keypad 4. Two keybd_event calls: a key at a time.
void TapCursorKey(uint8_t vk);
// count presses and releases of a cursor key, as TapCursorKey sends them, in one
// SendInput call (kMaxKeysPerBatch presses a call beyond that). Returns the number of
// events the system took; fewer than 2 * count when input is blocked.
uint64_t SendCursorPresses(uint8_t vk, uint64_t count);
inline constexpr uint64_t kMaxKeysPerBatch = 16384;

// True while Win, Alt or Shift is held down (the user still on the hotkey).
bool PasteModifiersDown();
// Waits, handling messages, until Win, Alt and Shift are released or maxMs ran out;
// returns whether they were released. Never sends a key-up itself: a synthesised
// Win release would open the Start menu.
bool WaitForModifiersReleased(uint32_t maxMs);

// True when the program in front has taken its activation: its thread reports an
// active window and a focus window, so keys sent now reach a window of it.
bool ForegroundReady();
// Waits, handling messages, until ForegroundReady or maxMs ran out; returns whether
// it became ready. A program brought back to the front after the menu takes the
// activation only when its own thread gets to it.
bool WaitForForegroundReady(uint32_t maxMs);

}  // namespace quillan
