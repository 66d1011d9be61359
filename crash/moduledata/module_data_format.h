// Fixed values of the module data block "MLDATA" that the build-time writer and the reader share.
#pragma once

#include <cstdint>

namespace quillan::crash {

// First u32 of the resource form, last u32 of a file carrying the appended form, and the
// plain value of the enciphered check value.
inline constexpr std::uint32_t kModuleDataMagic = 0x000FAB10;
// The format this program writes.
inline constexpr std::uint16_t kModuleDataVersion = 506;
// Name of the RCDATA resource.
inline constexpr char kModuleDataResourceName[] = "MLDATA";

// Version thresholds of the format's features.
inline constexpr std::uint16_t kFirstTeaVersion = 500;        // TEA names, separate options block, check value
inline constexpr std::uint16_t kFirstQualifiedVersion = 502;  // bit 7 of a name's length byte
inline constexpr std::uint16_t kFirstCompressedVersion = 450;
inline constexpr std::uint16_t kFirstSkipBlockVersion = 405;  // versions 405 to 499 skip a block first
inline constexpr std::uint16_t kFirstEscapeVersion = 423;     // the escape record

// Unit code offsets count from module base + this.
inline constexpr std::uint32_t kCodeOffsetBase = 0x1000;

// Appended to a deciphered unit name that has no extension.
inline constexpr char kUnitExtension[] = ".cpp";

// Initial chaining value of the name cipher ("Quillan!").
inline constexpr std::uint64_t kNameChainStart = 0x5175696C6C616E21ull;

// Bounds against hostile blocks: the inflated options and line tables may not exceed these.
inline constexpr std::uint32_t kMaxOptionsBytes = 1u << 20;
inline constexpr std::uint32_t kMaxLineTableBytes = 64u << 20;

}  // namespace quillan::crash
