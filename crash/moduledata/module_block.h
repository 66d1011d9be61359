// The module data block: its resource form (RCDATA "MLDATA") and its appended-file form, read
// into their parts and written in the current format. Reading never fails a report: a block that
// is missing, short or corrupt yields what could be read and a text saying what was wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillan::crash {

// Entry of the routine table: routine number, offset from module base + 0x1000, size in bytes.
struct TRoutineEntry {
    std::uint8_t Number = 0;
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
};

// The parts of a block.
struct TModuleBlock {
    std::uint16_t Version = 0;
    double BuildDate = 0;  // days since 1899-12-30
    std::vector<TRoutineEntry> Routines;
    bool HasOptions = false;
    std::string Options;                    // the options stream
    std::optional<std::string> CheckValue;  // 4 enciphered bytes; resource form of versions from 500
    bool HasLineTables = false;
    std::string LineTables;  // the N bytes after u32 N
    std::string Error;       // empty when the block was whole
};

// Reads the resource form. False when bytes do not start with the magic number and a whole
// header; otherwise true, with a partly read block telling its fault in Error. Where the options
// and the line tables share one stream (before version 500, and the appended form), the options
// loader finds where the options end. Without lineTables the line tables of the current layout
// are left compressed and unread (HasLineTables false): what reading the options alone costs.
bool ReadResourceBlock(std::string_view bytes, TModuleBlock& block, bool lineTables = true);

// Where the appended form sits in a file that ends with it: from its file size and the file's
// last 8 bytes (length L, magic), the offset and length of the block; nullopt when the file
// carries none.
struct TAppendedPlace {
    std::uint64_t Offset = 0;
    std::uint32_t Length = 0;
};
std::optional<TAppendedPlace> FindAppendedBlock(std::uint64_t fileSize, std::string_view lastEightBytes);

// Reads the appended form (the L bytes of the block).
bool ReadAppendedBlock(std::string_view bytes, TModuleBlock& block);

// Inflates a zlib stream of at most limit bytes of output; false (with the inflater's text in
// error) when the stream is corrupt, truncated or inflates to more than limit.
bool InflateCapped(std::string_view compressed, size_t limit, std::string& out, std::string& error);

// What the writer puts into a block of the current format.
struct TModuleBlockParts {
    double BuildDate = 0;
    std::vector<TRoutineEntry> Routines;
    std::string Options;
    std::string CheckValue;  // 4 enciphered bytes
    std::string LineTables;
};
std::string WriteResourceBlock(const TModuleBlockParts& parts);
// The appended form, ending with its length and the magic number, ready to be appended to a file.
std::string WriteAppendedBlock(std::uint16_t version, const TModuleBlockParts& parts);

// The routine table's size of a routine: rounded up to a multiple of 4.
inline std::uint32_t RoutineSize(std::uint64_t bytes) { return static_cast<std::uint32_t>((bytes + 3) / 4 * 4); }

}  // namespace quillan::crash
