// The export table of a module image in memory, read through a memory reader, and the code
// rules that go with it: import thunks followed, function lengths estimated from their bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crash/moduledata/memory_reader.h"

namespace quillan::crash {

struct TExportedFunction {
    std::string Name;  // at most 256 characters
    TAddress Address = 0;
    std::uint32_t Length = 0;  // estimated
};
// Sorted by address (TMishapFunctionsList).
using TMishapFunctionsList = std::vector<TExportedFunction>;

// Resolves an exported name to its address (GetProcAddress); 0 falls back to the table's own
// address of the function.
using TProcAddressLookup = std::function<TAddress(const std::string& name)>;

// Reads the exported functions of the image at base, sorted by address. Unreadable or malformed
// tables give the functions read so far; forwarded exports (code of another module) are left out.
TMishapFunctionsList ReadExportedFunctions(IMemoryReader& memory, TAddress base, const TProcAddressLookup& lookup);

// An import thunk at address (0xFF 0x25, a pointer, 0x8B 0xC0) is followed to the address it
// jumps to; the 32-bit pointer is absolute in 32-bit code and relative to the next instruction in
// 64-bit code. Any other address is returned as it is.
TAddress FollowImportThunk(IMemoryReader& memory, TAddress address, bool is64);

// Length of the function at start from its bytes: after 0x55 (push ebp) it ends with 0x5D or
// 0xC9 followed by a return (0xC2, 0xC3, 0xCA, 0xCB); otherwise at the first return byte.
// 0 when the code is not readable or no end is found within 64 KB.
std::uint32_t EstimateFunctionLength(IMemoryReader& memory, TAddress start);

// The function whose estimated range holds address; nullptr when none.
const TExportedFunction* FindExportedFunction(const TMishapFunctionsList& functions, TAddress address);

}  // namespace quillan::crash
