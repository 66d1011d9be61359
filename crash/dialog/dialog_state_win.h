// The crash dialog's state file on disk.
#pragma once

#include <string>

#include "crash/dialog/dialog_state.h"

namespace quillan::crash {

// "MishapLog.ini" in the Windows folder when a file there can be written, else in the profile's
// "MishapLog" folder (made when missing).
std::string DialogStateFilePath();

// The stored state; sizes and column widths that were never stored are the defaults scaled from
// 96 to dpi. A missing or unreadable file gives those defaults.
TDialogState ReadDialogStateFile(const std::string& path, int minWidth, int minHeight, int dpi);

// False when the file could not be written (the dialog goes on without it).
bool WriteDialogStateFile(const std::string& path, const TDialogState& state);

}  // namespace quillan::crash
