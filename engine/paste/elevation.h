// Whether synthesised input can reach a window: input from a process that is not
// elevated into an elevated one is dropped by the system without any error.
#pragma once

#include <windows.h>

namespace quillan {

// The message raised when the paste target is out of reach.
inline constexpr const char* kSElevatedTarget =
    "Программа, в которую вставляется шаблон, запущена от имени администратора; вставка "
    "невозможна. Запустите Quillan от имени администратора.";

bool IsCurrentProcessElevated();
// True when process pid runs elevated; a process we may not even query counts as
// elevated. False for a process that does not exist (any other failure).
bool IsProcessElevated(DWORD pid);
// True when window belongs to an elevated process of another owner while this
// process is not elevated, so that keys sent to it would be lost. False for nullptr.
bool IsInputBlockedFor(HWND window);

}  // namespace quillan
