// How a template goes into a program: one of three key chords that paste the
// clipboard, or typing the text as key events. Platform-free: the names stored in
// hot.ini, the built-in choices by program and the rule that picks one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/store/template_loader.h"

namespace quillan {

enum class TPasteMethod {
    CtrlV,        // the default of most programs
    ShiftInsert,  // terminals that pass Ctrl+V on to the program inside
    CtrlShiftV,   // terminals that take it for paste
    Type,         // the text as Unicode key events; no clipboard at all
};

// The PasteKeys value of each method, as hot.ini stores it: "CtrlV", "ShiftInsert",
// "CtrlShiftV", "Type".
const char* PasteKeysName(TPasteMethod method);
// A stored value read back: blanks around it and letter case do not matter;
// nothing for any other text (a newer version's method, a typing error).
std::optional<TPasteMethod> ParsePasteKeys(std::string_view text);
// What the options dialog shows for a method ("Ctrl+V", "Shift+Insert", ...).
const char* PasteMethodCaption(TPasteMethod method);

// A program with a method of its own when its group names none, and why.
struct TPasteDefault {
    const char* Executable;  // lower-cased executable file name
    TPasteMethod Method;
    const char* Reason;
};
// The one table of built-in methods.
extern const TPasteDefault kPasteDefaults[7];

// The built-in method of a program (its executable name in any letter case); nothing
// when the table has none.
std::optional<TPasteMethod> DefaultPasteMethod(std::string_view executable);

// The method of a paste into targetApp (the lower-cased executable name): the method
// its own group names, else the built-in one, else the one the common group "Общие"
// names, else Ctrl+V. A value not understood counts as not named.
TPasteMethod ChoosePasteMethod(const TPasteKeysList& named, std::string_view targetApp);

}  // namespace quillan
