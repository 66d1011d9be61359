// Details of the stored options stream that other parts of the crash reporter share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillan::crash {

// Every byte of a stored string is XOR-ed with this mask; module data names below version 500
// use the same mask.
inline constexpr uint8_t kOptionsStringMask = 0xA7;

// Applies the mask to every byte (the same call both ways).
std::string MaskOptionsString(std::string_view bytes);

// Converts a DetailMask of the 32-bit layout used below version 500 to the 40-bit one; items the
// old layout did not have are shown.
uint64_t ConvertOldDetailMask(uint32_t oldMask);

}  // namespace quillan::crash
