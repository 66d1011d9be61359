// The module's shared options block: while the process runs, every module reads a module's
// changed options from a named shared section. This is its name and content; the section
// itself is in shared_block_win.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crash/report/report_layout.h"

namespace quillan::crash {

// Size of the section. A stream that does not fit is published as "no options" (flag 0), so
// readers keep the options of the module data rather than a cut stream.
inline constexpr size_t kSharedBlockCapacity = 256 * 1024;

// Process id as 8 hex digits, module handle as the layout's hex width, then "MODULE".
std::string SharedBlockName(uint32_t processId, TAddress moduleHandle, const TReportLayout& layout = NativeLayout());

// The block's bytes: u32 stream length, one byte 1 (0 when no stream), the stream.
std::string EncodeSharedBlock(const std::string* stream);

// The stream held by a block's bytes; false when the flag is 0 or the length does not fit.
[[nodiscard]] bool DecodeSharedBlock(std::string_view block, std::string& stream);

}  // namespace quillan::crash
