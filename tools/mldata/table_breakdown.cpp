#include "tools/mldata/table_breakdown.h"

#include <zlib.h>

#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/line_records.h"
#include "crash/moduledata/names.h"

namespace quillan::mldata {
namespace {

TTablePart Part(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION);
    return {bytes.size(), static_cast<size_t>(size)};
}

// Copies one encoded name from in to out.
bool CopyName(crash::TByteReader& in, std::uint16_t version, std::string& out) {
    const size_t from = in.Position();
    const std::string_view rest = in.Rest();
    if (!crash::TNameDecoder::Skip(in, version)) return false;
    out += rest.substr(0, in.Position() - from);
    return true;
}

}  // namespace

TTableBreakdown BreakDownLineTables(std::string_view tables, std::uint16_t version) {
    std::string unitNames, headers, records, procedureNames;
    crash::TByteReader in(tables);
    const std::uint32_t count = in.U32();
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
        if (!CopyName(in, version, unitNames)) break;
        const std::string_view header = in.Bytes(16);
        headers += header;
        crash::TByteReader lengthField(header.substr(12));
        crash::TByteReader unit(in.Bytes(lengthField.U32()));
        crash::TLineStep step;
        while (unit.Remaining() > 0) {
            const size_t from = unit.Position();
            const std::string_view rest = unit.Rest();
            if (!crash::ReadLineRecord(unit, version, step)) break;
            records += rest.substr(0, unit.Position() - from);
            if (step.NewProcedure && !CopyName(unit, version, procedureNames)) break;
        }
    }
    TTableBreakdown b;
    b.UnitNames = Part(unitNames);
    b.UnitHeaders = Part(headers);
    b.Records = Part(records);
    b.ProcedureNames = Part(procedureNames);
    b.Whole = Part(std::string(tables));
    return b;
}

std::string BreakdownText(const TTableBreakdown& b) {
    auto part = [](const char* name, const TTablePart& p) {
        return std::string(name) + " " + std::to_string(p.Raw) + " -> " + std::to_string(p.Deflated);
    };
    return part("unit names", b.UnitNames) + "; " + part("unit headers", b.UnitHeaders) + "; " +
           part("records", b.Records) + "; " + part("procedure names", b.ProcedureNames) + "; " +
           part("whole", b.Whole) + " (bytes raw -> deflated alone)";
}

}  // namespace quillan::mldata
