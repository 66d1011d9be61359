// The configuration the program carries in its module data: reports only go to the log.
#pragma once

#include <string>

#include "crash/options/options.h"

namespace quillan::crash {

// Sets every stored field to the carried configuration (texts and strings at their defaults).
void ApplyCarriedOptions(TMishapModuleOptions& options);

// The version-506 options stream of the carried configuration, as the module data embeds it.
std::string CarriedOptionsStream();

}  // namespace quillan::crash
