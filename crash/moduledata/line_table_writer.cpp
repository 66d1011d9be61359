#include "crash/moduledata/line_table_writer.h"

#include <algorithm>

#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/line_records.h"

namespace quillan::crash {
namespace {

// Alignment padding between functions carries no line; up to this many bytes of it are given to
// the code before, so that padding alone does not end a unit entry.
constexpr std::uint32_t kMaxPadding = 15;

// Sorted, non-overlapping ranges; neighbours of the same line and procedure joined; none longer
// than one record can step over.
std::vector<TCodeRange> Normalise(std::vector<TCodeRange> ranges) {
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const TCodeRange& a, const TCodeRange& b) { return a.Start < b.Start; });
    std::vector<TCodeRange> out;
    for (TCodeRange r : ranges) {
        if (r.End <= r.Start || r.Line == 0) continue;
        if (!out.empty() && r.Start < out.back().End) {
            if (r.End <= out.back().End) continue;
            r.Start = out.back().End;
        }
        if (!out.empty() && out.back().File == r.File && r.Start > out.back().End &&
            r.Start - out.back().End <= kMaxPadding && r.Start - out.back().Start <= kMaxRecordAddressStep) {
            out.back().End = r.Start;
        }
        if (!out.empty()) {
            TCodeRange& last = out.back();
            if (last.End == r.Start && last.File == r.File && last.Line == r.Line && last.Procedure == r.Procedure &&
                r.End - last.Start <= kMaxRecordAddressStep) {
                last.End = r.End;
                continue;
            }
        }
        while (r.End - r.Start > kMaxRecordAddressStep) {
            TCodeRange head = r;
            head.End = r.Start + kMaxRecordAddressStep;
            out.push_back(head);
            r.Start = head.End;
        }
        out.push_back(r);
    }
    return out;
}

class TUnitWriter {
public:
    TUnitWriter(const TLineTableInput& input, const TNameEncoder& encoder, TLineTableStats& stats)
        : input_(input), encoder_(encoder), stats_(stats) {}

    void Add(const TCodeRange& r) {
        if (!open_ || !Continue(r)) {
            Close();
            Open(r);
        }
    }

    // Entries of one file, and of one procedure, are put side by side: their names and first
    // lines repeat, which the compression turns into short references.
    std::string Finish() {
        Close();
        std::stable_sort(entries_.begin(), entries_.end(), [](const TEntry& a, const TEntry& b) {
            if (a.File != b.File) return a.File < b.File;
            return a.FirstLine < b.FirstLine;
        });
        std::string out;
        PutU32(out, static_cast<std::uint32_t>(entries_.size()));
        for (const TEntry& e : entries_) out += e.Bytes;
        return out;
    }

private:
    std::uint32_t FirstLineOf(int procedure, std::uint32_t line) const {
        if (procedure < 0) return line;
        const std::uint32_t first = input_.Procedures[procedure].FirstLine;
        return first == 0 || first > line || line - first >= kMaxRecordLineStep ? line : first;
    }

    // The record for the pending range, stepping the line to nextLine.
    void Emit(std::uint32_t nextLine) {
        TLineStep step{nextLine - pendingLine_, pendingEnd_ - pendingStart_, pendingNewProcedure_};
        AppendLineRecord(records_, step);
        ++stats_.Records;
        if (pendingNewProcedure_) WriteProcedureName(pendingProcedure_);
    }

    void WriteProcedureName(int procedure) {
        ++stats_.Procedures;
        if (procedure < 0) {
            encoder_.Write(records_, "");
            className_.clear();
            return;
        }
        const TProcedureName& p = input_.Procedures[procedure];
        if (p.Class.empty()) {
            encoder_.Write(records_, p.Name);
        } else if (p.Class == className_ && p.Name.size() < TNameEncoder::kMaxLength) {
            encoder_.Write(records_, "." + p.Name);
        } else {
            encoder_.WriteQualified(records_, p.Class, p.Name);
        }
        className_ = p.Class;
    }

    // A zero-length record that names the procedure and sets its first line, stepping to line.
    void EmitProcedureStart(int procedure, std::uint32_t from, std::uint32_t line) {
        AppendLineRecord(records_, TLineStep{line - from, 0, true});
        ++stats_.Records;
        WriteProcedureName(procedure);
    }

    bool Continue(const TCodeRange& r) {
        if (r.File != file_) return ++stats_.NewFile, false;
        if (r.Start != pendingEnd_) return ++stats_.Gap, false;
        if (r.Line <= pendingLine_ || r.Line - pendingLine_ > kMaxRecordLineStep) return ++stats_.LineBack, false;
        if (r.Procedure == pendingProcedure_) {
            Emit(r.Line);
            Pend(r, false);
            return true;
        }
        const std::uint32_t first = FirstLineOf(r.Procedure, r.Line);
        if (first == r.Line) {
            Emit(r.Line);
            Pend(r, true);
            return true;
        }
        // The procedure's first line lies before this line: step there, then name the procedure.
        if (first <= pendingLine_) return ++stats_.ProcedureBack, false;
        Emit(first);
        EmitProcedureStart(r.Procedure, first, r.Line);
        Pend(r, false);
        return true;
    }

    void Open(const TCodeRange& r) {
        open_ = true;
        file_ = r.File;
        start_ = r.Start;
        className_.clear();
        records_.clear();
        const std::uint32_t first = FirstLineOf(r.Procedure, r.Line);
        firstLine_ = first;
        if (first < r.Line) {
            EmitProcedureStart(r.Procedure, first, r.Line);
            Pend(r, false);
        } else {
            Pend(r, true);
        }
    }

    void Pend(const TCodeRange& r, bool newProcedure) {
        pendingStart_ = r.Start;
        pendingEnd_ = r.End;
        pendingLine_ = r.Line;
        pendingProcedure_ = r.Procedure;
        pendingNewProcedure_ = newProcedure;
    }

    void Close() {
        if (!open_) return;
        Emit(pendingLine_ + 1);
        TEntry e{file_, firstLine_, {}};
        encoder_.Write(e.Bytes, input_.Files[file_]);
        PutU32(e.Bytes, firstLine_);
        PutU32(e.Bytes, start_);
        PutU32(e.Bytes, pendingEnd_ - start_);
        PutU32(e.Bytes, static_cast<std::uint32_t>(records_.size()));
        e.Bytes += records_;
        entries_.push_back(std::move(e));
        ++stats_.Units;
        open_ = false;
    }

    const TLineTableInput& input_;
    const TNameEncoder& encoder_;
    TLineTableStats& stats_;
    struct TEntry {
        std::uint32_t File;
        std::uint32_t FirstLine;
        std::string Bytes;
    };
    std::vector<TEntry> entries_;
    bool open_ = false;
    std::uint32_t file_ = 0, start_ = 0, firstLine_ = 0;
    std::string records_;
    std::string className_;  // class of the last procedure named in this entry
    std::uint32_t pendingStart_ = 0, pendingEnd_ = 0, pendingLine_ = 0;
    int pendingProcedure_ = -1;
    bool pendingNewProcedure_ = false;
};

}  // namespace

std::string BuildLineTables(const TLineTableInput& input, const TNameEncoder& encoder, TLineTableStats* stats) {
    TLineTableStats local;
    TLineTableStats& s = stats ? *stats : local;
    s = {};
    const std::vector<TCodeRange> ranges = Normalise(input.Ranges);
    s.Ranges = ranges.size();
    TUnitWriter writer(input, encoder, s);
    for (const TCodeRange& r : ranges) {
        if (r.File < input.Files.size() && r.Procedure < static_cast<int>(input.Procedures.size())) writer.Add(r);
    }
    return writer.Finish();
}

}  // namespace quillan::crash
