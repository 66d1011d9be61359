// What an exported function's name says about the code it stands for.
#pragma once

#include <string>
#include <string_view>

#include "crash/report/report_types.h"

namespace quillan::crash {

// Fills kind, unit, class and procedure of entry from an exported name: a plain name (no ".",
// not starting with "?") is the procedure (kind 2); a package's mangled name ("@Unit@Class@Method$...")
// gives unit, class and procedure (kind 3). False, entry untouched, for names that are not used
// (starting with "?", or holding a "." without being mangled).
bool DecodeExportName(std::string_view name, TMishapStackEntry& entry);

}  // namespace quillan::crash
