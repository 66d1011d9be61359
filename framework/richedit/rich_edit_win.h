// A hidden rich-text edit control: turns plain Windows-1251 text into the rich
// text that a copy places on the clipboard, and reports the control's own lines.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win/handle_win.h"
#include "framework/win/window_win.h"

namespace quillan::win {

class TRichEdit : public TSubclassedWindow {
public:
    // Default size of a multi-line edit: the wrap width that the line count depends on.
    static constexpr int kDefaultWidth = 185;
    static constexpr int kDefaultHeight = 89;

    // The DPI that font heights are meant for: the forms' design.
    static constexpr int kDesignDpi = 96;

    // Creates the control, never shown, as a child of parent, word wrap on, with the
    // given font (nullptr: "MS Sans Serif", height -11, owned by the control). The
    // font's height counts at kDesignDpi: its text has the same point size at every DPI.
    // Raises EOSError when no rich-edit library or window can be had.
    TRichEdit(HWND parent, HFONT font = nullptr);
    ~TRichEdit() override;

    // Replaces the whole text (Windows-1251).
    void SetText(const std::string& text);
    std::string Text() const;
    // Selects the whole text, without the closing paragraph mark that the control adds.
    void SelectAll();
    // Gives the selection a character set (204 = RUSSIAN_CHARSET); false when refused.
    bool SetSelectionCharset(BYTE charset);
    // Copies the selection to the clipboard as the control formats it (rich and plain text).
    void CopyToClipboard();
    // Lines as laid out by the control (wrapped lines count separately).
    int LineCount() const;
    // Line k from 0, without its line break; empty for a k outside the lines.
    std::string Line(int k) const;

private:
    static const wchar_t* LoadLibraryAndClass();
    void SetPointSizeOf(HFONT font);

    GdiObject ownFont_;
};

}  // namespace quillan::win
