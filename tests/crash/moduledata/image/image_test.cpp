// Checks of built executables against the toolchain's own readers. QUILLAN_IMAGES lists the
// builds to check, separated by ",", each as "shipped|unstripped|addr2line|nm"; QUILLAN_SOURCE_DIR
// is the repository root.
#include <gtest/gtest.h>

#include <llvm/DebugInfo/DWARF/DWARFContext.h>
#include <llvm/Demangle/Demangle.h>
#include <llvm/Object/ObjectFile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "crash/moduledata/module_data_format.h"
#include "crash/options/carried_options.h"
#include "tools/mldata/image_block.h"
#include "tools/mldata/pe_image.h"
#include "tools/mldata/routines.h"

namespace quillan::mldata {
namespace {

namespace fs = std::filesystem;

struct TBuild {
    std::string Shipped, Full, Addr2line, Nm;
};

std::vector<TBuild> Builds() {
    std::vector<TBuild> out;
    const char* list = std::getenv("QUILLAN_IMAGES");
    std::stringstream all(list ? list : "");
    for (std::string item; std::getline(all, item, ',');) {
        std::stringstream parts(item);
        TBuild b;
        std::getline(parts, b.Shipped, '|');
        std::getline(parts, b.Full, '|');
        std::getline(parts, b.Addr2line, '|');
        std::getline(parts, b.Nm, '|');
        if (fs::exists(b.Shipped) && fs::exists(b.Full)) out.push_back(b);
    }
    return out;
}

std::string SourceRoot() {
    const char* root = std::getenv("QUILLAN_SOURCE_DIR");
    std::string r = root ? fs::path(root).lexically_normal().generic_string() : "";
    if (!r.empty() && r.back() != '/') r += '/';
    return r;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a command with input on its standard input; returns its standard output.
std::string RunCommand(const std::string& command, const std::string& input) {
    const fs::path in = fs::temp_directory_path() / ("mldata-in-" + std::to_string(::getpid()));
    {
        std::ofstream f(in);
        f << input;
    }
    std::string out;
    if (FILE* p = popen((command + " < " + in.string()).c_str(), "r")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    fs::remove(in);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) out.push_back(line);
    return out;
}

// A function name as the line tables keep it: demangled without parameters, stdcall suffix
// dropped, dots made "_".
std::string FunctionName(const std::string& symbol) {
    std::string name = symbol;
    if (const size_t at = name.rfind('@');
        at != std::string::npos && at > 0 && name.find_first_not_of("0123456789", at + 1) == std::string::npos) {
        name.resize(at);  // wWinMain@16, _ZN...@16: an i686 __stdcall suffix
    }
    llvm::ItaniumPartialDemangler d;
    if (!d.partialDemangle(name.c_str()) && d.isFunction()) {
        size_t size = 0;
        char* text = d.getFunctionName(nullptr, &size);
        name = text ? text : name;
        std::free(text);
    }
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

struct TFrame {
    std::string Function, File;
    int Line = 0;
};

// addr2line -f -i -a: per address its line, then function and place of each inlined level.
std::map<std::uint64_t, std::vector<TFrame>> Addr2line(const TBuild& b, const std::vector<std::uint64_t>& addresses) {
    std::string input;
    char hex[32];
    for (std::uint64_t a : addresses) {
        std::snprintf(hex, sizeof hex, "0x%llx\n", static_cast<unsigned long long>(a));
        input += hex;
    }
    std::map<std::uint64_t, std::vector<TFrame>> out;
    const std::vector<std::string> lines = Lines(RunCommand(b.Addr2line + " -f -i -a -e " + b.Full, input));
    std::uint64_t current = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("0x", 0) == 0) {
            current = std::stoull(lines[i], nullptr, 16);
            out[current].clear();  // an address asked twice is answered twice
            continue;
        }
        if (i + 1 >= lines.size()) break;
        TFrame f;
        f.Function = lines[i];
        std::string place = lines[++i];
        if (const size_t d = place.find(" (discriminator"); d != std::string::npos) place.resize(d);
        const size_t colon = place.rfind(':');
        f.File = fs::path(place.substr(0, colon)).lexically_normal().generic_string();
        f.Line = std::atoi(place.c_str() + colon + 1);
        out[current].push_back(f);
    }
    return out;
}

// binutils 2.40 reads index 1 of a DWARF 5 file list (a line row's file, an inlined call's file)
// as the unit's primary file when GCC put another file there: the line is right, the file is
// not. Where addr2line names the unit's own file and the DWARF, read by LLVM, names another file
// for the same line and function, the DWARF's file is taken.
class TFileOneCheck {
public:
    explicit TFileOneCheck(const std::string& path) {
        auto binary = llvm::object::ObjectFile::createObjectFile(path);
        if (!binary) {
            llvm::consumeError(binary.takeError());
            return;
        }
        binary_ = std::make_unique<llvm::object::OwningBinary<llvm::object::ObjectFile>>(std::move(*binary));
        context_ = llvm::DWARFContext::create(*binary_->getBinary());
        for (const auto& unit : context_->compile_units()) {
            const char* name = unit->getUnitDIE().getShortName();
            if (name) primaries_.insert(fs::path(name).lexically_normal().generic_string());
        }
    }

    // Corrects the files of frames in place; returns how many were corrected.
    int Correct(std::uint64_t address, std::vector<TFrame>& frames) const {
        if (!context_) return 0;
        llvm::DILineInfoSpecifier spec(llvm::DILineInfoSpecifier::FileLineInfoKind::AbsoluteFilePath,
                                       llvm::DILineInfoSpecifier::FunctionNameKind::LinkageName);
        const llvm::DIInliningInfo info =
            context_->getInliningInfoForAddress({address, llvm::object::SectionedAddress::UndefSection}, spec);
        if (info.getNumberOfFrames() != frames.size()) return 0;
        int corrected = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            const llvm::DILineInfo& f = info.getFrame(static_cast<unsigned>(i));
            const std::string file = fs::path(f.FileName).lexically_normal().generic_string();
            if (static_cast<int>(f.Line) == frames[i].Line && file != frames[i].File &&
                primaries_.count(frames[i].File)) {
                frames[i].File = file;
                ++corrected;
            }
        }
        return corrected;
    }

private:
    std::unique_ptr<llvm::object::OwningBinary<llvm::object::ObjectFile>> binary_;
    std::unique_ptr<llvm::DWARFContext> context_;
    std::set<std::string> primaries_;
};

struct TResolved {
    std::string Unit, Class, Procedure;
    int Line = 0;
};

std::map<std::uint64_t, TResolved> Resolve(const std::string& exe, const std::vector<std::uint64_t>& addresses) {
    std::string input;
    char hex[32];
    for (std::uint64_t a : addresses) {
        std::snprintf(hex, sizeof hex, "%llx\n", static_cast<unsigned long long>(a));
        input += hex;
    }
    std::map<std::uint64_t, TResolved> out;
    for (const std::string& line :
         Lines(RunCommand(std::string(QUILLAN_MLDATA_TOOL) + " --resolve " + exe + " -", input))) {
        std::vector<std::string> f;
        std::stringstream s(line);
        for (std::string field; std::getline(s, field, '\t');) f.push_back(field);
        if (f.size() != 7) continue;
        out[std::stoull(f[0], nullptr, 16)] = {f[2], f[3], f[4], std::atoi(f[5].c_str())};
    }
    return out;
}

// Text symbols of the unstripped file, by address.
std::vector<std::uint64_t> FunctionSymbols(const TBuild& b) {
    std::vector<std::uint64_t> out;
    for (const std::string& line : Lines(RunCommand(b.Nm + " --defined-only " + b.Full, ""))) {
        std::stringstream s(line);
        std::string address, kind, name;
        s >> address >> kind >> name;
        if (kind == "T" || kind == "t") out.push_back(std::stoull(address, nullptr, 16));
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

TEST(Image, ResolutionAgreesWithAddr2lineOnTwoThousandAddressesOfOurOwnFunctions) {
    const std::vector<TBuild> builds = Builds();
    if (builds.empty()) GTEST_SKIP() << "no built executables named in QUILLAN_IMAGES";
    const std::string root = SourceRoot();
    for (const TBuild& b : builds) {
        SCOPED_TRACE(b.Shipped);
        // Our functions: symbols whose own code (the outermost frame) lies in our files.
        const std::vector<std::uint64_t> symbols = FunctionSymbols(b);
        ASSERT_GT(symbols.size(), 100u);
        const auto starts = Addr2line(b, symbols);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> own;
        for (size_t i = 0; i + 1 < symbols.size(); ++i) {
            const auto& frames = starts.at(symbols[i]);
            if (!frames.empty() && frames.back().File.rfind(root, 0) == 0) own.emplace_back(symbols[i], symbols[i + 1]);
        }
        ASSERT_GT(own.size(), 200u);
        // Every function in turn, each time at a random offset inside it, until 2,000 addresses
        // that addr2line places in our code (the rest fall on padding or library code).
        // QUILLAN_ORACLE_SEED draws another set of addresses (to look further by hand).
        const char* seed = std::getenv("QUILLAN_ORACLE_SEED");
        std::mt19937_64 random(seed ? std::strtoull(seed, nullptr, 10) : 2024);
        std::vector<std::uint64_t> addresses;
        for (size_t i = 0; addresses.size() < 2600; ++i) {
            const auto& [start, end] = own[i % own.size()];
            addresses.push_back(start + random() % (end - start));
        }
        auto oracle = Addr2line(b, addresses);
        const auto resolved = Resolve(b.Shipped, addresses);
        TFileOneCheck fileOne(b.Full);
        int compared = 0, sameLine = 0, corrected = 0;
        std::ostringstream misses;
        for (std::uint64_t a : addresses) {
            std::vector<TFrame>& frames = oracle.at(a);
            corrected += fileOne.Correct(a, frames);
            // The innermost level of the chain that lies in our files: the library's code inlined
            // into ours is credited to our caller.
            auto it = std::find_if(frames.begin(), frames.end(),
                                   [&](const TFrame& f) { return f.File.rfind(root, 0) == 0 && f.Line > 0; });
            if (it == frames.end()) continue;  // padding or code without a line
            if (++compared > 2000) break;
            ASSERT_TRUE(resolved.count(a)) << std::hex << a;
            const TResolved& r = resolved.at(a);
            const std::string expected = it->Function == "??" ? std::string() : FunctionName(it->Function);
            const std::string ours = r.Class.empty() ? r.Procedure : r.Class + "::" + r.Procedure;
            EXPECT_EQ(r.Unit, it->File.substr(root.size())) << std::hex << a;
            EXPECT_TRUE(ours == expected || (ours.size() >= 127 && expected.rfind(ours.substr(0, 100), 0) == 0))
                << std::hex << a << ": " << ours << " vs " << expected;
            if (r.Line == it->Line) {
                ++sameLine;
            } else if (misses.tellp() < 4000) {
                misses << std::hex << a << std::dec << " " << r.Unit << ":" << r.Line << " vs " << it->Line << "\n";
            }
        }

        compared = std::min(compared, 2000);
        sameLine = std::min(sameLine, compared);
        std::printf("%s: %d addresses compared, %d on the same line (%.2f%%); addr2line's file corrected for %d\n%s",
                    b.Shipped.c_str(), compared, sameLine, 100.0 * sameLine / compared, corrected,
                    misses.str().c_str());
        EXPECT_EQ(compared, 2000);
        EXPECT_GE(sameLine * 100, compared * 99);
    }
}

TEST(Image, TheShippedProgramIsTheFullOneWithoutDebugInformation) {
    const std::vector<TBuild> builds = Builds();
    if (builds.empty()) GTEST_SKIP() << "no built executables named in QUILLAN_IMAGES";
    for (const TBuild& b : builds) {
        SCOPED_TRACE(b.Shipped);
        TPeImage shipped, full;
        std::string error;
        ASSERT_TRUE(shipped.Parse(ReadFile(b.Shipped), error)) << error;
        ASSERT_TRUE(full.Parse(ReadFile(b.Full), error)) << error;
        for (const TPeSection& s : shipped.Sections()) {
            EXPECT_EQ(s.Name.rfind(".debug", 0), std::string::npos) << s.Name;
            const TPeSection* f = full.Section(s.Name);
            ASSERT_NE(f, nullptr) << s.Name;
            EXPECT_EQ(s.VirtualAddress, f->VirtualAddress) << s.Name;
            EXPECT_TRUE(shipped.SectionData(s) == full.SectionData(*f)) << s.Name;
        }
        EXPECT_LT(shipped.Sections().size(), full.Sections().size());
        crash::TModuleBlock block;
        ASSERT_TRUE(ReadImageBlock(shipped, block));
        EXPECT_EQ(block.Version, crash::kModuleDataVersion);
        EXPECT_TRUE(block.HasLineTables);
        // The options the program carries: the carried configuration, 2,020 bytes with the
        // default texts, read to their last byte.
        ASSERT_TRUE(block.HasOptions) << block.Error;
        EXPECT_EQ(block.Options.size(), 2020u);
        crash::TMishapModuleOptions read, carried;
        EXPECT_EQ(read.LoadFromBytes(block.Options, block.Version), 2020u);
        crash::ApplyCarriedOptions(carried);
        EXPECT_TRUE(read.SameAs(carried));
        // Routines 0 and 1: the application's exception handling and display, found by symbol.
        ASSERT_EQ(block.Routines.size(), 2u);
        const std::string symbols = RunCommand(b.Nm + " --defined-only " + b.Full, "");
        for (const crash::TRoutineEntry& r : block.Routines) {
            const std::uint64_t address = shipped.ImageBase() + crash::kCodeOffsetBase + r.Offset;
            char hex[32];
            std::snprintf(hex, sizeof hex, "%0*llx", shipped.Is64() ? 16 : 8, static_cast<unsigned long long>(address));
            const size_t at = symbols.find(hex);
            ASSERT_NE(at, std::string::npos) << "routine " << int(r.Number);
            const std::string line = symbols.substr(at, symbols.find('\n', at) - at);
            EXPECT_NE(line.find(r.Number == 0 ? "HandleException" : "ShowException"), std::string::npos) << line;
            EXPECT_GT(r.Size, 8u);
            EXPECT_EQ(r.Size % 4, 0u);
        }
        // Its size is a figure for the notes, not a limit: the crash reporter itself is most of the code.
        std::printf("shipped %s: %llu bytes\n", b.Shipped.c_str(), static_cast<unsigned long long>(fs::file_size(b.Shipped)));
    }
}

// The insertion the build makes, repeated on a copy with a far larger block: nothing before the
// resources moves or changes, the sections after them keep their bytes, the other resources
// survive, and the toolchain still reads the debug information the same way.
TEST(Image, AddingTheResourceMovesNoCodeOrData) {
    const std::vector<TBuild> builds = Builds();
    if (builds.empty()) GTEST_SKIP() << "no built executables named in QUILLAN_IMAGES";
    for (const TBuild& b : builds) {
        SCOPED_TRACE(b.Full);
        std::string error;
        TPeImage before;
        ASSERT_TRUE(before.Parse(ReadFile(b.Full), error)) << error;
        ASSERT_TRUE(before.SetResource(kRtRcData, ResourceName(), std::nullopt, error)) << error;
        TPeImage after;
        ASSERT_TRUE(after.Parse(before.Bytes(), error)) << error;
        std::string big(300000, '\0');
        std::mt19937 random(5);
        for (char& c : big) c = static_cast<char>(random());
        ASSERT_TRUE(after.SetResource(kRtRcData, ResourceName(), big, error)) << error;
        ASSERT_EQ(after.FindResource(kRtRcData, ResourceName()), big);
        EXPECT_FALSE(before.FindResource(kRtRcData, ResourceName()).has_value());
        const std::uint32_t rsrc = before.Section(".rsrc")->VirtualAddress;
        for (const TPeSection& s : before.Sections()) {
            const TPeSection* t = after.Section(s.Name);
            ASSERT_NE(t, nullptr);
            if (s.Name == ".rsrc") continue;
            EXPECT_TRUE(before.SectionData(s) == after.SectionData(*t)) << s.Name;
            if (s.VirtualAddress < rsrc) {
                EXPECT_EQ(s.VirtualAddress, t->VirtualAddress) << s.Name;
                EXPECT_EQ(s.RawPointer, t->RawPointer) << s.Name;
            }
        }
        TResourceNode a, c;
        ASSERT_TRUE(before.Resources(a));
        ASSERT_TRUE(after.Resources(c));
        size_t leaves = 0;
        for (const TResourceNode& type : a.Children) {
            for (const TResourceNode& name : type.Children) {
                for (const TResourceNode& lang : name.Children) {
                    ++leaves;
                    bool found = false;
                    for (const TResourceNode& t2 : c.Children) {
                        for (const TResourceNode& n2 : t2.Children) {
                            for (const TResourceNode& l2 : n2.Children) {
                                found |= t2.Key == type.Key && n2.Key == name.Key && l2.Key == lang.Key &&
                                         l2.Data == lang.Data;
                            }
                        }
                    }
                    EXPECT_TRUE(found);
                }
            }
        }
        EXPECT_GT(leaves, 0u);
        const fs::path copy = fs::temp_directory_path() / ("mldata-moved-" + std::to_string(::getpid()) + ".exe");
        {
            std::ofstream out(copy, std::ios::binary);
            out.write(after.Bytes().data(), static_cast<std::streamsize>(after.Bytes().size()));
        }
        std::string sample;
        for (const TPeSection& s : before.Sections()) {
            if (s.Name != ".text") continue;
            for (std::uint32_t off = 0x100; off < s.VirtualSize; off += s.VirtualSize / 40) {
                char hex[32];
                std::snprintf(hex, sizeof hex, "0x%llx\n",
                              static_cast<unsigned long long>(before.ImageBase() + s.VirtualAddress + off));
                sample += hex;
            }
        }
        EXPECT_EQ(RunCommand(b.Addr2line + " -f -e " + copy.string(), sample),
                  RunCommand(b.Addr2line + " -f -e " + b.Full, sample));
        fs::remove(copy);
    }
}

}  // namespace
}  // namespace quillan::mldata
