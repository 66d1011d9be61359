// The about box's version line, kept apart from the window so it can be tested anywhere.
#pragma once

#include <string>

namespace quillan::about {

// Piece number n (1-based) of text between "." characters, empty pieces not
// counted; empty when there are fewer pieces.
std::string VersionPart(const std::string& text, int n);

// "Версия " and the first three pieces of fileVersion, each followed by ".",
// without the very last character: "1.0.0.0" -> "Версия 1.0.0", "2.5" -> "Версия 2.5.".
std::string VersionLabel(const std::string& fileVersion);

}  // namespace quillan::about
