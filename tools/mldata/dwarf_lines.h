// Reads the DWARF line and function information of a linked executable (through LLVM's DWARF
// reader) into the code ranges that the module data's line tables are built from: for every
// stretch of our own code, the source file below the repository root, the line, and the
// function it belongs to. Code inlined from outside the repository (the standard library) is
// credited to the innermost caller of our own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/moduledata/line_table_writer.h"
#include "crash/moduledata/module_block.h"

namespace quillan::mldata {

struct TDwarfOptions {
    std::string SourceRoot;  // files below it are ours
    std::string BinaryRoot;  // ... except those below this (generated files); may be empty
    // Routine table: number and qualified function name ("quillan::win::TApplication::HandleException").
    std::vector<std::pair<std::uint8_t, std::string>> Routines;
};

struct TDwarfResult {
    std::uint64_t ImageBase = 0;
    bool Is64 = false;
    crash::TLineTableInput Lines;  // offsets from image base + 0x1000
    std::vector<crash::TRoutineEntry> Routines;
    size_t CompileUnits = 0;       // ours, read
    size_t SkippedUnits = 0;       // not ours
    std::uint64_t DebugBytes = 0;  // size of the .debug_* sections
    std::vector<std::string> Warnings;
};

// False with error set when the file cannot be read as an object file. A file without debug
// information gives an empty result and a warning.
bool ReadDwarfLines(const std::string& path, const TDwarfOptions& options, TDwarfResult& result, std::string& error);

// Class and procedure of a function from its linkage name as the line tables keep them: a
// method's class (with its namespaces, "::"-joined) and its name; a free function's qualified
// name. Dots, which the format reads as the class separator, become "_". isMethod tells whether
// the declaration sits in a class.
crash::TProcedureName ProcedureFromLinkageName(const std::string& linkageName, const std::string& plainName,
                                               bool isMethod);

}  // namespace quillan::mldata
