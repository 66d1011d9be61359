#include "crash/moduledata/pe_exports.h"

#include <algorithm>

namespace quillan::crash {
namespace {

constexpr std::uint32_t kMaxExports = 65536;
constexpr size_t kMaxNameLength = 256;
constexpr std::uint32_t kMaxFunctionLength = 65536;

template <typename T>
bool ReadValue(IMemoryReader& memory, TAddress address, T& value) {
    std::uint8_t bytes[sizeof(T)];
    if (!memory.Read(address, bytes, sizeof bytes)) return false;
    std::uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= std::uint64_t{bytes[i]} << (8 * i);
    value = static_cast<T>(v);
    return true;
}

// A NUL-terminated name of at most kMaxNameLength characters.
bool ReadName(IMemoryReader& memory, TAddress address, std::string& name) {
    name.clear();
    char chunk[32];
    while (name.size() < kMaxNameLength) {
        size_t take = sizeof chunk;
        // Near the end of a readable region a whole chunk may not be there: fall back to bytes.
        if (!memory.Read(address + name.size(), chunk, take)) {
            take = 1;
            if (!memory.Read(address + name.size(), chunk, 1)) return !name.empty();
        }
        for (size_t i = 0; i < take; ++i) {
            if (chunk[i] == '\0' || name.size() == kMaxNameLength) return true;
            name += chunk[i];
        }
    }
    return true;
}

bool IsReturn(std::uint8_t b) { return b == 0xC2 || b == 0xC3 || b == 0xCA || b == 0xCB; }
// ret imm16 and retf imm16 carry two more bytes.
std::uint32_t ReturnLength(std::uint8_t b) { return b == 0xC2 || b == 0xCA ? 3 : 1; }

}  // namespace

TAddress FollowImportThunk(IMemoryReader& memory, TAddress address, bool is64) {
    std::uint8_t code[8];
    if (!memory.Read(address, code, sizeof code)) return address;
    if (code[0] != 0xFF || code[1] != 0x25 || code[6] != 0x8B || code[7] != 0xC0) return address;
    const std::uint32_t field = std::uint32_t{code[2]} | std::uint32_t{code[3]} << 8 | std::uint32_t{code[4]} << 16 |
                                std::uint32_t{code[5]} << 24;
    if (is64) {
        const TAddress slot = address + 6 + static_cast<std::int64_t>(static_cast<std::int32_t>(field));
        std::uint64_t target;
        return ReadValue(memory, slot, target) ? target : address;
    }
    std::uint32_t target;
    return ReadValue(memory, field, target) ? target : address;
}

std::uint32_t EstimateFunctionLength(IMemoryReader& memory, TAddress start) {
    std::uint8_t chunk[256];
    bool framed = false;
    std::uint8_t previous = 0;
    for (std::uint32_t at = 0; at < kMaxFunctionLength;) {
        size_t take = sizeof chunk;
        if (!memory.Read(start + at, chunk, take)) {
            take = 1;
            if (!memory.Read(start + at, chunk, 1)) return 0;
        }
        for (size_t i = 0; i < take; ++i, ++at) {
            const std::uint8_t b = chunk[i];
            if (at == 0) {
                framed = b == 0x55;
            } else if (IsReturn(b) && (!framed || previous == 0x5D || previous == 0xC9)) {
                return at + ReturnLength(b);
            }
            if (!framed && at == 0 && IsReturn(b)) return ReturnLength(b);
            previous = b;
        }
    }
    return 0;
}

TMishapFunctionsList ReadExportedFunctions(IMemoryReader& memory, TAddress base, const TProcAddressLookup& lookup) {
    TMishapFunctionsList out;
    std::uint32_t peOffset = 0, signature = 0;
    if (!ReadValue(memory, base + 60, peOffset) || !ReadValue(memory, base + peOffset, signature) ||
        signature != 0x00004550) {
        return out;
    }
    const TAddress optional = base + peOffset + 24;
    std::uint16_t magic = 0;
    if (!ReadValue(memory, optional, magic) || (magic != 0x10B && magic != 0x20B)) return out;
    const bool is64 = magic == 0x20B;
    std::uint32_t directories = 0, exportRva = 0, exportSize = 0;
    if (!ReadValue(memory, optional + (is64 ? 108 : 92), directories) || directories < 1) return out;
    const TAddress directory = optional + (is64 ? 112 : 96);
    if (!ReadValue(memory, directory, exportRva) || !ReadValue(memory, directory + 4, exportSize) || exportRva == 0) {
        return out;
    }
    const TAddress table = base + exportRva;
    std::uint32_t functions = 0, names = 0, functionsRva = 0, namesRva = 0, ordinalsRva = 0;
    if (!ReadValue(memory, table + 20, functions) || !ReadValue(memory, table + 24, names) ||
        !ReadValue(memory, table + 28, functionsRva) || !ReadValue(memory, table + 32, namesRva) ||
        !ReadValue(memory, table + 36, ordinalsRva)) {
        return out;
    }
    const std::uint32_t count = std::min({functions, names, kMaxExports});
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameRva = 0, functionRva = 0;
        std::uint16_t ordinal = 0;
        std::string name;
        if (!ReadValue(memory, base + namesRva + 4ull * i, nameRva) ||
            !ReadValue(memory, base + ordinalsRva + 2ull * i, ordinal) || ordinal >= functions ||
            !ReadValue(memory, base + functionsRva + 4ull * ordinal, functionRva) ||
            !ReadName(memory, base + nameRva, name)) {
            break;
        }
        // A forwarder names code of another module.
        if (functionRva >= exportRva && functionRva < exportRva + exportSize) continue;
        TAddress address = lookup ? lookup(name) : 0;
        if (address == 0) address = base + functionRva;
        address = FollowImportThunk(memory, address, is64);
        out.push_back({std::move(name), address, EstimateFunctionLength(memory, address)});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const TExportedFunction& a, const TExportedFunction& b) { return a.Address < b.Address; });
    return out;
}

const TExportedFunction* FindExportedFunction(const TMishapFunctionsList& functions, TAddress address) {
    auto it = std::upper_bound(functions.begin(), functions.end(), address,
                               [](TAddress a, const TExportedFunction& f) { return a < f.Address; });
    // Several names may share one address; any of them whose range holds the address will do.
    while (it != functions.begin()) {
        --it;
        if (address - it->Address < it->Length) return &*it;
        if (it == functions.begin() || (it - 1)->Address != it->Address) break;
    }
    return nullptr;
}

}  // namespace quillan::crash
