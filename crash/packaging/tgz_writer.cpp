#include "crash/packaging/tgz_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "crash/packaging/crc32.h"
#include "framework/core/calendar.h"
#include "framework/core/file_io.h"

namespace quillan::crash {
namespace {

constexpr std::size_t kBlock = 512;
constexpr std::size_t kNameField = 100;
// Eleven octal digits: the largest size or time a 12-byte field holds.
constexpr std::uint64_t kMaxOctal11 = (std::uint64_t(1) << 33) - 1;

// digits octal digits of value, leading zeros written as blanks; the last digit is always kept
// (a field of blanks only is rejected by tar readers as "blanks where a number was expected").
void PutOctal(char* field, std::uint64_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        field[i] = static_cast<char>('0' + (value & 7));
        value >>= 3;
    }
    for (int i = 0; i < digits - 1 && field[i] == '0'; ++i) field[i] = ' ';
}

void PutOctal8(char* field, std::uint64_t value) {
    PutOctal(field, value, 6);
    field[6] = ' ';
    field[7] = '\0';
}

void PutOctal12(char* field, std::uint64_t value) {
    PutOctal(field, value, 11);
    field[11] = ' ';
}

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

std::string FileNamePart(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1])) --i;
    return path.substr(i);
}

// Position of the extension's "." in name, or npos when the file name part has none.
size_t ExtensionStart(const std::string& name) {
    for (size_t i = name.size(); i > 0; --i) {
        if (IsSeparator(name[i - 1])) return std::string::npos;
        if (name[i - 1] == '.') return i - 1;
    }
    return std::string::npos;
}

// The file's modification time in seconds since 1970; times before 1970 (or unknown) give 0,
// times past what the header holds give its largest value.
std::int64_t FileUnixTime(const std::string& path) {
    const std::int64_t seconds = FileWriteUnixTime(path).value_or(0);
    if (seconds < 0) return 0;
    return seconds > std::int64_t(kMaxOctal11) ? std::int64_t(kMaxOctal11) : seconds;
}

}  // namespace

std::string FormatStamp(double dateTime) {
    // Whole milliseconds first, as the date-time routines of the runtime round them, so that
    // 12:00:00 stored as 11:59:59.9999999 still prints as 120000.
    const std::int64_t ms = std::llround(dateTime * 86400000.0);
    std::int64_t days = ms / 86400000;
    std::int64_t msOfDay = ms % 86400000;
    if (msOfDay < 0) {
        msOfDay += 86400000;
        --days;
    }
    int year, month, day;
    CivilFromDays(days - 25569, year, month, day);
    const int secondsOfDay = static_cast<int>(msOfDay / 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day, secondsOfDay / 3600,
                  secondsOfDay / 60 % 60, secondsOfDay % 60);
    return text;
}

std::string StampFileName(const std::string& name, double dateTime) {
    // Built by appending: GCC 12 at -O3 misreads a chain of + on substrings as overlapping copies.
    const size_t dot = std::min(ExtensionStart(name), name.size());
    std::string stamped(name, 0, dot);
    stamped += '_';
    stamped += FormatStamp(dateTime);
    stamped.append(name, dot, std::string::npos);
    return stamped;
}

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
    std::string changed(name, 0, std::min(ExtensionStart(name), name.size()));
    changed += ext;
    return changed;
}

TTGZWriter::TTGZWriter(std::string archivePath, bool stampNames, double reportTime)
    : path_(std::move(archivePath)), stampNames_(stampNames), reportTime_(reportTime) {}

TTGZWriter::~TTGZWriter() {
    // A destructor cannot report; the sending step checks for the file itself.
    (void)Finish();
}

bool TTGZWriter::AddFile(const std::string& path) { return AddFile(path, path); }

bool TTGZWriter::AddFile(const std::string& path, const std::string& name) {
    if (finished_) return false;
    std::string bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const std::exception&) {
        return false;  // an attachment that cannot be read travels without it
    }
    if (bytes.size() > kMaxOctal11) return false;
    std::string stored = FileNamePart(name);
    if (stampNames_) stored = StampFileName(stored, reportTime_);
    const std::int64_t time = FileUnixTime(path);

    if (stored.size() > kNameField) {
        // A longer name would be cut short in the 100-byte field: it goes first in a long-name
        // member that tar readers apply to the next header.
        AppendHeader("././@LongLink", 'L', stored.size() + 1, 0);
        tar_.append(stored);
        tar_.append(kBlock - stored.size() % kBlock, '\0');
    }
    AppendHeader(stored, '0', bytes.size(), time);
    tar_.append(bytes);
    if (bytes.size() % kBlock != 0) tar_.append(kBlock - bytes.size() % kBlock, '\0');
    members_.push_back({stored, bytes.size(), time});
    return true;
}

void TTGZWriter::AppendHeader(const std::string& name, char type, std::uint64_t size, std::int64_t time) {
    char h[kBlock] = {};
    std::memcpy(h, name.data(), name.size() < kNameField ? name.size() : kNameField);
    PutOctal8(h + 100, 0);  // mode
    PutOctal8(h + 108, 0);  // owner
    PutOctal8(h + 116, 0);  // group
    PutOctal12(h + 124, size);
    PutOctal12(h + 136, static_cast<std::uint64_t>(time));
    h[156] = type;
    std::memcpy(h + 257, "ustar   ", 8);
    std::memset(h + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    PutOctal8(h + 148, sum);
    tar_.append(h, kBlock);
}

bool TTGZWriter::Finish() {
    if (finished_) return false;
    finished_ = true;
    if (members_.empty()) return false;
    tar_.append(kBlock, '\0');
    try {
        AtomicWriteFile(path_, GzipWrap(tar_, ChangeFileExt(FileNamePart(path_), ".tar")));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::string GzipWrap(const std::string& data, const std::string& storedName) {
    std::string out = {'\x1F', '\x8B', '\x08', '\x08', 0, 0, 0, 0, 0, 0};
    out += storedName;
    out += '\0';

    z_stream z{};
    // Negative window bits: raw deflate data, the same bytes as a zlib stream without its
    // 2-byte header and 4-byte trailer.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
    // deflateBound takes a uLong, 32 bits on Windows: larger images go through in pieces.
    size_t done = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        const size_t piece = std::min<size_t>(data.size() - done, 1u << 30);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + done));
        z.avail_in = static_cast<uInt>(piece);
        done += piece;
        const int flush = done == data.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            const size_t room = deflateBound(&z, z.avail_in) + 64;
            const size_t used = out.size();
            out.resize(used + room);
            z.next_out = reinterpret_cast<Bytef*>(out.data() + used);
            z.avail_out = static_cast<uInt>(room);
            rc = deflate(&z, flush);
            out.resize(out.size() - z.avail_out);
        } while (z.avail_in > 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    }
    deflateEnd(&z);

    const std::uint32_t crc = Crc32(data.data(), data.size());
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());  // modulo 2^32, as gzip keeps it
    for (int i = 0; i < 4; ++i) out += static_cast<char>((crc >> (8 * i)) & 0xFF);
    for (int i = 0; i < 4; ++i) out += static_cast<char>((size >> (8 * i)) & 0xFF);
    return out;
}

}  // namespace quillan::crash
