#include "crash/moduledata/line_records.h"

#include "crash/moduledata/module_data_format.h"

namespace quillan::crash {
namespace {

constexpr std::uint32_t kEscape = 0x0FFEFFFE;
constexpr std::uint32_t kZeroAddressField = 4095;

}  // namespace

bool AppendLineRecord(std::string& out, const TLineStep& s) {
    if (s.Line == 0 || s.Line > kMaxRecordLineStep || s.Address > kMaxRecordAddressStep) return false;
    const std::uint32_t line = s.Line - 1;
    const std::uint32_t proc = s.NewProcedure ? 4u : 0u;
    if (s.Address >= 1) {
        const std::uint32_t addr = s.Address - 1;
        if (!s.NewProcedure && line < 4 && addr < 32) {
            PutU8(out, static_cast<std::uint8_t>(line << 6 | addr << 1));
            return true;
        }
        if (s.NewProcedure && line < 8 && addr < 8) {
            PutU8(out, static_cast<std::uint8_t>(line << 5 | addr << 2 | 1));
            return true;
        }
        if (line < 32 && addr < 128) {
            PutU16(out, static_cast<std::uint16_t>(line << 11 | addr << 4 | proc | 3));
            return true;
        }
    }
    // The u32 form: the address field 4095 stands for a step of 0; the line field 0xFFFE with the
    // address field 4094 is the escape, so that one pair takes the escape too.
    const std::uint32_t addrField = s.Address == 0 ? kZeroAddressField : s.Address - 1;
    if (line <= 0xFFFF && (s.Address == 0 || addrField < kZeroAddressField)) {
        const std::uint32_t v = addrField << 16 | line;
        if (v != kEscape) {
            PutU32(out, v << 4 | 8 | proc | 3);
            return true;
        }
    }
    if (s.Address == 0) return false;  // the escape cannot hold a step of 0
    PutU32(out, kEscape << 4 | 8 | proc | 3);
    PutU16(out, static_cast<std::uint16_t>(line));
    PutU16(out, static_cast<std::uint16_t>(s.Address - 1));
    return true;
}

bool ReadLineRecord(TByteReader& in, std::uint16_t version, TLineStep& step) {
    const std::string_view rest = in.Rest();
    if (rest.empty()) return false;
    const std::uint8_t flags = static_cast<std::uint8_t>(rest[0]);
    if ((flags & 1) == 0) {
        in.U8();
        step = {std::uint32_t(flags >> 6) + 1, std::uint32_t(flags >> 1 & 31) + 1, false};
    } else if ((flags & 2) == 0) {
        in.U8();
        step = {std::uint32_t(flags >> 5) + 1, std::uint32_t(flags >> 2 & 7) + 1, true};
    } else if ((flags & 8) == 0) {
        const std::uint16_t w = in.U16();
        step = {std::uint32_t(w >> 11) + 1, std::uint32_t(w >> 4 & 127) + 1, (w & 4) != 0};
    } else {
        const std::uint32_t d = in.U32();
        const std::uint32_t v = d >> 4;
        const bool proc = (d & 4) != 0;
        if (v == kEscape && version >= kFirstEscapeVersion) {
            const std::uint32_t line = in.U16();
            const std::uint32_t addr = in.U16();
            step = {line + 1, addr + 1, proc};
        } else {
            const std::uint32_t addrField = v >> 16 & 0xFFF;
            step = {(v & 0xFFFF) + 1, addrField == kZeroAddressField ? 0 : addrField + 1, proc};
        }
    }
    return in.Ok();
}

}  // namespace quillan::crash
