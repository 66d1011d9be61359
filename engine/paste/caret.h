// The arithmetic of a paste, free of any platform: the text the paste places and the
// number of Left presses that walk the caret back to its hot point.
#pragma once

#include <cstdint>
#include <string>

namespace quillan {

// The text given to the rich-edit control: the template's own text, each of its line
// breaks (CR LF, CR or LF) written as CR LF and nothing added, so that what is pasted
// is exactly the template and the caret ends just after its last character.
std::string TemplateControlText(const std::string& text);

// Left presses that bring the caret from the end of the pasted text to column pointX of
// row pointY (both 1-based; 0 is unset and stands for the end of the text, as the file
// writer writes it); rows outside the text count as empty lines. Never negative.
int64_t CountCaretPresses(const std::string& templateText, int32_t pointX, int32_t pointY);

// The most presses a paste sends: the pasted text's length in caret steps (a line
// break is one step), which brings the caret to the start of the paste; a hand-edited
// huge negative value would otherwise send billions of key events into the text before it.
int64_t CaretPressLimit(const std::string& templateText);

}  // namespace quillan
