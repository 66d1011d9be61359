// The options of the running module, as the library publishes them while it is active.
#pragma once

#include "crash/options/options_ex.h"

namespace quillan::crash {

// The text of the assertion raised when the library is not active.
extern const char* const kCurrentOptionsInactiveText;

// Called by the library's start-up with the running module's options, and with nullptr at
// shut-down. The object is not owned.
void SetCurrentMishapLogOptions(TMishapModuleOptionsEx* options);

// The running module's options. Raises EAssertionFailed (kCurrentOptionsInactiveText, source
// file "MishapLog") when the library is not active.
TMishapModuleOptionsEx& CurrentMishapLogOptions();

}  // namespace quillan::crash
