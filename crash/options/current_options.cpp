#include "crash/options/current_options.h"

#include <atomic>

#include "crash/options/errors.h"

namespace quillan::crash {

const char* const kCurrentOptionsInactiveText =
    "\r\nCannot use 'CurrentMishapLogOptions' function without activate MishapLog.\r\n"
    "To activate MishapLog use the new IDE \"Project/MishapLog Options...\" menu.";

namespace {
std::atomic<TMishapModuleOptionsEx*> g_current{nullptr};
}

void SetCurrentMishapLogOptions(TMishapModuleOptionsEx* options) { g_current.store(options); }

TMishapModuleOptionsEx& CurrentMishapLogOptions() {
    TMishapModuleOptionsEx* options = g_current.load();
    if (options == nullptr) throw EAssertionFailed(kCurrentOptionsInactiveText, "MishapLog");
    return *options;
}

}  // namespace quillan::crash
