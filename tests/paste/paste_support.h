// Test scaffolding for pastes into real windows: a focused target window, the
// registry redirected to a scratch key, clipboard probes and message pumping.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/store/template.h"
#include "tests/support/pump.h"
#include "tests/support/scratch_registry.h"

namespace quillan::test {

// A template of this text with its hot point at (x, y).
TTmpl Template(const std::string& text, int32_t x = 0, int32_t y = 0);
bool RunningUnderWine();
// The text as a target control shows it: every line break (CR LF, CR or LF) as "\n".
std::string ShownText(const std::string& text);

// Stores "cbRestoreClpbrd_Checked" in the program's settings key (of a ScratchRegistry while one lives).
void SetRestore(const char* value);

// A visible top-level window whose one multi-line text control has the focus; the
// key-downs that reach the control are recorded.
class TargetWindow {
public:
    enum class Kind { Edit, RichEdit };
    struct Key {
        WPARAM vk;
        LPARAM flags;
        bool shiftDown;
        bool ctrlDown;
    };

    explicit TargetWindow(Kind kind);
    ~TargetWindow();
    TargetWindow(const TargetWindow&) = delete;
    TargetWindow& operator=(const TargetWindow&) = delete;

    // Brings the frame to the front and the control into focus; false after the deadline.
    bool Focus();
    // The control's text, Windows-1251, every line end turned into "\n".
    std::string Text() const;
    // Caret row and column from 0; false when a selection is not empty.
    bool Caret(int& row, int& column) const;
    int CountKeys(WPARAM vk) const;

    HWND frame = nullptr;
    HWND control = nullptr;
    std::vector<Key> keys;

private:
    static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM);
    WNDPROC original_ = nullptr;
};

// Calls fn every intervalMs while the object lives and messages are pumped.
class Ticker {
public:
    Ticker(UINT intervalMs, std::function<void()> fn);
    ~Ticker();
    Ticker(const Ticker&) = delete;
    Ticker& operator=(const Ticker&) = delete;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    UINT_PTR id_;
    std::function<void()> fn_;
};

// Empties the clipboard, then places text and bytes under the registered format name.
void PutUserClipboard(const std::string& text, const char* formatName, const std::string& bytes);

// What every paste test starts from: the registry on a scratch key with the restore on, the
// user's clipboard holding text and bytes of a private format, and the hidden owner of the
// rich-edit control, as the main form is.
struct PasteScene {
    PasteScene(const std::string& userText, const char* userFormat, const std::string& userBytes);
    ~PasteScene();
    PasteScene(const PasteScene&) = delete;
    PasteScene& operator=(const PasteScene&) = delete;

    ScratchRegistry registry;
    HWND owner = nullptr;
};
std::string ClipboardText();
bool ClipboardHas(const char* registeredName);
bool ClipboardHas(UINT format);
// Data of a format (registered name or number); empty when absent.
std::string ClipboardBytes(const char* registeredName);
std::string ClipboardBytes(UINT format);
// Every format of the clipboard that holds plain data, by its registered name (or
// "#number" for a predefined one), with its bytes.
std::map<std::string, std::string> ClipboardContent();

}  // namespace quillan::test
