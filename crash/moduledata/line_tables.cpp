#include "crash/moduledata/line_tables.h"

#include <algorithm>

#include "crash/moduledata/line_records.h"
#include "crash/moduledata/module_data_format.h"

namespace quillan::crash {

void ApplyProcedureName(const std::string& name, std::string& className, std::string& procedure) {
    if (!name.empty() && name[0] == '.') {
        procedure = name.substr(1);
    } else {
        std::string plain = name;
        if (!plain.empty() && plain[0] == '@') plain[0] = '_';
        const size_t dot = plain.find('.');
        if (dot == std::string::npos) {
            className.clear();
            procedure = plain;
        } else {
            className = plain.substr(0, dot);
            procedure = plain.substr(dot + 1);
        }
    }
    if (!procedure.empty() && procedure[0] == '@') procedure[0] = '_';
}

TLineTables::TLineTables(std::string bytes, TNameDecoder decoder)
    : bytes_(std::move(bytes)), decoder_(std::move(decoder)) {
    Index();
}

void TLineTables::Index() {
    TByteReader in(bytes_);
    const std::uint16_t version = decoder_.Version();
    if (version >= kFirstSkipBlockVersion && version < kFirstTeaVersion) {
        const std::uint32_t skip = in.U32();
        if (!in.Skip(skip)) return;
    }
    const std::uint32_t count = in.U32();
    for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
        TUnitRef unit{};
        unit.NameAt = static_cast<std::uint32_t>(in.Position());
        if (!TNameDecoder::Skip(in, version)) break;
        unit.FirstLine = in.U32();
        unit.Start = in.U32();
        const std::uint32_t size = in.U32();
        unit.RecordsLength = in.U32();
        unit.RecordsAt = static_cast<std::uint32_t>(in.Position());
        if (!in.Skip(unit.RecordsLength)) break;
        // A unit reaching past the 32-bit offset space is cut at its end.
        unit.End = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{unit.Start} + size, 0xFFFFFFFFu));
        if (unit.End > unit.Start) units_.push_back(unit);
    }
    byStart_.resize(units_.size());
    for (std::uint32_t i = 0; i < byStart_.size(); ++i) byStart_[i] = i;
    std::stable_sort(byStart_.begin(), byStart_.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return units_[a].Start < units_[b].Start; });
    for (size_t i = 1; i < byStart_.size(); ++i) {
        if (units_[byStart_[i]].Start < units_[byStart_[i - 1]].End) overlapping_ = true;
    }
}

std::string TLineTables::UnitName(const TUnitRef& unit) const {
    TByteReader in(std::string_view(bytes_).substr(unit.NameAt));
    std::string name;
    if (!decoder_.Read(in, name)) return {};
    if (decoder_.Deciphered()) {
        const size_t slash = name.find_last_of("/\\");
        const size_t dot = name.find('.', slash == std::string::npos ? 0 : slash + 1);
        if (dot == std::string::npos) name += kUnitExtension;
    }
    return name;
}

TUnitInfo TLineTables::UnitAt(size_t index) const {
    const TUnitRef& u = units_.at(index);
    return {UnitName(u), u.FirstLine, u.Start, u.End - u.Start};
}

bool TLineTables::ResolveIn(const TUnitRef& unit, std::uint32_t offset, TLineLocation& out) const {
    TByteReader in(std::string_view(bytes_).substr(unit.RecordsAt, unit.RecordsLength));
    const std::uint16_t version = decoder_.Version();
    std::uint64_t line = unit.FirstLine;
    std::uint64_t address = unit.Start;
    std::uint64_t procedureLine = unit.FirstLine;
    std::string className, procedure, name;
    TLineStep step;
    while (address <= offset && ReadLineRecord(in, version, step)) {
        if (step.NewProcedure) {
            if (!decoder_.Read(in, name)) return false;
            ApplyProcedureName(name, className, procedure);
            procedureLine = line;
        }
        if (offset < address + step.Address) {
            out.Unit = UnitName(unit);
            out.Class = std::move(className);
            out.Procedure = std::move(procedure);
            out.Line = static_cast<int>(std::min<std::uint64_t>(line, 0x7FFFFFFF));
            out.LineOffset =
                line > procedureLine ? static_cast<int>(std::min<std::uint64_t>(line - procedureLine, 0x7FFFFFFF)) : 0;
            return true;
        }
        address += step.Address;
        line += step.Line;
    }
    return false;
}

bool TLineTables::Resolve(std::uint32_t offset, TLineLocation& out) const {
    if (overlapping_) {
        // Units may claim the same code: the first one in the stream that covers it wins.
        for (const TUnitRef& unit : units_) {
            if (offset >= unit.Start && offset < unit.End && ResolveIn(unit, offset, out)) return true;
        }
        return false;
    }
    auto it = std::upper_bound(byStart_.begin(), byStart_.end(), offset,
                               [this](std::uint32_t value, std::uint32_t i) { return value < units_[i].Start; });
    if (it == byStart_.begin()) return false;
    const TUnitRef& unit = units_[*(it - 1)];
    return offset < unit.End && ResolveIn(unit, offset, out);
}

}  // namespace quillan::crash
