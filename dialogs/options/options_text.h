// The options dialog's text rules: the hot-point marker and the flattened
// caption form. Platform-free.
#pragma once

#include <string>

namespace quillan {

// The template text with the hot-point marker "*" removed: the one character at
// column pointX-1 of line pointY-1 (lines split at CR LF, LF or CR), when the
// point is set and that character is "*". Anything else is returned unchanged.
std::string StripHotPointMark(const std::string& text, int pointX, int pointY);

// Where the marker goes for a hot point: the character offset in text, or -1
// when the point is unset or lies outside the text (no marker then, so that no
// stray "*" can reach the template).
int HotPointMarkOffset(const std::string& text, int pointX, int pointY);

// The caption form of a text: every CR LF replaced by "." and every TAB removed.
std::string FlattenCaption(const std::string& text);

}  // namespace quillan
