// The application's hint machinery: a control's hint is shown in a hint window
// near the mouse after a short pause. The hint window class can be replaced
// (the balloon-hint component plugs its own window in here).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace quillan::win {

// A window that shows one hint at a time. Owned by the hint manager.
class THintWindow {
public:
    virtual ~THintWindow() = default;
    // Size needed for hint, as a rect relative to (0,0); maxWidth limits the width.
    virtual RECT CalcHintRect(int maxWidth, const std::string& hint) = 0;
    // Shows hint at screenRect, topmost, without activating the window.
    virtual void ActivateHint(RECT screenRect, const std::string& hint) = 0;
    virtual void HideHint() = 0;
    virtual HWND Handle() const = 0;
};

using HintWindowFactory = std::function<std::unique_ptr<THintWindow>()>;

// Replaces the hint window class; returns the previous factory (the default
// one on the first call). Hides the current hint; the next hint uses a new window.
HintWindowFactory SetHintWindowClass(HintWindowFactory factory);

// Sets the hint of a control; the text before the first "|" is shown. An empty
// text removes it. The hint is forgotten when the control is destroyed.
void SetControlHint(HWND control, const std::string& hint);
// The hint text stored for control (empty when none), whole, "|" part included.
std::string GetControlHint(HWND control);

// Hides the hint shown now and stops a pending one.
void CancelHint();

// The short hint: the text before the first "|".
std::string GetShortHint(const std::string& hint);

// A hint rect placed below the cursor, shifted to stay on its monitor (and moved
// above the cursor when it would fall off the bottom); for rectangular hint windows.
RECT KeepHintOnMonitor(RECT placed);

// The plain rectangular tooltip-like hint window used by default.
std::unique_ptr<THintWindow> CreateDefaultHintWindow();

}  // namespace quillan::win
