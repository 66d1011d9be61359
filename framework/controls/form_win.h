// A top-level form: owns its font (scaled to the screen's DPI), knows its
// components by name, handles dialog keys (Tab, Enter = default button, Esc =
// cancel button) and runs its own modal loop through the application object.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/controls/controls_win.h"
#include "framework/win/handle_win.h"

namespace quillan::win {

class TForm : public TWindow {
public:
    ~TForm() override;

    static TForm* FromHandle(HWND hwnd);
    // The class name, which also names the form's registry section.
    virtual std::string ClassName() const = 0;

    int ModalResult = mrNone;
    // The show command Show uses (the form storage restores a maximised state into it).
    int InitialShowCmd = SW_SHOWNORMAL;
    // Shows the form and runs the loop until ModalResult is set; the owner (if
    // any) is disabled meanwhile. Returns the modal result (mrCancel for the close box).
    int ShowModal();
    // Shows without a modal loop (OnShow runs first).
    void Show();
    // Runs the close handling (FormClose) and hides the form.
    void Close();

    // The components registered by the form, looked up by name without regard to case.
    void RegisterComponent(TControl& control) { components_.push_back(&control); }
    const std::vector<TControl*>& Components() const { return components_; }
    TControl* FindComponent(const std::string& name) const;

    int PixelsPerInch() const { return dpi_; }
    int Scale(int value) const { return MulDiv(value, dpi_, 96); }
    HFONT Font() const { return font_.get(); }
    // Is the border sizeable (normal or tool window)?
    bool Sizeable() const { return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_THICKFRAME) != 0; }

    // Enter presses the default button, Esc the cancel button; false when there is none.
    bool DialogKey(WPARAM key);

    // Components' hooks on the form's life: show hooks run before FormShow,
    // close hooks before FormClose. An exception from a hook goes to the
    // application's handling and the form's own handler still runs.
    enum class THookKind { Show, Close };
    int AddFormHook(THookKind kind, std::function<void()> hook);
    void RemoveFormHook(int id);

    // Minimum tracking size in pixels (0 = none).
    int MinWidth = 0;
    int MinHeight = 0;

protected:
    TForm() = default;
    // Makes the window; width and height are in 96-DPI units and scaled here.
    void CreateForm(const wchar_t* windowClass, const std::string& caption, DWORD style, DWORD exStyle, int width,
                    int height, HWND owner);
    virtual void FormShow() {}
    virtual void FormClose() {}
    virtual void FormResize() {}
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool DialogKeyFilter(MSG& msg);
    TButton* FindButton(bool defaultButton) const;

    void RunHooks(THookKind kind);

    std::vector<TControl*> components_;
    struct THook {
        int id;
        THookKind kind;
        std::function<void()> fn;
    };
    std::vector<THook> hooks_;
    int nextHookId_ = 1;
    FontHandle font_;
    int dpi_ = 96;
    int filterId_ = 0;
    bool modal_ = false;
};

}  // namespace quillan::win
