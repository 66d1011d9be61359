// A module's line tables, indexed for lookups: which unit, class, procedure and line a code offset
// belongs to. The tables are kept as read from the block; names are deciphered only for the
// entry a lookup lands on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/moduledata/names.h"

namespace quillan::crash {

// Where a code offset lies in the sources.
struct TLineLocation {
    std::string Unit;
    std::string Class;
    std::string Procedure;
    int Line = 0;
    int LineOffset = 0;  // from the procedure's first line; never negative
};

// One unit entry of the tables, as listed by UnitAt.
struct TUnitInfo {
    std::string Name;
    std::uint32_t FirstLine = 0;
    std::uint32_t StartOffset = 0;  // from module base + 0x1000
    std::uint32_t CodeSize = 0;
};

class TLineTables {
public:
    TLineTables() : decoder_(0, std::nullopt, 0) {}
    // bytes: the line tables (the N bytes after u32 N). A malformed table keeps the units that
    // were whole before the fault.
    TLineTables(std::string bytes, TNameDecoder decoder);

    // Finds the source location of offset (from module base + 0x1000); false when no unit's
    // records cover it.
    bool Resolve(std::uint32_t offset, TLineLocation& out) const;

    size_t UnitCount() const { return units_.size(); }
    TUnitInfo UnitAt(size_t index) const;
    bool Empty() const { return units_.empty(); }

private:
    struct TUnitRef {
        std::uint32_t Start;
        std::uint32_t End;  // one past the unit's last byte
        std::uint32_t FirstLine;
        std::uint32_t NameAt;
        std::uint32_t RecordsAt;
        std::uint32_t RecordsLength;
    };

    void Index();
    std::string UnitName(const TUnitRef& unit) const;
    bool ResolveIn(const TUnitRef& unit, std::uint32_t offset, TLineLocation& out) const;

    std::string bytes_;
    TNameDecoder decoder_;
    std::vector<TUnitRef> units_;         // stream order
    std::vector<std::uint32_t> byStart_;  // indexes into units_, by start offset
    bool overlapping_ = false;            // then lookups walk the units in stream order
};

// Applies a procedure name of a line record to the current class and procedure: ".Name" is a
// method of the current class, "Class.Name" splits at the first dot, "@" at the start becomes "_".
void ApplyProcedureName(const std::string& name, std::string& className, std::string& procedure);

}  // namespace quillan::crash
