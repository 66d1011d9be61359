#include "crash/packaging/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include "crash/packaging/crc32.h"
#include "framework/core/file_io.h"

namespace quillan::crash {
namespace {

void PutBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& out, const char (&type)[5], const char* data, std::size_t size) {
    PutBigEndian(out, static_cast<std::uint32_t>(size));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out.append(data, size);
    PutBigEndian(out, Crc32(out.data() + typeAt, size + 4));
}

// The rows, each after its filter byte 0, as one zlib stream.
std::string CompressRows(const TPaletteImage& image, int level) {
    const std::size_t width = static_cast<std::size_t>(image.Width);
    const std::size_t height = static_cast<std::size_t>(image.Height);
    z_stream z{};
    if (deflateInit(&z, level) != Z_OK) throw std::bad_alloc();
    std::string out;
    std::string row(width + 1, '\0');
    std::size_t used = 0;
    // Grown as needed: a screenshot usually compresses far below its raw size.
    out.resize(std::max<std::size_t>(1024, (width + 1) * height / 8));
    for (std::size_t y = 0; y <= height; ++y) {
        const bool last = y == height;
        if (!last) {
            std::memcpy(row.data() + 1, image.Indexes.data() + y * width, width);
            z.next_in = reinterpret_cast<Bytef*>(row.data());
            z.avail_in = static_cast<uInt>(row.size());
        }
        for (;;) {
            if (out.size() - used < 64) out.resize(out.size() * 2);
            const std::size_t room = std::min<std::size_t>(out.size() - used, std::numeric_limits<uInt>::max());
            z.next_out = reinterpret_cast<Bytef*>(out.data() + used);
            z.avail_out = static_cast<uInt>(room);
            const int rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            used += room - z.avail_out;
            if (last ? rc == Z_STREAM_END : z.avail_in == 0) break;
        }
    }
    deflateEnd(&z);
    out.resize(used);
    return out;
}

}  // namespace

std::string EncodePalettePng(const TPaletteImage& image, int level) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Indexes.size() != static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height)) {
        return {};
    }
    std::string png("\x89PNG\r\n\x1A\n", 8);

    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(image.Width));
    PutBigEndian(header, static_cast<std::uint32_t>(image.Height));
    header += {8, 3, 0, 0, 0};  // bit depth, palette, deflate, filter set 0, no interlace
    AppendChunk(png, "IHDR", header.data(), header.size());

    char palette[256 * 3];
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = static_cast<char>(image.Palette[i].R);
        palette[3 * i + 1] = static_cast<char>(image.Palette[i].G);
        palette[3 * i + 2] = static_cast<char>(image.Palette[i].B);
    }
    AppendChunk(png, "PLTE", palette, sizeof palette);

    const std::string data = CompressRows(image, level);
    for (std::size_t at = 0; at < data.size(); at += kMaxIdatChunk) {
        AppendChunk(png, "IDAT", data.data() + at, std::min(kMaxIdatChunk, data.size() - at));
    }
    AppendChunk(png, "IEND", "", 0);
    return png;
}

bool SaveScreenshotPng(const TBgrxImage& capture, const std::string& path) {
    try {
        const std::string png = EncodePalettePng(ReduceColours(capture));
        if (png.empty()) return false;
        AtomicWriteFile(path, png);
        return true;
    } catch (const std::exception&) {
        return false;  // the report goes on without its screenshot
    }
}

}  // namespace quillan::crash
