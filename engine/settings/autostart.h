// Starting with Windows: the value "Quillan" under the user's Run key holds the
// program's quoted path. Every call reads or writes the registry afresh.
#pragma once

#include <string>

namespace quillan {

inline constexpr const wchar_t* kRunKeyPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const wchar_t* kAutoStartValueName = L"Quillan";

enum class TAutoStartKind {
    Off,    // no value
    This,   // the value starts this copy of the program
    Other,  // the value starts something else (another copy, another folder, a text we cannot read)
};

struct TAutoStart {
    TAutoStartKind Kind = TAutoStartKind::Off;
    std::wstring Command;  // the value as stored (Off: empty)
};

// The Run value as it stands now. A value that is not text, or whose program is not
// this executable, reads as Other; a key that cannot be opened as Off.
TAutoStart ReadAutoStart();

// "\"" + this executable's full path + "\"": what the value is set to.
std::wstring AutoStartCommand();

// The program a Run command starts: the text inside leading quotes, else the whole
// command when it names an existing file, else the text up to the first blank.
std::wstring CommandProgram(const std::wstring& command);

// Writes the value (on) or deletes it (off). Raises Exception with the system's
// message when the key cannot be written; deleting a missing value is no failure.
void WriteAutoStart(bool on);

}  // namespace quillan
