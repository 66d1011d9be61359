// What the shell is busy with, and the one rule for every request that reaches it.
// Menus, the paste's waits and the modal dialogs run nested message loops in which
// the hotkey, tray clicks and timers keep arriving; each request asks Decide first.
//
// The rule:
// - While a menu tracks (the template menu or the tray menu), the hotkey and a tray
//   click are ignored: the open menu stays as shown, and a pick in it does what it
//   shows. (Windows tracks one menu per thread at a time.)
// - While a paste runs (from its clipboard save to its restore, the waits for the
//   modifiers and the one-second settle included), the hotkey, a tray click, a second
//   paste and the dialogs are ignored: nothing takes the front from the paste's
//   target, and the user's clipboard comes back before anything else touches it. The
//   Ctrl+C sent before the options dialog opens from the template menu counts as one.
// - While the options dialog is open, "Настройки" brings it to the front instead
//   of opening a second one; the same for the about box and "О программе". The
//   hotkey, the tray menu and pastes stay available over an open dialog.
// - "Переинициализация" and "Выход" always run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillan {

// The nested loops of the shell.
enum class TBusy : uint8_t { TemplateMenu, TrayMenu, Paste, OptionsDialog, AboutBox };

// What the user, or a timer on the user's behalf, asks of the shell.
enum class TRequest : uint8_t { HotKey, TrayMenu, Paste, Options, About, Reinitialise, Quit };

enum class TVerdict : uint8_t { Run, Ignore, BringToFront };

class TShellState {
public:
    // Marks one loop as running until the scope ends; scopes of any kinds nest.
    class [[nodiscard]] TScope {
    public:
        TScope(TShellState& state, TBusy what);
        ~TScope();
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

    private:
        TShellState& state_;
        TBusy what_;
    };

    TVerdict Decide(TRequest request) const;
    bool Busy(TBusy what) const { return depth_[Index(what)] > 0; }
    TScope Enter(TBusy what) { return TScope(*this, what); }

private:
    static size_t Index(TBusy what) { return static_cast<size_t>(what); }
    std::array<int, 5> depth_{};
};

}  // namespace quillan
