// The password that enciphers the names in this program's module data, and the exported entry
// through which a module hands its password to the crash reporter. The build-time writer and the
// program's export take the password from here, so the two cannot drift apart.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quillan::crash {

inline constexpr char kProgramModuleDataPassword[] = "Quillan/MLDATA:7f3c-19e2-a84d";

// Name of the export a module may carry to supply its password.
inline constexpr char kPasswordRequestExport[] = "MishapLog_PasswordRequestEvent";

// The export's signature: writes at most size bytes of the password to buffer and returns the
// password's full length (a larger result asks for a larger buffer).
extern "C" {
typedef int TMishapPasswordRequestProc(char* buffer, int size);
}

// The body of such an export.
inline int SupplyPassword(std::string_view password, char* buffer, int size) {
    if (buffer && size > 0) std::memcpy(buffer, password.data(), std::min<size_t>(password.size(), size));
    return static_cast<int>(password.size());
}

}  // namespace quillan::crash
