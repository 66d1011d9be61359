// Builds line tables from code ranges. Records only move forward in address and line, so
// wherever the line goes back (optimised code), the code is not contiguous, or a procedure starts
// whose first line cannot be reached, a new unit entry for the same file begins; each entry
// names its procedure at its first record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/moduledata/names.h"

namespace quillan::crash {

struct TProcedureName {
    std::string Class;  // empty for a free function
    std::string Name;
    std::uint32_t FirstLine = 0;  // the line the offsets count from; 0: the first line of its code
};

// Code [Start, End) of one source line; offsets from module base + 0x1000.
struct TCodeRange {
    std::uint32_t Start = 0;
    std::uint32_t End = 0;
    std::uint32_t File = 0;  // index into TLineTableInput::Files
    std::uint32_t Line = 0;
    int Procedure = -1;  // index into TLineTableInput::Procedures; -1: none
};

struct TLineTableInput {
    std::vector<std::string> Files;
    std::vector<TProcedureName> Procedures;
    std::vector<TCodeRange> Ranges;  // any order; where ranges overlap the first wins
};

struct TLineTableStats {
    size_t Units = 0;
    size_t Records = 0;
    size_t Procedures = 0;  // procedure names written
    size_t Ranges = 0;      // ranges after merging
    // Why unit entries were started: another file, a gap in the code, a line that goes back, a
    // procedure whose first line lies behind the current line.
    size_t NewFile = 0, Gap = 0, LineBack = 0, ProcedureBack = 0;
};

// The line tables (u32 unit count and the units) for input, names enciphered by encoder.
std::string BuildLineTables(const TLineTableInput& input, const TNameEncoder& encoder,
                            TLineTableStats* stats = nullptr);

}  // namespace quillan::crash
