// Synthesised keystrokes into the foreground program.
#pragma once

#include <cstdint>

namespace quillan {

// Ctrl down, V down, V up, Ctrl up, with the keys' scan codes.
void SendPasteKeys();
// The same with C: Ctrl+C.
void SendCopyKeys();
// One press and release of vk, scan code 0.
void TapKey(uint8_t vk);
// One press and release of a cursor key (arrows, Home, End ...) as the extended key of
// the cursor block; without the flag Left reaches remote-control programs and some
// input methods as numeric-keypad 4.
void TapCursorKey(uint8_t vk);

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
