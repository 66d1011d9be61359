#include "crash/moduledata/module_block.h"

#include <zlib.h>

#include "crash/moduledata/byte_io.h"
#include "crash/moduledata/module_data_format.h"
#include "crash/options/errors.h"
#include "crash/options/options.h"

namespace quillan::crash {
namespace {

constexpr size_t kRoutineEntrySize = 9;

std::string ZlibText(int code) {
    switch (code) {
        case Z_NEED_DICT:
            return "need dictionary";
        case Z_STREAM_END:
            return "stream end";
        case Z_ERRNO:
            return "file error";
        case Z_STREAM_ERROR:
            return "stream error";
        case Z_DATA_ERROR:
            return "data error";
        case Z_MEM_ERROR:
            return "insufficient memory";
        case Z_BUF_ERROR:
            return "buffer error";
        case Z_VERSION_ERROR:
            return "incompatible version";
        default:
            return "inflate error " + std::to_string(code);
    }
}

std::string Deflate(std::string_view bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                  static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

// u32 N and N bytes of line tables.
bool ReadLineTables(TByteReader& in, TModuleBlock& block) {
    const std::uint32_t n = in.U32();
    if (!in.Ok()) {
        block.Error = "line tables: short block";
        return false;
    }
    if (n > kMaxLineTableBytes || n > in.Remaining()) {
        block.Error = "line tables: length beyond the block";
        return false;
    }
    block.LineTables.assign(in.Bytes(n));
    block.HasLineTables = true;
    return true;
}

// The options stream at the start of rest (versions before 500, appended form), then the line
// tables. Nothing marks where the options end but their own layout, so the loader measures them.
bool ReadOptionsThenLines(std::string_view rest, std::uint16_t version, TModuleBlock& block) {
    size_t length = 0;
    try {
        TMishapModuleOptions scratch;
        length = scratch.LoadFromBytes(rest, version);
    } catch (const EMishapOptionsError& e) {
        block.Error = std::string("options: ") + e.what();
        return false;
    }
    block.Options.assign(rest.substr(0, length));
    block.HasOptions = true;
    TByteReader in(rest.substr(length));
    return ReadLineTables(in, block);
}

}  // namespace

bool InflateCapped(std::string_view compressed, size_t limit, std::string& out, std::string& error) {
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        error = "insufficient memory";
        return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    // Inflated straight into out, which grows by doubling from a guess of the ratio: the first
    // lookup of a module inflates its whole line tables, and a bounce buffer doubled the time.
    out.resize(std::min(limit, std::max<size_t>(compressed.size() * 8, 4096)));
    size_t produced = 0;
    int rc = Z_OK;
    for (;;) {
        if (produced == out.size() && out.size() < limit) out.resize(std::min(limit, out.size() * 2));
        const size_t room = std::min<size_t>(out.size() - produced, 1u << 30);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = static_cast<uInt>(room);
        rc = inflate(&z, Z_NO_FLUSH);
        produced += room - z.avail_out;
        // At the cap inflate gets no room: it ends a stream whose output is complete, and says
        // Z_BUF_ERROR for one that wants to write more.
        if (rc != Z_OK) break;
        // Out of input before the stream's end: a truncated stream.
        if (z.avail_in == 0 && z.avail_out != 0) {
            rc = Z_BUF_ERROR;
            break;
        }
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
        error = ZlibText(rc);
        out.clear();
        return false;
    }
    out.resize(produced);
    return true;
}

bool ReadResourceBlock(std::string_view bytes, TModuleBlock& block, bool lineTables) {
    block = {};
    TByteReader in(bytes);
    if (in.U32() != kModuleDataMagic) return false;
    block.Version = in.U16();
    block.BuildDate = in.F64();
    const std::uint32_t routinesLength = in.U32();
    if (!in.Ok()) return false;
    TByteReader routines(in.Bytes(routinesLength));
    if (!in.Ok()) {
        block.Error = "routine table: short block";
        return true;
    }
    while (routines.Remaining() >= kRoutineEntrySize) {
        TRoutineEntry e;
        e.Number = routines.U8();
        e.Offset = routines.U32();
        e.Size = routines.U32();
        block.Routines.push_back(e);
    }
    const std::uint16_t version = block.Version;
    if (version >= kFirstTeaVersion) {
        const std::uint32_t optionsLength = in.U32();
        const std::string_view options = in.Bytes(optionsLength);
        if (!in.Ok()) {
            block.Error = "options: short block";
            return true;
        }
        std::string error;
        if (InflateCapped(options, kMaxOptionsBytes, block.Options, error)) {
            block.HasOptions = true;
        } else {
            block.Error = "options: " + error;
        }
        const std::string_view check = in.Bytes(4);
        if (!in.Ok()) {
            block.Error = "check value: short block";
            return true;
        }
        block.CheckValue = std::string(check);
        if (!lineTables) return true;
        std::string lines;
        if (!InflateCapped(in.Rest(), kMaxLineTableBytes + 4, lines, error)) {
            block.Error = "line tables: " + error;
            return true;
        }
        // The inflated stream is u32 N and the tables: they keep its buffer rather than a copy.
        TByteReader linesIn(lines);
        const std::uint32_t n = linesIn.U32();
        if (!linesIn.Ok() || n > linesIn.Remaining()) {
            block.Error = linesIn.Ok() ? "line tables: length beyond the block" : "line tables: short block";
            return true;
        }
        lines.erase(0, 4);
        lines.resize(n);
        block.LineTables = std::move(lines);
        block.HasLineTables = true;
        return true;
    }
    std::string rest;
    if (version >= kFirstCompressedVersion) {
        std::string error;
        if (!InflateCapped(in.Rest(), kMaxOptionsBytes + kMaxLineTableBytes + 4, rest, error)) {
            block.Error = "module data: " + error;
            return true;
        }
    } else {
        rest.assign(in.Rest());
    }
    ReadOptionsThenLines(rest, version, block);
    return true;
}

std::optional<TAppendedPlace> FindAppendedBlock(std::uint64_t fileSize, std::string_view lastEight) {
    if (fileSize < 8 || lastEight.size() != 8) return std::nullopt;
    TByteReader in(lastEight);
    const std::uint32_t length = in.U32();
    if (in.U32() != kModuleDataMagic || length > fileSize - 8) return std::nullopt;
    return TAppendedPlace{fileSize - 8 - length, length};
}

bool ReadAppendedBlock(std::string_view bytes, TModuleBlock& block) {
    block = {};
    TByteReader in(bytes);
    block.Version = in.U16();
    block.BuildDate = in.F64();
    if (!in.Ok()) return false;
    ReadOptionsThenLines(in.Rest(), block.Version, block);
    return true;
}

std::string WriteResourceBlock(const TModuleBlockParts& parts) {
    std::string out;
    PutU32(out, kModuleDataMagic);
    PutU16(out, kModuleDataVersion);
    PutF64(out, parts.BuildDate);
    PutU32(out, static_cast<std::uint32_t>(parts.Routines.size() * kRoutineEntrySize));
    for (const TRoutineEntry& e : parts.Routines) {
        PutU8(out, e.Number);
        PutU32(out, e.Offset);
        PutU32(out, e.Size);
    }
    const std::string options = Deflate(parts.Options);
    PutU32(out, static_cast<std::uint32_t>(options.size()));
    out += options;
    out += parts.CheckValue.substr(0, 4);
    out.append(4 - std::min<size_t>(4, parts.CheckValue.size()), '\0');
    std::string lines;
    PutU32(lines, static_cast<std::uint32_t>(parts.LineTables.size()));
    lines += parts.LineTables;
    out += Deflate(lines);
    return out;
}

std::string WriteAppendedBlock(std::uint16_t version, const TModuleBlockParts& parts) {
    std::string out;
    PutU16(out, version);
    PutF64(out, parts.BuildDate);
    out += parts.Options;
    PutU32(out, static_cast<std::uint32_t>(parts.LineTables.size()));
    out += parts.LineTables;
    const std::uint32_t length = static_cast<std::uint32_t>(out.size());
    PutU32(out, length);
    PutU32(out, kModuleDataMagic);
    return out;
}

}  // namespace quillan::crash
