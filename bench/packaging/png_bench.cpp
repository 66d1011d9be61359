// Saving a 1920 x 1080 screenshot: our palette PNG encoder beside libpng writing the same reduced
// picture at the same zlib level and strategy, filter byte 0 on every row; and the octree reduction
// of the same picture on its own.
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "bench/support/result.h"
#include "bench/support/timing_reporter.h"
#include "crash/packaging/octree.h"
#include "crash/packaging/png_writer.h"

namespace {

using quillan::crash::TBgrxImage;
using quillan::crash::TPaletteImage;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kLevel = Z_DEFAULT_COMPRESSION;

void Fill(TBgrxImage& image, int left, int top, int right, int bottom, std::uint32_t bgr) {
    for (int y = std::max(top, 0); y < std::min(bottom, image.Height); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.Pixels.data() + image.Stride * y);
        for (int x = std::max(left, 0); x < std::min(right, image.Width); ++x) row[x] = bgr;
    }
}

std::uint32_t Bgr(int r, int g, int b) {
    return std::uint32_t(std::clamp(b, 0, 255)) | std::uint32_t(std::clamp(g, 0, 255)) << 8 |
           std::uint32_t(std::clamp(r, 0, 255)) << 16;
}

// A desktop as a crash leaves it: a gradient background, a photo-like wallpaper corner, windows
// with gradient captions, flat client areas with lines of anti-aliased text, a taskbar.
TBgrxImage ScreenshotLike() {
    TBgrxImage image;
    image.Width = kWidth;
    image.Height = kHeight;
    image.Stride = kWidth * 4;
    image.Pixels.resize(image.Stride * kHeight);
    std::mt19937 random(1920);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.Pixels.data() + image.Stride * y);
        for (int x = 0; x < kWidth; ++x) row[x] = Bgr(20 + y / 12, 60 + y / 8, 120 + x / 20);
    }
    for (int y = 600; y < 1040; ++y) {  // wallpaper photo: smooth shapes plus sensor noise
        auto* row = reinterpret_cast<std::uint32_t*>(image.Pixels.data() + image.Stride * y);
        for (int x = 1300; x < 1900; ++x) {
            const double v = std::sin(x / 37.0) * std::cos(y / 23.0);
            const int n = static_cast<int>(random() % 9) - 4;
            row[x] = Bgr(static_cast<int>(120 + 80 * v) + n, static_cast<int>(140 - 60 * v) + n, 90 + (x - y) / 8 + n);
        }
    }
    const int windows[][4] = {{60, 40, 1100, 760}, {500, 200, 1500, 900}, {1200, 80, 1860, 560}};
    for (const auto& w : windows) {
        Fill(image, w[0] - 1, w[1] - 1, w[2] + 1, w[3] + 1, Bgr(100, 100, 100));
        for (int x = w[0]; x < w[2]; ++x) {  // caption gradient
            Fill(image, x, w[1], x + 1, w[1] + 30, Bgr(0, 84 + (x - w[0]) * 120 / (w[2] - w[0]), 227));
        }
        Fill(image, w[0], w[1] + 30, w[2], w[3], Bgr(255, 255, 255));
        for (int line = w[1] + 50; line + 14 < w[3]; line += 20) {
            int x = w[0] + 12;
            const int end = w[2] - 12 - static_cast<int>(random() % 200);
            while (x + 8 < end) {
                const int glyph = static_cast<int>(random() % 7) + 4;
                if (random() % 6 == 0) {
                    x += 6;  // a space
                    continue;
                }
                for (int gy = 0; gy < 12; ++gy) {
                    auto* row = reinterpret_cast<std::uint32_t*>(image.Pixels.data() + image.Stride * (line + gy));
                    for (int gx = 0; gx < glyph; ++gx) {
                        const unsigned ink = random() % 4;  // black, two anti-aliased greys, paper
                        if (ink < 3) row[x + gx] = Bgr(ink * 90, ink * 90, ink * 90 + 10);
                    }
                }
                x += glyph + 1;
            }
        }
    }
    Fill(image, 0, kHeight - 40, kWidth, kHeight, Bgr(32, 32, 40));
    return image;
}

const TBgrxImage& Screen() {
    static const TBgrxImage screen = ScreenshotLike();
    return screen;
}

const TPaletteImage& Reduced() {
    static const TPaletteImage reduced = quillan::crash::ReduceColours(Screen());
    return reduced;
}

void AppendToString(png_structp png, png_bytep data, png_size_t size) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}

std::string EncodeWithLibpng(const TPaletteImage& image) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToString, nullptr);
    png_set_IHDR(png, info, image.Width, image.Height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {image.Palette[i].R, image.Palette[i].G, image.Palette[i].B};
    png_set_PLTE(png, info, palette, 256);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, kLevel);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_write_info(png, info);
    for (int y = 0; y < image.Height; ++y) {
        png_write_row(png, image.Indexes.data() + static_cast<size_t>(y) * image.Width);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The argument is the picture's height in lines, for the summary's table.
void BM_QuillanPngEncode(benchmark::State& state) {
    const TPaletteImage& image = Reduced();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string png = quillan::crash::EncodePalettePng(image, kLevel);
        bytes = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_LibpngEncode(benchmark::State& state) {
    const TPaletteImage& image = Reduced();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string png = EncodeWithLibpng(image);
        bytes = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_OctreeReduce(benchmark::State& state) {
    const TBgrxImage& screen = Screen();
    int colours = 0;
    for (auto _ : state) {
        TPaletteImage reduced = quillan::crash::ReduceColours(screen);
        colours = reduced.Colours;
        benchmark::DoNotOptimize(reduced.Indexes.data());
    }
    state.counters["colours"] = colours;
}

BENCHMARK(BM_QuillanPngEncode)->Arg(kHeight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngEncode)->Arg(kHeight)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OctreeReduce)->Arg(kHeight)->Unit(benchmark::kMillisecond);

// The picture a PNG file holds, as RGB bytes read back by libpng; empty when libpng refuses it.
std::string DecodeWithLibpng(const std::string& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return {};
    image.format = PNG_FORMAT_RGB;
    std::string pixels(PNG_IMAGE_SIZE(image), '\0');
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return pixels;
}

// The reduced picture itself as RGB bytes: each index looked up in the palette.
std::string ExpectedPixels(const TPaletteImage& image) {
    std::string pixels;
    pixels.reserve(image.Indexes.size() * 3);
    for (std::uint8_t index : image.Indexes) {
        pixels += static_cast<char>(image.Palette[index].R);
        pixels += static_cast<char>(image.Palette[index].G);
        pixels += static_cast<char>(image.Palette[index].B);
    }
    return pixels;
}

void PrintSummary(const quillan::bench::Timings& t) {
    auto at = [&](const char* name) { return t.count(name) ? t.at(name).begin()->second : 0.0; };
    const double ours = at("BM_QuillanPngEncode"), libpng = at("BM_LibpngEncode"), octree = at("BM_OctreeReduce");
    std::printf("\n1920x1080 screenshot, zlib level %d\n", kLevel);
    if (ours > 0 && libpng > 0) {
        std::printf("PNG encode: ours %.2f ms, libpng %.2f ms, ours/libpng %.2fx (goal: at most 2x)\n", ours * 1e3,
                    libpng * 1e3, ours / libpng);
    }
    if (octree > 0) std::printf("octree reduction alone: %.2f ms\n", octree * 1e3);
    quillan::bench::PrintResult("PNG encode, 1920x1080 screenshot", ours * 1e3, libpng * 1e3, "libpng", "ms",
                                "at most 2x");
}

}  // namespace

int main(int argc, char** argv) {
    // Both encoders must write the same picture, the reduced one: libpng reads both files back.
    const std::string ours = quillan::crash::EncodePalettePng(Reduced(), kLevel);
    const std::string theirs = EncodeWithLibpng(Reduced());
    std::printf("colours %d, file bytes: ours %zu, libpng %zu\n", Reduced().Colours, ours.size(), theirs.size());
    if (ours.empty() || theirs.empty()) return 1;
    const std::string expected = ExpectedPixels(Reduced());
    const std::string oursRead = DecodeWithLibpng(ours), theirsRead = DecodeWithLibpng(theirs);
    if (oursRead != expected || theirsRead != expected) {
        std::printf("the pictures differ: ours %s, libpng's %s\n", oursRead == expected ? "right" : "WRONG",
                    theirsRead == expected ? "right" : "WRONG");
        return 1;
    }
    std::printf("libpng reads the same %dx%d picture from both files\n", Reduced().Width, Reduced().Height);
    return quillan::bench::RunWithSummary(argc, argv, &PrintSummary);
}
