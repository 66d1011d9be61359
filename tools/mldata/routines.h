// What the build puts into every executable's block besides the line tables: the routine table's
// framework routines and the options the program carries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillan::mldata {

// Routine numbers and the functions they name: 0 and 1 are the application's exception
// handling and display, which the crash reporter takes over.
std::vector<std::pair<std::uint8_t, std::string>> ProgramRoutines();

// The options stream the program carries in its block.
std::string CarriedOptions();

// "MLDATA" as a resource name.
std::u16string ResourceName();

}  // namespace quillan::mldata
