// The arithmetic of a paste, free of any platform: the template's lines and the
// number of Left presses that walk the caret back to its hot point.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillan {

// The template's own lines, split at CR LF, CR or LF. A final line break does not
// start another line, so "ab\r\n" is one line and the empty text has none.
std::vector<std::string> SplitTemplateLines(const std::string& text);

// The text given to the rich-edit control: every line followed by CR LF, so that the
// pasted text ends with a line break and the caret starts on the line after it.
std::string TemplateControlText(const std::string& text);

// Left presses that bring the caret from the end of the pasted text to column pointX of
// row pointY (both 1-based); rows outside the text count as empty lines. Never negative.
int64_t CountCaretPresses(const std::string& templateText, int32_t pointX, int32_t pointY);

// The most presses a paste sends: the pasted text's length in caret steps plus 2, which
// every hot point with column and row from 0 up stays within; a hand-edited huge
// negative value would otherwise send billions of key events.
int64_t CaretPressLimit(const std::string& templateText);

}  // namespace quillan
