// Thin objects over the standard Windows controls. Each control is a subclassed
// child window; containers reflect WM_COMMAND / WM_NOTIFY back to the control
// that sent them, which turns them into its events. Events run on the GUI
// thread; an exception from one goes to the application's exception handling.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/controls/published.h"
#include "framework/win/window_win.h"

namespace quillan::win {

class TControl;
using TNotifyEvent = std::function<void(TControl& sender)>;
using TKeyPressEvent = std::function<void(TControl& sender, char& key)>;  // key 0 = discarded

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

class TControl : public TSubclassedWindow, public TPersistent {
public:
    std::string Name;
    int Tag = 0;

    // The object of a control window made here; nullptr for any other window.
    static TControl* FromHandle(HWND hwnd);

    HWND Parent() const { return GetParent(hwnd_); }
    virtual void SetBounds(int x, int y, int width, int height);
    // The control's own visibility flag (its parents may still be hidden).
    bool Visible() const { return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
    virtual void SetVisible(bool visible);
    bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    virtual void SetEnabled(bool enabled);
    void SetFocus();
    std::string Text() const;
    void SetText(const std::string& text);
    void SetHint(const std::string& hint);
    std::string Hint() const;

    // Enter / Esc / Tab that the control handles itself rather than the form.
    virtual bool WantsKey(WPARAM) const { return false; }
    // A WM_COMMAND or WM_NOTIFY sent by this control to its parent; true when handled.
    virtual bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // TPersistent: Tag, Text (by default), Visible, Enabled.
    std::string ComponentName() const override { return Name; }
    std::vector<TPropInfo> PublishedProps() const override;
    int64_t GetOrdProp(const std::string& name) const override;
    void SetOrdProp(const std::string& name, int64_t value) override;
    std::string GetStrProp(const std::string& name) const override;
    void SetStrProp(const std::string& name, const std::string& value) override;

protected:
    // Makes the window (child of parent, font of the parent) and subclasses it.
    void Create(const wchar_t* className, const std::string& caption, DWORD style, DWORD exStyle, HWND parent);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Sends a reflected WM_COMMAND / WM_NOTIFY to the control that sent it; true
// when that control handled it. For containers' window procedures.
bool ReflectNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

class TLabel : public TControl {
public:
    TLabel(HWND parent, const std::string& caption);
};

class TEdit : public TControl {
public:
    explicit TEdit(HWND parent, DWORD extraStyle = 0);
    TNotifyEvent OnChange;
    TKeyPressEvent OnKeyPress;
    void SelectAll();
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    TEdit() = default;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// An edit with a caption label above it; the label moves with the edit.
class TLabeledEdit : public TEdit {
public:
    TLabeledEdit(HWND parent, const std::string& label);
    void SetBounds(int x, int y, int width, int height) override;
    void SetVisible(bool visible) override;
    int LabelSpacing = 3;

private:
    std::unique_ptr<TLabel> label_;
};

class TMemo : public TEdit {
public:
    explicit TMemo(HWND parent);
    TNotifyEvent OnClick;
    bool WantsKey(WPARAM key) const override { return key == VK_RETURN; }
    // The caret as an offset into Text() (Windows-1251 characters). Lines are
    // left to the caller: the control's own lines are its wrapped screen lines.
    int SelStart() const;
    // Puts the caret at an offset into Text() (clamped) and scrolls it into view.
    void SetSelStart(int offset);
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool settingText_ = false;
};

// Drop-down list: ItemIndex -1 means no selection.
class TComboBox : public TControl {
public:
    explicit TComboBox(HWND parent);
    void ClearItems();
    void AddItem(const std::string& text);
    int ItemCount() const;
    int ItemIndex() const;
    void SetItemIndex(int index);
    TNotifyEvent OnChange;
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::vector<TPropInfo> PublishedProps() const override;
    int64_t GetOrdProp(const std::string& name) const override;
    void SetOrdProp(const std::string& name, int64_t value) override;
};

class TButton : public TControl {
public:
    TButton(HWND parent, const std::string& caption, DWORD extraStyle = 0);
    TNotifyEvent OnClick;
    TModalResult ModalResult = mrNone;  // given to the form before OnClick runs
    bool Default = false;
    bool Cancel = false;
    void SetDefault(bool isDefault);
    // As if clicked by the user (does nothing when disabled).
    void Click();
    bool Notify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// A small button of a tool strip (text glyph); takes no focus.
class TToolButton : public TButton {
public:
    TToolButton(HWND parent, const std::string& caption);
};

class TCheckBox : public TButton {
public:
    TCheckBox(HWND parent, const std::string& caption);
    bool Checked() const;
    void SetChecked(bool checked);
    std::vector<TPropInfo> PublishedProps() const override;
    int64_t GetOrdProp(const std::string& name) const override;
    void SetOrdProp(const std::string& name, int64_t value) override;
};

// A plain container; OnClick fires for clicks on its free area.
class TPanel : public TControl {
public:
    explicit TPanel(HWND parent, bool border = false);
    TNotifyEvent OnClick;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// A framed container with a caption; its own area takes the mouse (for its hint).
class TGroupBox : public TControl {
public:
    TGroupBox(HWND parent, const std::string& caption);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace quillan::win
