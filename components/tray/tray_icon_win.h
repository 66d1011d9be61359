// The notification-area icon: puts the program's icon next to the clock, turns
// the shell's mouse callbacks into click, double-click and menu events, and
// hides or shows the application's taskbar button. GUI thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "components/tray/plain_component.h"
#include "framework/win/handle_win.h"

namespace quillan {

class TPopupMenu;
class TTrayCallbackWindow;

// Bit 0 first; the order is part of the stored form data.
enum TTrayVisibility : uint8_t {
    tvVisibleTaskBar,
    tvVisibleTaskList,
    tvAutoHide,
    tvAutoHideIcon,
    tvVisibleDesign,
    tvRestoreClick,
    tvRestoreDbClick,
    tvMinimizeClick,
    tvMinimizeDbClick,
};

// A set of TTrayVisibility, stored in 16 bits.
class TTrayVisibilities {
public:
    constexpr TTrayVisibilities() = default;
    constexpr TTrayVisibilities(std::initializer_list<TTrayVisibility> members) {
        for (TTrayVisibility m : members) bits_ = static_cast<uint16_t>(bits_ | Bit(m));
    }
    static constexpr TTrayVisibilities FromBits(uint16_t bits) {
        TTrayVisibilities s;
        s.bits_ = static_cast<uint16_t>(bits & 0x1FF);
        return s;
    }
    constexpr bool Contains(TTrayVisibility m) const { return (bits_ & Bit(m)) != 0; }
    void Include(TTrayVisibility m) { bits_ = static_cast<uint16_t>(bits_ | Bit(m)); }
    void Exclude(TTrayVisibility m) { bits_ = static_cast<uint16_t>(bits_ & ~Bit(m)); }
    // Members of this set that are not in other.
    constexpr TTrayVisibilities Minus(TTrayVisibilities other) const {
        return FromBits(static_cast<uint16_t>(bits_ & ~other.bits_));
    }
    constexpr bool operator==(const TTrayVisibilities&) const = default;

private:
    static constexpr uint16_t Bit(TTrayVisibility m) { return static_cast<uint16_t>(1u << m); }
    uint16_t bits_ = 0;
};

class TTrayIcon : public TPlainComponent {
public:
    enum TMouseButton { mbLeft, mbRight, mbMiddle };
    // Shift state bits, built from GetKeyState at the time of handling.
    enum : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
    using TShiftState = uint8_t;
    // Balloon icon kinds, in the order none, error, information, warning.
    enum TBalloonType { btNone, btError, btInfo, btWarning };

    using TAnimateEvent = std::function<void(TTrayIcon& sender, int imageIndex)>;
    using TMouseEvent = std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TTrayIcon& sender, TShiftState shift, int x, int y)>;
    using TNotifyEvent = std::function<void(TTrayIcon& sender)>;
    using TContextPopupEvent = std::function<void(TTrayIcon& sender, POINT mousePos, bool& handled)>;

    // Replaceable calls to the shell and to the menu; the defaults are the real ones.
    using TShellNotifyFn = std::function<BOOL(DWORD message, NOTIFYICONDATAW& data)>;
    using TMenuPopupFn = std::function<void(TPopupMenu& menu, int x, int y, HWND owner)>;

    // Starts in the loading state: set the properties, then call Loaded().
    // shellVersion is the shell's dwFileVersionMS; older than 5.0 means the short
    // record, 63-character tips and no balloons. Raises EOSError when the callback
    // window cannot be created.
    explicit TTrayIcon(DWORD shellVersion = SystemShellVersion());
    // Removes the icon and destroys the callback window.
    ~TTrayIcon() override;

    // End of loading: shows the icon when Active and hides the taskbar button
    // when Visibility lacks tvVisibleTaskBar.
    void Loaded() override;

    bool Active() const { return active_; }
    void SetActive(bool value);
    bool Animated() const { return animated_; }
    void SetAnimated(bool value);
    // The icon to show when no list icon applies; the setter copies the picture
    // (nullptr clears it), the object keeps its own copy.
    HICON Icon() const { return icon_.get(); }
    void SetIcon(HICON icon);
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int value);
    // Not owned; clear it (or call FreeNotification) before destroying the list.
    HIMAGELIST Icons() const { return icons_; }
    void SetIcons(HIMAGELIST list);
    // Windows-1251; only the text before the first "|" is shown, at the next
    // mouse movement over the icon.
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value);
    unsigned Delay() const { return delay_; }
    void SetDelay(unsigned value);
    TTrayVisibilities Visibility() const { return visibility_; }
    void SetVisibility(TTrayVisibilities value);

    // Menus are not owned: a single left click opens DropDownMenu; PopupMenu is
    // the context menu whose Default item runs on a double click.
    TPopupMenu* DropDownMenu = nullptr;
    TPopupMenu* PopupMenu = nullptr;
    bool Snap = false;  // also hide the main form when hiding the application

    TAnimateEvent OnAnimate;
    TMouseEvent OnClick, OnDblClick, OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnBalloonShow, OnBalloonHide, OnBalloonClick;
    TContextPopupEvent OnContextPopup;
    // Before a left click opens DropDownMenu; handled = true keeps it closed.
    TContextPopupEvent OnDropDown;

    TShellNotifyFn ShellNotifyIcon;
    TMenuPopupFn MenuPopup;

    // Hides the application's taskbar button (minimising it when visible).
    void HideApplication();
    // Brings the taskbar button and the main form back.
    void ShowApplication();
    // Balloon over the icon (shell 5.0 and later; does nothing on older shells).
    // Title is cut to 63 characters, text to 255.
    void ShowBalloon(const std::string& title, const std::string& text, TBalloonType kind, unsigned delayMs,
                     bool cancelPrevious);
    void HideBalloon();

    // The menu or image list with this address is being destroyed: forget it.
    void FreeNotification(const void* component);

    // Fills the shell record from the current state (size, window, id, callback, icon, tip).
    void InitIconData();
    // Adds the icon to the notification area when it should be visible.
    void ShowTrayIcon();
    // Removes the icon when it is shown.
    void HideTrayIcon();
    // Makes the list icon, Icon or the application icon current and tells the shell.
    void UpdateIcon();
    // Stores flags in the record and passes message and record to the shell.
    void NotifyShell(UINT flags, DWORD message);

    const NOTIFYICONDATAW& IconData() const { return iconData_; }
    HICON CurrentIcon() const { return currentIcon_.get(); }
    HWND CallbackWindow() const;
    UINT TaskbarCreatedMsg() const { return taskbarCreatedMsg_; }
    bool IconShown() const { return iconShown_; }
    int BalloonCount() const { return balloonCount_; }

    // dwFileVersionMS of shell32.dll, read once per process; 0 when unreadable.
    static DWORD SystemShellVersion();

    static constexpr UINT kCallbackMessage = WM_USER + 1;
    static constexpr UINT kIconId = 1;

private:
    friend class TTrayCallbackWindow;
    enum : UINT_PTR { kAnimateTimer = 1, kBalloonTimer = 2, kClickTimer = 3 };
    struct TPendingClick {
        TMouseButton button = mbLeft;
        TShiftState shift = 0;
        int x = 0, y = 0;
    };

    bool NewShell() const { return shellVersion_ >= 0x00050000; }
    size_t TipLimit() const { return NewShell() ? 127 : 63; }
    void CopyTip();
    void MakeCurrent(HICON icon);
    bool ApplicationVisible() const;
    void SetTaskListVisible(bool value);
    void HookApplication();
    void UnhookApplication();
    void StartAnimation();
    void StopAnimation();
    void AnimateStep();
    void ApplyVisibilityChange(TTrayVisibilities added, TTrayVisibilities removed);

    // The callback window's messages; false leaves the message to DefWindowProc.
    bool HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool HandleTimer(UINT_PTR id);
    LRESULT HandleShellCallback(UINT event);
    void HandleMouseEvent(UINT event);
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void Click(const TPendingClick& click);
    void DblClick(TMouseButton button, TShiftState shift, int x, int y);
    void ContextPopup(POINT pos);
    void PopupAt(TPopupMenu& menu, int x, int y);

    DWORD shellVersion_;
    NOTIFYICONDATAW iconData_ = {};
    win::IconHandle icon_;
    win::IconHandle currentIcon_;
    std::unique_ptr<TTrayCallbackWindow> callbackWindow_;
    UINT taskbarCreatedMsg_ = 0;

    bool active_ = false;
    bool animated_ = false;
    int iconIndex_ = 0;
    HIMAGELIST icons_ = nullptr;
    std::string hint_;
    unsigned delay_ = 100;
    TTrayVisibilities visibility_{tvVisibleTaskBar, tvVisibleTaskList, tvAutoHide};

    bool iconShown_ = false;
    bool animating_ = false;
    int appHook_ = 0;  // id of the application window hook; 0 when not hooked
    bool hintChanged_ = false;
    bool clickPending_ = false;
    bool hiddenAtLoad_ = false;
    bool mouseDownSeen_ = false;
    bool streamedActive_ = false;
    bool taskListVisible_ = true;
    TPendingClick pending_;

    int balloonCount_ = 0;
    ULONGLONG balloonShownAt_ = 0;  // GetTickCount64 at the last ShowBalloon
    unsigned balloonSeconds_ = 0;
};

}  // namespace quillan
