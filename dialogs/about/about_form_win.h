// The "О программе" box: the program's icon, product name, description,
// copyright and version from its own version resource; closes with OK, Enter or Esc.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "components/version/version_info_win.h"
#include "framework/win/handle_win.h"
#include "framework/win/window_win.h"

namespace quillan::about {

// Control ids of the box's children.
enum AboutControlId : int {
    idImage1 = 101,
    idProductName,
    idDescription,
    idCopyRight,
    idVersion,
    idBevel,
    idButton1 = IDOK,
};

inline constexpr wchar_t kAboutFormClass[] = L"TAbout_Form";
inline constexpr int kAboutClientWidth = 289;
inline constexpr int kAboutClientHeight = 212;

class TAbout_Form : public win::TWindow {
public:
    // Builds the (hidden) box for the version resource of exePath; the running
    // program by default. Raises EOSError when a window cannot be made.
    explicit TAbout_Form(const std::string& exePath);
    TAbout_Form();
    ~TAbout_Form() override;

    // Shows the box with the other windows of the thread disabled and runs the
    // application's messages until it closes; returns IDOK or IDCANCEL.
    int ShowModal();
    // Ends the modal loop with result.
    void Close(int result) { modalResult_ = result; }
    int ModalResult() const { return modalResult_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    // A length of the 96-DPI layout at the screen's DPI, as the options dialog scales its own.
    int Scale(int value) const { return MulDiv(value, dpi_, 96); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FormCreate();
    void FormShow();
    void FormKeyPress(char& key);
    void FormDestroy();

    void CreateControls();
    HWND AddControl(const wchar_t* cls, const std::string& text, DWORD style, int x, int y, int w, int h, int id);
    // Key preview: the box sees key presses before its controls.
    bool PreviewKey(const MSG& msg);
    void DrawLabel(const DRAWITEMSTRUCT& item);

    std::string exePath_;
    std::unique_ptr<version::TVersionInfo> versionInfo_;
    win::GdiObject font_;
    win::GdiObject descriptionFont_;
    int modalResult_ = 0;
    int dpi_ = 96;
};

// Shows a fresh about box modally and frees it when it closes.
void ShowAboutBox();
// The about box being shown, or null.
TAbout_Form* AboutForm();

}  // namespace quillan::about
