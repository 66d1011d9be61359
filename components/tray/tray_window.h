// The hidden window that receives the shell's callbacks, the timers and the
// "TaskbarCreated" broadcast for one tray icon.
#pragma once

#include "components/tray/tray_icon_win.h"
#include "framework/win/window_win.h"

namespace quillan {

// A zero-size WS_POPUP tool window, never shown. Not a message-only window:
// those miss the broadcast that follows an Explorer restart.
class TTrayCallbackWindow : public win::TWindow {
public:
    // Raises EOSError when the window cannot be created.
    explicit TTrayCallbackWindow(TTrayIcon& owner);
    ~TTrayCallbackWindow() override;

protected:
    // Exceptions from the owner are caught by the base window procedure and
    // handed to the application; the message then returns 0.
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    TTrayIcon& owner_;
};

}  // namespace quillan
