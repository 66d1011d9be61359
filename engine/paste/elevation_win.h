// Whether synthesised input can reach a window: input from a process into one of a
// higher integrity level (an elevated program, seen from a normal one) is dropped by
// the system without any error.
#pragma once

#include <windows.h>

#include "engine/paste/integrity.h"
#include "framework/core/exceptions.h"

namespace quillan {

// A paste refused because its target is out of reach; the message is kSElevatedTarget.
QUILLAN_EXCEPTION(EElevatedTarget, Exception);

// The message raised when the paste target is out of reach.
inline constexpr const char* kSElevatedTarget =
    "Программа, в которую вставляется шаблон, запущена от имени администратора; вставка "
    "невозможна. Запустите Quillan от имени администратора.";

// The integrity level of this process, or of process pid; empty when the process
// or its token may not be opened or the level not read.
TIntegrityLevel CurrentIntegrityLevel();
TIntegrityLevel IntegrityLevelOf(DWORD pid);

// True when window belongs to another process whose integrity level is known to be
// above this process's (InputBlockedByIntegrity), so that keys sent to it would be
// lost. False for nullptr, for our own windows and wherever a level is unknown.
bool IsInputBlockedFor(HWND window);

}  // namespace quillan
