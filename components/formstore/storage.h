// The two places form storage keeps its values: a registry key (sections are
// sub-keys, values REG_SZ) or an INI file (sections are INI sections).
#pragma once

#include <memory>
#include <string>

#include "components/formstore/formstore_win.h"

namespace quillan {

// Opens key below the root: under HKEY_CURRENT_USER always with full access and
// created when missing; under another root created only when forWriting.
std::unique_ptr<TPlacementStorage> MakeRegistryStorage(TPlacementRegRoot root, const std::string& key, bool forWriting);
std::unique_ptr<TPlacementStorage> MakeIniStorage(const std::string& fileName);

}  // namespace quillan
