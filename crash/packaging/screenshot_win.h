// Screen capture for a report's screenshot (Windows).
#pragma once

#include <windows.h>

#include "crash/packaging/octree.h"

namespace quillan::crash {

// Captures the foreground window (foregroundOnly) or the desktop over all monitors, frames the
// focused control with two red rectangles, the second 1 pixel inside the first, and draws the mouse
// cursor in. focus: the control to frame; nullptr takes the focus of the foreground window's
// thread. Returns an image with Width 0 when the screen cannot be read.
TBgrxImage CaptureScreenshot(bool foregroundOnly, HWND focus = nullptr);

// The screen rectangle that CaptureScreenshot copies; never empty.
RECT ScreenshotArea(bool foregroundOnly);

}  // namespace quillan::crash
