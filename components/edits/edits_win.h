// Input controls beyond the plain edit: a folder edit with a browse button and
// an integer spin edit with up/down buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/controls/controls_win.h"

namespace quillan {

// Shows a folder chooser starting at start; true with the chosen folder in
// chosen when the user confirms. Replaceable (tests, other dialog kinds).
using TBrowseForFolder = std::function<bool(HWND owner, const std::string& start, std::string& chosen)>;
// The system's folder browser (SHBrowseForFolder), preset to start.
bool BrowseForFolderShell(HWND owner, const std::string& start, std::string& chosen);

class TFolderEdit : public win::TEdit {
public:
    explicit TFolderEdit(HWND parent);
    // The bounds of the edit and its button together: the button, a square of the
    // height, takes the right end.
    void SetBounds(int x, int y, int width, int height) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;

    std::string InitialDir;     // remembered from the last successful choice
    bool MultipleDirs = false;  // append the choice after ";"
    TBrowseForFolder BrowseForFolder = &BrowseForFolderShell;
    // What the folder button does: chooser at the text's folder (or "\"), then the text.
    void ButtonClick();
    HWND ButtonHandle() const { return button_ ? button_->Handle() : nullptr; }

private:
    std::unique_ptr<win::TButton> button_;
};

class TSpinEdit : public win::TEdit {
public:
    explicit TSpinEdit(HWND parent);
    ~TSpinEdit() override;
    void SetBounds(int x, int y, int width, int height) override;

    int Increment = 1;
    int MinValue = 0;  // both bounds 0: unbounded
    int MaxValue = 0;
    // The text as a decimal integer; MinValue when it is not one.
    int Value() const;
    // Limited to the bounds when they differ; the text (and OnChange) changes only when it differs.
    void SetValue(int value);
    void Up() { SetValue(Value() + Increment); }
    void Down() { SetValue(Value() - Increment); }

    std::vector<TPropInfo> PublishedProps() const override;
    int64_t GetOrdProp(const std::string& name) const override;
    void SetOrdProp(const std::string& name, int64_t value) override;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    class TSpinButtons;
    std::unique_ptr<TSpinButtons> buttons_;
};

// Strict decimal text: optional blanks, one sign, digits; nullopt otherwise or on overflow.
std::optional<int> ParseDecimal(const std::string& text);

}  // namespace quillan
