// The General and CPU pages of the crash dialog as rich text for a rich-edit control.
// Platform-free.
#pragma once

#include <string>
#include <string_view>

#include "crash/report/report_context.h"

namespace quillan::crash {

// The character set of the program's text (Windows-1251) in an RTF font table.
inline constexpr int kRtfCyrillicCharset = 204;
// The fixed-pitch font of both pages and its size in half points.
inline constexpr std::string_view kRtfPageFont = "Courier New";
inline constexpr int kRtfFontHalfPoints = 18;

// "{\rtf1\ansi\ansicpg1252\deff0\deflang1040{\fonttbl{\f0\fmodern\fprq1\fcharset<charset> <font>;}}"
// CR LF, the colour table (1 teal, 2 black, 3 dark grey, 4 dark blue), CR LF. The document is open:
// the page's text and a closing brace follow.
std::string RtfHeader(int charset, std::string_view font);

// Text for an RTF body: "\", "{" and "}" escaped, bytes above 127 as \'hh, a tab as "\tab ", other
// control characters dropped. Line breaks are the caller's.
std::string RtfEscape(std::string_view text);

// Sections 1 to 6 of the report as the report shows them (hidden items and empty sections left
// out): each title, then "S.I", the label and the value in cells, a value of several lines
// continued in its cell.
std::string GeneralPageRtf(const TReportContext& context, int charset = kRtfCyrillicCharset,
                           std::string_view font = kRtfPageFont);

// The registers, then the stack slots beside the memory dump (bytes and characters).
std::string CpuPageRtf(const TReportContext& context, int charset = kRtfCyrillicCharset,
                       std::string_view font = kRtfPageFont);

}  // namespace quillan::crash
