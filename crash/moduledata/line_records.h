// One line record of a unit's line table: a flags byte (or the low byte of a u16 or u32) that
// moves the current line and address forward, and may start a new procedure.
//
//   bit 0 = 0           1 byte  line +1..4 (bits 6-7), address +1..32 (bits 1-5)
//   bits 0-1 = 01       1 byte  line +1..8 (bits 5-7), address +1..8 (bits 2-4), new procedure
//   bits 0-1 = 11, b3=0 u16 W   line +1..32 (bits 11-15), address +1..128 (bits 4-10), bit 2 new procedure
//   bits 0-1 = 11, b3=1 u32 D   V = D >> 4: line +1..65536 (V bits 0-15), address +1..4095 (V bits 16-27,
//                               the field value 4095 moving the address by 0), bit 2 new procedure
//   escape (V = 0x0FFEFFFE)     then u16 line step - 1 and u16 address step - 1
#pragma once

#include <cstdint>
#include <string>

#include "crash/moduledata/byte_io.h"

namespace quillan::crash {

struct TLineStep {
    std::uint32_t Line = 1;     // at least 1
    std::uint32_t Address = 1;  // may be 0 (the u32 form only)
    bool NewProcedure = false;
};

// Largest steps one record can carry.
inline constexpr std::uint32_t kMaxRecordLineStep = 65536;
inline constexpr std::uint32_t kMaxRecordAddressStep = 65536;

// Appends the shortest record for step; false (nothing written) when the step cannot be
// coded (line step 0, or a step above the maxima).
bool AppendLineRecord(std::string& out, const TLineStep& step);

// Reads one record of a block of the given format version; false when truncated.
bool ReadLineRecord(TByteReader& in, std::uint16_t version, TLineStep& step);

}  // namespace quillan::crash
