// What the shell tells the user when something keeps it from doing what was asked:
// the texts of its balloons over the tray icon and of the template menu's notice lines.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <vector>

namespace quillan {

// How much of a balloon's text the shell shows.
inline constexpr size_t kBalloonTextLimit = 255;
// The longest line of a balloon: some shells (Wine's) do not wrap a balloon's text, and
// a longer line runs off the screen.
inline constexpr size_t kBalloonLineLimit = 80;

// hot.ini could not be loaded: lines for the template menu (the whole reader's
// message, the file's full path) and the balloon's text, which fits kBalloonTextLimit
// (the file named by its name alone when the full path would not let it fit).
// exists: whether a file is there at all (a missing one is no fault).
struct TTemplateFileNotice {
    std::vector<std::string> MenuLines;
    std::string Balloon;
};
TTemplateFileNotice DescribeTemplateFileProblem(const std::string& path, bool exists, const std::exception& e);

// The program was started again after a failure; logPath is the log holding its report
// (empty: not known), named whole when it fits, else by its file name.
std::string RestartedBalloon(const std::string& logPath);

// The stored hotkey is held by another program.
std::string HotKeyTakenBalloon(const std::string& hotKeyName);

// A paste was refused: program (its executable's name) runs elevated.
std::string ElevatedTargetBalloon(const std::string& program);

// Ends every line of a balloon: Wine draws a balloon's text a few pixels narrower than
// it measured it, cutting off the last letter of the widest line ("... found" read
// "... foun"); the blanks are what it cuts then.
inline constexpr const char* kBalloonLineEnd = "  ";

// text broken into lines of at most kBalloonLineLimit characters at blanks (the blank
// where a line ends gives way to kBalloonLineEnd and "\n"; a word longer than a line
// stays whole), the last line ended by kBalloonLineEnd too, then cut to kBalloonTextLimit
// characters, the cut marked with "...".
std::string FitBalloon(const std::string& text);

}  // namespace quillan
