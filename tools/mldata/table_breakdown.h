// What the line tables spend their bytes on: unit names, unit headers, line records and procedure
// names, each raw and deflated on its own (their sum comes near the deflated whole).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillan::mldata {

struct TTablePart {
    size_t Raw = 0;
    size_t Deflated = 0;
};

struct TTableBreakdown {
    TTablePart UnitNames;
    TTablePart UnitHeaders;  // first line, start, size and records length of every entry
    TTablePart Records;
    TTablePart ProcedureNames;
    TTablePart Whole;
};

// Splits tables (u32 unit count and the units, as the writer makes them) into its parts.
TTableBreakdown BreakDownLineTables(std::string_view tables, std::uint16_t version);

// The breakdown as one line of text.
std::string BreakdownText(const TTableBreakdown& b);

}  // namespace quillan::mldata
