// What differs between the 32-bit program and the 64-bit test build in what the crash reporter
// writes: hex widths of addresses, handles and registers, register names, stack slot size.
// Every text that shows one of those takes a layout, so host tests can check the 32-bit one.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "crash/report/report_types.h"

namespace quillan::crash {

// The registers a report shows.
enum TRegister { rgAx, rgBx, rgCx, rgDx, rgDi, rgSi, rgSp, rgIp, kRegisterCount };

struct TReportLayout {
    int HexDigits;  // addresses, handles, register values
    int SlotSize;   // bytes per stack slot
    // Register names, indexed by TRegister.
    std::array<const char*, 8> Registers;
};

inline constexpr TReportLayout kLayout32 = {8, 4, {"EAX", "EBX", "ECX", "EDX", "EDI", "ESI", "ESP", "EIP"}};
inline constexpr TReportLayout kLayout64 = {16, 8, {"RAX", "RBX", "RCX", "RDX", "RDI", "RSI", "RSP", "RIP"}};

// The layout of the build that is running.
inline constexpr const TReportLayout& NativeLayout() { return sizeof(void*) == 8 ? kLayout64 : kLayout32; }

// Upper-case hex, zero-padded to digits (wider values keep all their digits).
inline std::string HexText(uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(out.size()) < digits) out.insert(0, static_cast<size_t>(digits) - out.size(), '0');
    return out;
}

inline std::string HexText(TAddress value, const TReportLayout& layout) { return HexText(value, layout.HexDigits); }

}  // namespace quillan::crash
