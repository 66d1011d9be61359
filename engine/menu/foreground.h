// Which program owns the foreground window, found through the Tool Help
// snapshots looked up by name in kernel32 (nothing found: 0 or "").
#pragma once

#include <cstdint>
#include <string>

namespace quillan {

// The executable file name (as the process list reports it, not lower-cased)
// of the process that owns the foreground window's thread; "" when not found.
std::string GetForegroundAppName();

// The owner process of the thread; 0 when the thread is not found.
uint32_t GetThreadProcessId(uint32_t threadId);

// The executable file name of the thread's process, Windows-1251; "" when not found.
std::string GetProcessExeName(uint32_t threadId);

// The same, for the thread that owns the window (a void* HWND).
std::string GetWindowAppName(void* window);

}  // namespace quillan
