// mldata: gives a linked Windows executable its module data block, and reads it back.
//
//   mldata --write EXE --source-root DIR [--binary-root DIR] [--password TEXT] [--appended] [--stats]
//       reads the DWARF line and function information of EXE and stores the block in it as the
//       RCDATA resource "MLDATA" (or, with --appended, appended to the file).
//   mldata --resolve EXE [--password TEXT] ADDRESS...   ("-" reads addresses from standard input)
//       prints one line per address: address, module, unit, class, procedure, line, offset
//       (tab-separated; "?" where the block has nothing for the address).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "crash/moduledata/module_data_format.h"
#include "crash/moduledata/module_password.h"
#include "crash/moduledata/names.h"
#include "tools/mldata/dwarf_lines.h"
#include "tools/mldata/image_block.h"
#include "tools/mldata/pe_image.h"
#include "tools/mldata/routines.h"
#include "tools/mldata/table_breakdown.h"

namespace quillan::mldata {
namespace {

namespace fs = std::filesystem;

struct TArguments {
    std::string Mode;
    std::string Exe;
    std::string SourceRoot;
    std::string BinaryRoot;
    std::string Password = crash::kProgramModuleDataPassword;
    bool Appended = false;
    bool Stats = false;
    bool Dump = false;  // lists the code ranges read from the DWARF (for looking into the tables)
    std::vector<std::string> Addresses;
};

int Usage() {
    std::cerr << "usage: mldata --write EXE --source-root DIR [--binary-root DIR] [--password TEXT] [--appended] "
                 "[--stats]\n"
                 "       mldata --resolve EXE [--password TEXT] ADDRESS... (\"-\": from standard input)\n";
    return 2;
}

bool Parse(int argc, char** argv, TArguments& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (arg == "--write" || arg == "--resolve") {
            a.Mode = arg;
            if (!value(a.Exe)) return false;
        } else if (arg == "--source-root") {
            if (!value(a.SourceRoot)) return false;
        } else if (arg == "--binary-root") {
            if (!value(a.BinaryRoot)) return false;
        } else if (arg == "--password") {
            if (!value(a.Password)) return false;
        } else if (arg == "--appended") {
            a.Appended = true;
        } else if (arg == "--stats") {
            a.Stats = true;
        } else if (arg == "--dump") {
            a.Dump = true;
        } else if (a.Mode == "--resolve" && (arg == "-" || arg.rfind("--", 0) != 0)) {
            a.Addresses.push_back(arg);
        } else {
            return false;
        }
    }
    return !a.Mode.empty() && (a.Mode != "--write" || !a.SourceRoot.empty());
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return static_cast<bool>(in) || in.eof();
}

// Written beside the target and renamed over it, so a failed write never leaves half a program.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".mldata-tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code ec;
    fs::permissions(temp, fs::status(path, ec).permissions(), ec);
    fs::rename(temp, path, ec);
    return !ec;
}

// The file without an appended block it may already carry.
std::string WithoutAppendedBlock(const std::string& bytes) {
    if (bytes.size() < 8) return bytes;
    auto place = crash::FindAppendedBlock(bytes.size(), std::string_view(bytes).substr(bytes.size() - 8));
    return place ? bytes.substr(0, place->Offset) : bytes;
}

int Write(const TArguments& a) {
    const auto started = std::chrono::steady_clock::now();
    std::string bytes;
    if (!ReadWholeFile(a.Exe, bytes)) {
        std::cerr << "mldata: cannot read " << a.Exe << "\n";
        return 1;
    }
    TPeImage image;
    std::string error;
    if (!image.Parse(bytes, error)) {
        std::cerr << "mldata: " << a.Exe << ": " << error << "\n";
        return 1;
    }
    TDwarfOptions options;
    options.SourceRoot = a.SourceRoot;
    options.BinaryRoot = a.BinaryRoot;
    options.Routines = ProgramRoutines();
    TDwarfResult dwarf;
    if (!ReadDwarfLines(a.Exe, options, dwarf, error)) {
        std::cerr << "mldata: " << a.Exe << ": " << error << "\n";
        return 1;
    }
    for (const std::string& w : dwarf.Warnings) std::cerr << "mldata: warning: " << a.Exe << ": " << w << "\n";

    if (a.Dump) {
        for (const crash::TCodeRange& r : dwarf.Lines.Ranges) {
            const crash::TProcedureName* p = r.Procedure >= 0 ? &dwarf.Lines.Procedures[r.Procedure] : nullptr;
            std::printf("%08X %08X %s:%u %s%s%s first %u\n", r.Start, r.End, dwarf.Lines.Files[r.File].c_str(), r.Line,
                        p ? p->Class.c_str() : "", p && !p->Class.empty() ? "::" : "", p ? p->Name.c_str() : "-",
                        p ? p->FirstLine : 0);
        }
    }
    const crash::TNameEncoder encoder(crash::TTeaChain(crash::TeaKeyFromPassword(a.Password), crash::kNameChainStart));
    crash::TLineTableStats stats;
    crash::TModuleBlockParts parts;
    parts.BuildDate = BuildDateNow();
    parts.Routines = dwarf.Routines;
    parts.Options = CarriedOptions();
    parts.CheckValue = EncipheredCheckValue(a.Password);
    parts.LineTables = crash::BuildLineTables(dwarf.Lines, encoder, &stats);

    std::string block;
    std::string result;
    if (a.Appended) {
        if (!image.SetResource(kRtRcData, ResourceName(), std::nullopt, error)) {
            std::cerr << "mldata: " << a.Exe << ": " << error << "\n";
            return 1;
        }
        block = crash::WriteAppendedBlock(crash::kModuleDataVersion, parts);
        result = WithoutAppendedBlock(image.Bytes()) + block;
    } else {
        block = crash::WriteResourceBlock(parts);
        TPeImage clean;
        if (!clean.Parse(WithoutAppendedBlock(image.Bytes()), error) ||
            !clean.SetResource(kRtRcData, ResourceName(), block, error)) {
            std::cerr << "mldata: " << a.Exe << ": " << error << "\n";
            return 1;
        }
        result = clean.Bytes();
    }
    if (!WriteWholeFile(a.Exe, result)) {
        std::cerr << "mldata: cannot write " << a.Exe << "\n";
        return 1;
    }
    if (a.Stats) {
        const TPeSection* text = image.Section(".text");
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        std::cout << fs::path(a.Exe).filename().string() << ": block " << block.size() << " bytes (line tables "
                  << parts.LineTables.size() << " inflated, " << stats.Units << " unit entries, " << stats.Records
                  << " records, " << stats.Procedures << " procedure names, new entries for file " << stats.NewFile
                  << " gap " << stats.Gap << " line back " << stats.LineBack << " procedure back "
                  << stats.ProcedureBack << ", " << dwarf.Lines.Files.size() << " files, " << dwarf.Routines.size()
                  << " routines); code " << (text ? text->VirtualSize : 0) << " bytes; DWARF " << dwarf.DebugBytes
                  << " bytes; " << dwarf.CompileUnits << " compile units read, " << dwarf.SkippedUnits << " skipped; "
                  << static_cast<long>(ms) << " ms\n";
        std::cout << "  " << BreakdownText(BreakDownLineTables(parts.LineTables, crash::kModuleDataVersion)) << "\n";
    }
    return 0;
}

bool ParseAddress(const std::string& text, std::uint64_t& address) {
    char* end = nullptr;
    address = std::strtoull(text.c_str(), &end, 16);
    return end && *end == '\0' && !text.empty();
}

int Resolve(const TArguments& a) {
    std::string bytes;
    TPeImage image;
    std::string error;
    if (!ReadWholeFile(a.Exe, bytes) || !image.Parse(bytes, error)) {
        std::cerr << "mldata: cannot read " << a.Exe << " " << error << "\n";
        return 1;
    }
    crash::TModuleBlock block;
    if (!ReadImageBlock(image, block)) {
        std::cerr << "mldata: " << a.Exe << " carries no module data\n";
        return 1;
    }
    const crash::TLineTables lines = ImageLineTables(block, a.Password, nullptr);
    const std::string module = fs::path(a.Exe).filename().string();
    std::vector<std::string> addresses = a.Addresses;
    if (addresses.size() == 1 && addresses[0] == "-") {
        addresses.clear();
        for (std::string word; std::cin >> word;) addresses.push_back(word);
    }
    const int width = image.Is64() ? 16 : 8;
    for (const std::string& text : addresses) {
        std::uint64_t address;
        if (!ParseAddress(text, address)) {
            std::cerr << "mldata: not a hexadecimal address: " << text << "\n";
            return 2;
        }
        crash::TLineLocation where;
        const std::uint64_t base = image.ImageBase() + crash::kCodeOffsetBase;
        const bool found = address >= base && address - base <= 0xFFFFFFFFu &&
                           lines.Resolve(static_cast<std::uint32_t>(address - base), where);
        char hex[32];
        std::snprintf(hex, sizeof hex, "%0*llX", width, static_cast<unsigned long long>(address));
        std::cout << hex << '\t' << module << '\t';
        if (found) {
            std::cout << where.Unit << '\t' << where.Class << '\t' << where.Procedure << '\t' << where.Line << '\t'
                      << where.LineOffset << '\n';
        } else {
            std::cout << "?\t?\t?\t0\t0\n";
        }
    }
    return 0;
}

}  // namespace
}  // namespace quillan::mldata

int main(int argc, char** argv) {
    quillan::mldata::TArguments arguments;
    if (!quillan::mldata::Parse(argc, argv, arguments)) return quillan::mldata::Usage();
    return arguments.Mode == "--write" ? quillan::mldata::Write(arguments) : quillan::mldata::Resolve(arguments);
}
