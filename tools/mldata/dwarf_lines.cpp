#include "tools/mldata/dwarf_lines.h"

#include <llvm/DebugInfo/DWARF/DWARFContext.h>
#include <llvm/Demangle/Demangle.h>
#include <llvm/Object/COFF.h>
#include <llvm/Object/ObjectFile.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unordered_map>

#include "crash/moduledata/module_data_format.h"

namespace quillan::mldata {
namespace {

namespace fs = std::filesystem;
using llvm::DWARFDie;
using llvm::dwarf::Tag;

std::string Normal(const std::string& path) { return fs::path(path).lexically_normal().generic_string(); }

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// Which files are ours, and their names below the repository root.
class TSourceFiles {
public:
    TSourceFiles(const TDwarfOptions& options, std::vector<std::string>& names)
        : root_(WithSlash(Normal(options.SourceRoot))),
          binary_(options.BinaryRoot.empty() ? std::string() : WithSlash(Normal(options.BinaryRoot))),
          names_(names) {
        std::error_code ec;
        realRoot_ = WithSlash(fs::weakly_canonical(root_, ec).generic_string());
        if (!binary_.empty()) realBinary_ = WithSlash(fs::weakly_canonical(binary_, ec).generic_string());
    }

    // Index of the file's name in the names list, or -1 when the file is not ours.
    int Index(const std::string& path) {
        auto it = cache_.find(path);
        if (it != cache_.end()) return it->second;
        const int index = Classify(path);
        cache_.emplace(path, index);
        return index;
    }

private:
    int Classify(const std::string& path) {
        std::string relative = Below(Normal(path), root_, binary_);
        if (relative.empty()) {
            // The build may see the tree through a symbolic link (a worktree, a mounted folder).
            std::error_code ec;
            relative = Below(fs::weakly_canonical(path, ec).generic_string(), realRoot_, realBinary_);
        }
        if (relative.empty()) return -1;
        auto it = byName_.find(relative);
        if (it != byName_.end()) return it->second;
        const int index = static_cast<int>(names_.size());
        names_.push_back(relative);
        byName_.emplace(relative, index);
        return index;
    }

    static std::string Below(const std::string& path, const std::string& root, const std::string& binary) {
        if (root.size() < 2 || path.compare(0, root.size(), root) != 0) return {};
        if (!binary.empty() && path.compare(0, binary.size(), binary) == 0) return {};
        return path.substr(root.size());
    }

    std::string root_, binary_, realRoot_, realBinary_;
    std::vector<std::string>& names_;
    std::unordered_map<std::string, int> cache_;
    std::unordered_map<std::string, int> byName_;
};

std::string DemangledPart(char* (llvm::ItaniumPartialDemangler::*part)(char*, size_t*) const,
                          const llvm::ItaniumPartialDemangler& demangler) {
    size_t size = 0;
    char* text = (demangler.*part)(nullptr, &size);
    std::string out = text ? std::string(text) : std::string();
    std::free(text);
    return out;
}

std::string NoDots(std::string name) {
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

bool IsClassTag(Tag tag) {
    return tag == llvm::dwarf::DW_TAG_class_type || tag == llvm::dwarf::DW_TAG_structure_type ||
           tag == llvm::dwarf::DW_TAG_union_type;
}

// The declaration a function's DIE stands for: abstract origins and specifications followed.
DWARFDie Declaration(DWARFDie die) {
    for (int hops = 0; hops < 8; ++hops) {
        DWARFDie next = die.getAttributeValueAsReferencedDie(llvm::dwarf::DW_AT_abstract_origin);
        if (!next) next = die.getAttributeValueAsReferencedDie(llvm::dwarf::DW_AT_specification);
        if (!next) break;
        die = next;
    }
    return die;
}

// A function body or an inlined copy of one, with the code it covers.
struct TFrame {
    int Parent = -1;  // the frame it was inlined into; -1 for a function
    std::uint32_t CallFile = 0, CallLine = 0;
    int Procedure = -1;
};

struct TPiece {
    std::uint64_t Low, High;
    int Frame;
    int Depth;
};

struct TRowRange {
    std::uint64_t Low, High;
    std::uint32_t File, Line;
};

class TUnitReader {
public:
    TUnitReader(llvm::DWARFContext& context, llvm::DWARFUnit& unit, TSourceFiles& files, TDwarfResult& result,
                std::map<std::uint64_t, int>& procedures, const TDwarfOptions& options)
        : context_(context), unit_(unit), files_(files), result_(result), procedures_(procedures), options_(options) {}

    void Read() {
        table_ = context_.getLineTableForUnit(&unit_);
        if (!table_) return;
        compDir_ = unit_.getCompilationDir() ? unit_.getCompilationDir() : "";
        CollectRows();
        Walk(unit_.getUnitDIE(false), -1, 0);
        Sweep();
    }

private:
    int FileIndex(std::uint32_t index) {
        auto it = fileCache_.find(index);
        if (it != fileCache_.end()) return it->second;
        std::string path;
        int own = -1;
        if (table_->getFileNameByIndex(index, compDir_, llvm::DILineInfoSpecifier::FileLineInfoKind::AbsoluteFilePath,
                                       path)) {
            own = files_.Index(path);
        }
        fileCache_.emplace(index, own);
        return own;
    }

    void CollectRows() {
        const auto& rows = table_->Rows;
        for (const auto& seq : table_->Sequences) {
            for (unsigned i = seq.FirstRowIndex; i + 1 < seq.LastRowIndex && i + 1 < rows.size(); ++i) {
                const auto& row = rows[i];
                const std::uint64_t high = rows[i + 1].Address.Address;
                if (row.EndSequence || high <= row.Address.Address) continue;
                rowRanges_.push_back({row.Address.Address, high, row.File, row.Line});
            }
        }
        std::stable_sort(rowRanges_.begin(), rowRanges_.end(),
                         [](const TRowRange& a, const TRowRange& b) { return a.Low < b.Low; });
    }

    int Procedure(const DWARFDie& die) {
        const DWARFDie decl = Declaration(die);
        const std::uint64_t key = decl.getOffset();
        auto it = procedures_.find(key);
        if (it != procedures_.end()) return it->second;
        const char* linkage = die.getLinkageName();
        const char* plain = die.getShortName();
        const DWARFDie parent = decl.getParent();
        const bool method = parent && IsClassTag(parent.getTag());
        crash::TProcedureName name = ProcedureFromLinkageName(linkage ? linkage : "", plain ? plain : "", method);
        name.FirstLine = static_cast<std::uint32_t>(die.getDeclLine());
        const int index = static_cast<int>(result_.Lines.Procedures.size());
        result_.Lines.Procedures.push_back(std::move(name));
        procedures_.emplace(key, index);
        return index;
    }

    void AddFrame(const DWARFDie& die, int parent, int depth, int& frameIndex) {
        auto ranges = die.getAddressRanges();
        if (!ranges) {
            llvm::consumeError(ranges.takeError());
            return;
        }
        if (ranges->empty()) return;
        TFrame frame;
        frame.Parent = parent;
        if (parent >= 0) {
            std::uint32_t column = 0, discriminator = 0;
            die.getCallerFrame(frame.CallFile, frame.CallLine, column, discriminator);
        }
        frame.Procedure = Procedure(die);
        frameIndex = static_cast<int>(frames_.size());
        frames_.push_back(frame);
        for (const auto& r : *ranges) {
            if (r.HighPC > r.LowPC) pieces_.push_back({r.LowPC, r.HighPC, frameIndex, depth});
        }
        if (die.getTag() == llvm::dwarf::DW_TAG_subprogram) CheckRoutine(die, *ranges, frame.Procedure);
    }

    void CheckRoutine(const DWARFDie& die, const llvm::DWARFAddressRangesVector& ranges, int procedure) {
        const crash::TProcedureName& p = result_.Lines.Procedures[procedure];
        const std::string full = p.Class.empty() ? p.Name : p.Class + "::" + p.Name;
        for (const auto& [number, wanted] : options_.Routines) {
            if (full != wanted) continue;
            std::uint64_t low = 0, high = 0, section = 0;
            if (!die.getLowAndHighPC(low, high, section)) {
                low = ranges.front().LowPC;
                high = ranges.front().HighPC;
            }
            for (const auto& r : ranges) {
                if (low >= r.LowPC && low < r.HighPC) high = r.HighPC;
            }
            crash::TRoutineEntry e;
            e.Number = number;
            e.Offset = static_cast<std::uint32_t>(low - result_.ImageBase - crash::kCodeOffsetBase);
            e.Size = crash::RoutineSize(high - low);
            result_.Routines.push_back(e);
        }
    }

    void Walk(const DWARFDie& die, int frame, int depth) {
        for (DWARFDie child = die.getFirstChild(); child && !child.isNULL(); child = child.getSibling()) {
            const Tag tag = child.getTag();
            int inner = frame;
            int innerDepth = depth;
            if (tag == llvm::dwarf::DW_TAG_subprogram) {
                // A function defined inside another (a local class's method) is a function of its own.
                inner = -1;
                innerDepth = 0;
                AddFrame(child, -1, 0, inner);
            } else if (tag == llvm::dwarf::DW_TAG_inlined_subroutine && frame >= 0) {
                AddFrame(child, frame, depth + 1, inner);
                innerDepth = depth + 1;
            }
            if (child.hasChildren()) Walk(child, inner, innerDepth);
        }
    }

    // Every stretch between two boundaries (row starts, frame ends) gets the innermost frame
    // and row, credited to the innermost frame whose place lies in our own files.
    void Sweep() {
        std::vector<std::uint64_t> bounds;
        bounds.reserve(rowRanges_.size() * 2 + pieces_.size() * 2);
        for (const TRowRange& r : rowRanges_) {
            bounds.push_back(r.Low);
            bounds.push_back(r.High);
        }
        for (const TPiece& p : pieces_) {
            bounds.push_back(p.Low);
            bounds.push_back(p.High);
        }
        std::sort(bounds.begin(), bounds.end());
        bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
        std::sort(pieces_.begin(), pieces_.end(), [](const TPiece& a, const TPiece& b) {
            if (a.Low != b.Low) return a.Low < b.Low;
            if (a.High != b.High) return a.High > b.High;
            return a.Depth < b.Depth;
        });
        std::vector<const TPiece*> open;
        size_t nextPiece = 0, nextRow = 0;
        for (size_t k = 0; k + 1 < bounds.size(); ++k) {
            const std::uint64_t at = bounds[k], end = bounds[k + 1];
            while (nextPiece < pieces_.size() && pieces_[nextPiece].Low <= at) open.push_back(&pieces_[nextPiece++]);
            while (!open.empty() && open.back()->High <= at) open.pop_back();
            while (nextRow < rowRanges_.size() && rowRanges_[nextRow].High <= at) ++nextRow;
            // Rows may overlap where a sequence repeats an address: take the last one starting here.
            size_t row = nextRow;
            while (row + 1 < rowRanges_.size() && rowRanges_[row + 1].Low <= at) ++row;
            // The innermost frame still open here; expired frames below the top are skipped.
            const TPiece* top = nullptr;
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if ((*it)->High > at) {
                    top = *it;
                    break;
                }
            }
            if (row >= rowRanges_.size() || rowRanges_[row].Low > at || rowRanges_[row].High <= at) {
                // Code of an inlined function without a line row of its own (the start of a cold
                // part, say) still has a place: the call site in its caller.
                if (top && frames_[top->Frame].Parent >= 0) {
                    const TFrame& inner = frames_[top->Frame];
                    Emit(at, end, inner.CallFile, inner.CallLine, inner.Parent);
                }
                continue;
            }
            Emit(at, end, rowRanges_[row].File, rowRanges_[row].Line, top ? top->Frame : -1);
        }
    }

    // Credits [low, high) at file and line of frame to the innermost frame whose place is ours.
    void Emit(std::uint64_t low, std::uint64_t high, std::uint32_t fileIndex, std::uint32_t line, int frame) {
        for (;;) {
            const int own = FileIndex(fileIndex);
            if (own >= 0) {
                AddRange(low, high, own, line, frame >= 0 ? frames_[frame].Procedure : -1);
                return;
            }
            if (frame < 0 || frames_[frame].Parent < 0) return;
            fileIndex = frames_[frame].CallFile;
            line = frames_[frame].CallLine;
            frame = frames_[frame].Parent;
        }
    }

    void AddRange(std::uint64_t low, std::uint64_t high, int file, std::uint32_t line, int procedure) {
        const std::uint64_t base = result_.ImageBase + crash::kCodeOffsetBase;
        if (line == 0 || low < base || high - base > 0xFFFFFFFFull) return;
        crash::TCodeRange r;
        r.Start = static_cast<std::uint32_t>(low - base);
        r.End = static_cast<std::uint32_t>(high - base);
        r.File = static_cast<std::uint32_t>(file);
        r.Line = line;
        r.Procedure = procedure;
        result_.Lines.Ranges.push_back(r);
    }

    llvm::DWARFContext& context_;
    llvm::DWARFUnit& unit_;
    TSourceFiles& files_;
    TDwarfResult& result_;
    std::map<std::uint64_t, int>& procedures_;
    const TDwarfOptions& options_;
    const llvm::DWARFDebugLine::LineTable* table_ = nullptr;
    std::string compDir_;
    std::unordered_map<std::uint32_t, int> fileCache_;
    std::vector<TRowRange> rowRanges_;
    std::vector<TFrame> frames_;
    std::vector<TPiece> pieces_;
};

bool UnitIsOurs(llvm::DWARFUnit& unit, TSourceFiles& files) {
    const DWARFDie die = unit.getUnitDIE(true);
    const char* name = die.getShortName();
    if (!name) return false;
    fs::path path(name);
    if (path.is_relative() && unit.getCompilationDir()) path = fs::path(unit.getCompilationDir()) / path;
    return files.Index(path.generic_string()) >= 0;
}

}  // namespace

// i686 __stdcall functions carry "@" and their argument bytes after the mangled name.
std::string WithoutStdcallSuffix(const std::string& name) {
    const size_t at = name.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 == name.size()) return name;
    for (size_t i = at + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return name;
    }
    return name.substr(0, at);
}

crash::TProcedureName ProcedureFromLinkageName(const std::string& mangled, const std::string& plainName,
                                               bool isMethod) {
    crash::TProcedureName out;
    const std::string linkageName = WithoutStdcallSuffix(mangled);
    llvm::ItaniumPartialDemangler demangler;
    if (!linkageName.empty() && !demangler.partialDemangle(linkageName.c_str()) && demangler.isFunction()) {
        const std::string full = DemangledPart(&llvm::ItaniumPartialDemangler::getFunctionName, demangler);
        const std::string context =
            DemangledPart(&llvm::ItaniumPartialDemangler::getFunctionDeclContextName, demangler);
        if (isMethod && !context.empty() && full.size() > context.size() + 2 &&
            full.compare(0, context.size() + 2, context + "::") == 0) {
            out.Class = NoDots(context);
            out.Name = full.substr(context.size() + 2);
        } else {
            out.Name = NoDots(full);
        }
        return out;
    }
    out.Name = NoDots(!linkageName.empty() ? linkageName : plainName);
    return out;
}

bool ReadDwarfLines(const std::string& path, const TDwarfOptions& options, TDwarfResult& result, std::string& error) {
    result = {};
    auto binary = llvm::object::ObjectFile::createObjectFile(path);
    if (!binary) {
        error = llvm::toString(binary.takeError());
        return false;
    }
    llvm::object::ObjectFile& object = *binary->getBinary();
    if (const auto* coff = llvm::dyn_cast<llvm::object::COFFObjectFile>(&object)) {
        result.ImageBase = coff->getImageBase();
        result.Is64 = coff->is64();
    } else {
        result.Is64 = object.getBytesInAddress() == 8;
    }
    for (const auto& section : object.sections()) {
        auto name = section.getName();
        if (name && name->startswith(".debug_")) result.DebugBytes += section.getSize();
        if (!name) llvm::consumeError(name.takeError());
    }
    auto context = llvm::DWARFContext::create(
        object, llvm::DWARFContext::ProcessDebugRelocations::Process, nullptr, "",
        [&result](llvm::Error e) { result.Warnings.push_back(llvm::toString(std::move(e))); },
        [](llvm::Error e) { llvm::consumeError(std::move(e)); });
    TSourceFiles files(options, result.Lines.Files);
    std::map<std::uint64_t, int> procedures;
    for (const auto& unit : context->compile_units()) {
        if (!UnitIsOurs(*unit, files)) {
            ++result.SkippedUnits;
            continue;
        }
        ++result.CompileUnits;
        TUnitReader(*context, *unit, files, result, procedures, options).Read();
    }
    if (result.CompileUnits == 0) result.Warnings.push_back("no debug information of our own sources");
    return true;
}

}  // namespace quillan::mldata
