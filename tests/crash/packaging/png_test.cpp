// Screenshot files against libpng and pngcheck: every file decodes to exactly the reduced picture,
// and the colour reduction keeps to its rule.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "crash/packaging/octree.h"
#include "crash/packaging/png_writer.h"
#include "tests/crash/packaging/host_tools.h"
#include "tests/support/temp_dir.h"

namespace quillan::crash {
namespace {

struct Decoded {
    std::string Error;  // empty when libpng read the file
    png_uint_32 Width = 0, Height = 0;
    int BitDepth = 0, ColourType = 0;
    std::vector<TRgb> Palette;
    std::vector<std::uint8_t> Indexes;
};

struct MemoryReader {
    const std::string* Bytes;
    size_t At;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (reader->At + count > reader->Bytes->size()) png_error(png, "read past the end");
    std::memcpy(out, reader->Bytes->data() + reader->At, count);
    reader->At += count;
}

void OnError(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = std::string("warning: ") + message;
}

// Reads the file with libpng, untransformed: palette and raw indexes.
Decoded DecodeWithLibpng(const std::string& bytes) {
    Decoded d;
    std::string message;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, OnError, OnWarning);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&bytes, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        d.Error = message.empty() ? "libpng failed" : message;
        png_destroy_read_struct(&png, &info, nullptr);
        return d;
    }
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    d.Width = png_get_image_width(png, info);
    d.Height = png_get_image_height(png, info);
    d.BitDepth = png_get_bit_depth(png, info);
    d.ColourType = png_get_color_type(png, info);
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) == PNG_INFO_PLTE) {
        for (int i = 0; i < entries; ++i) d.Palette.push_back({palette[i].red, palette[i].green, palette[i].blue});
    }
    d.Indexes.resize(static_cast<size_t>(d.Width) * d.Height);
    for (png_uint_32 y = 0; y < d.Height; ++y) rows.push_back(d.Indexes.data() + static_cast<size_t>(y) * d.Width);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    d.Error = message;  // a warning counts as a fault too
    return d;
}

struct Chunk {
    std::string Type;
    size_t Length;
};

// The chunk sequence of a PNG file, walked by the length fields.
std::vector<Chunk> ChunksOf(const std::string& png) {
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
        const size_t length = size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
        chunks.push_back({png.substr(at + 4, 4), length});
        at += 12 + length;
    }
    return chunks;
}

// Writes the file and asks pngcheck about it; returns its verdict.
std::string CheckWithPngcheck(const std::string& png, const test::TempDir& dir) {
    const std::string path = dir.Path() + "check.png";
    test::WriteAll(path, png);
    test::ToolResult r = test::RunTool("pngcheck -v " + test::Quoted(path));
    return r.Status == 0 ? std::string() : r.Output + r.Errors;
}

TBgrxImage MakeImage(int width, int height, size_t padding = 0) {
    TBgrxImage image;
    image.Width = width;
    image.Height = height;
    image.Stride = static_cast<size_t>(width) * 4 + padding;
    image.Pixels.assign(image.Stride * static_cast<size_t>(height), 0xEE);
    return image;
}

void SetPixel(TBgrxImage& image, int x, int y, TRgb c) {
    std::uint8_t* p = image.Pixels.data() + image.Stride * static_cast<size_t>(y) + 4 * static_cast<size_t>(x);
    p[0] = c.B;
    p[1] = c.G;
    p[2] = c.R;
}

TRgb PixelOf(const TBgrxImage& image, int x, int y) {
    const std::uint8_t* p = image.Pixels.data() + image.Stride * static_cast<size_t>(y) + 4 * static_cast<size_t>(x);
    return {p[2], p[1], p[0]};
}

// Encodes the reduced picture and checks it with both oracles; returns what libpng decoded.
Decoded EncodeAndCheck(const TPaletteImage& reduced, const test::TempDir& dir) {
    const std::string png = EncodePalettePng(reduced);
    Decoded d = DecodeWithLibpng(png);
    EXPECT_EQ(d.Error, "");
    EXPECT_EQ(CheckWithPngcheck(png, dir), "");
    EXPECT_EQ(d.Width, static_cast<png_uint_32>(reduced.Width));
    EXPECT_EQ(d.Height, static_cast<png_uint_32>(reduced.Height));
    EXPECT_EQ(d.BitDepth, 8);
    EXPECT_EQ(d.ColourType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(d.Palette.size(), 256u);
    EXPECT_TRUE(d.Indexes == reduced.Indexes) << "decoded indexes differ";
    if (d.Palette.size() == 256) {
        for (int i = 0; i < 256; ++i) EXPECT_EQ(d.Palette[i], reduced.Palette[i]) << "entry " << i;
    }
    std::vector<Chunk> chunks = ChunksOf(png);
    EXPECT_GE(chunks.size(), 4u);
    if (chunks.size() >= 4) {
        EXPECT_EQ(chunks[0].Type, "IHDR");
        EXPECT_EQ(chunks[1].Type, "PLTE");
        EXPECT_EQ(chunks.back().Type, "IEND");
        for (size_t i = 2; i + 1 < chunks.size(); ++i) EXPECT_EQ(chunks[i].Type, "IDAT");
    }
    return d;
}

TEST(PalettePng, RandomPicturesOfOddSizesDecodeToTheReducedPicture) {
    test::TempDir dir;
    std::mt19937 random(2024);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 5000}, {5000, 1}, {4097, 3}, {17, 13}, {3, 4097}};
    for (auto [width, height] : sizes) {
        for (bool fewColours : {true, false}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + (fewColours ? " few" : " many"));
            TBgrxImage image = MakeImage(width, height, 8);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const std::uint32_t v = random();
                    SetPixel(image, x, y,
                             fewColours ? TRgb{std::uint8_t(v % 5 * 60), std::uint8_t(v / 5 % 3 * 100), 7}
                                        : TRgb{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
                }
            }
            const TPaletteImage reduced = ReduceColours(image);
            EXPECT_LE(reduced.Colours, 256);
            for (std::uint8_t index : reduced.Indexes) ASSERT_LT(index, reduced.Colours);
            Decoded d = EncodeAndCheck(reduced, dir);
            if (fewColours) {
                // 15 colours fit without reduction: the file shows the picture exactly.
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        ASSERT_EQ(d.Palette[d.Indexes[size_t(y) * width + x]], PixelOf(image, x, y)) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(PalettePng, ThreeHundredColoursStillGiveA256EntryPalette) {
    test::TempDir dir;
    TBgrxImage image = MakeImage(300, 2);
    std::set<std::uint32_t> distinct;
    for (int x = 0; x < 300; ++x) {
        const TRgb c{std::uint8_t(x % 20 * 12), std::uint8_t(x / 20 * 16), 128};
        SetPixel(image, x, 0, c);
        SetPixel(image, x, 1, c);
        distinct.insert(c.R << 16 | c.G << 8 | c.B);
    }
    ASSERT_EQ(distinct.size(), 300u);
    const TPaletteImage reduced = ReduceColours(image);
    EXPECT_LE(reduced.Colours, 256);
    EXPECT_GT(reduced.Colours, 200);
    Decoded d = EncodeAndCheck(reduced, dir);
    EXPECT_EQ(d.Palette.size(), 256u);
    // Both rows were the same colours, so they map the same way.
    EXPECT_TRUE(std::equal(d.Indexes.begin(), d.Indexes.begin() + 300, d.Indexes.begin() + 300));
}

// 128 pairs of colours that differ only in the lowest blue bit, so each pair shares one node of
// the deepest inner level; then a 257th colour joins the node of the pair added first.
TBgrxImage PairsThenOneMore(bool ascending) {
    TBgrxImage image = MakeImage(257, 1);
    for (int i = 0; i < 128; ++i) {
        const int k = ascending ? i : 127 - i;
        SetPixel(image, 2 * i, 0, {0, 0, std::uint8_t(2 * k)});
        SetPixel(image, 2 * i + 1, 0, {0, 0, std::uint8_t(2 * k + 1)});
    }
    SetPixel(image, 256, 0, {0, 1, std::uint8_t(ascending ? 0 : 254)});
    return image;
}

TEST(OctreeReduction, TheMostRecentlyAddedDeepestNodeIsFolded) {
    for (bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "pairs added in ascending order" : "pairs added in descending order");
        const TPaletteImage reduced = ReduceColours(PairsThenOneMore(ascending));
        ASSERT_EQ(reduced.Colours, 256);
        // Not the node that took the new colour: the pair added last becomes one colour, the
        // average of the two (x.5 rounds up).
        const int merged = ascending ? 127 : 0;
        std::set<std::uint32_t> palette;
        for (int i = 0; i < reduced.Colours; ++i) {
            const TRgb c = reduced.Palette[i];
            palette.insert(c.R << 16 | c.G << 8 | c.B);
        }
        EXPECT_EQ(palette.count(ascending ? 0x000100 : 0x0001FE), 1u);
        for (int k = 0; k < 128; ++k) {
            if (k == merged) {
                EXPECT_EQ(palette.count(2 * k), 0u);
                EXPECT_EQ(palette.count(2 * k + 1), 1u);
            } else {
                EXPECT_EQ(palette.count(2 * k), 1u) << k;
                EXPECT_EQ(palette.count(2 * k + 1), 1u) << k;
            }
        }
    }
}

TEST(OctreeReduction, ManyColoursKeepTheirHighBitsAndFollowTheTree) {
    // Smooth gradients, as on a desktop background: every pixel stays close to its colour.
    TBgrxImage image = MakeImage(256, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x)
            SetPixel(image, x, y, {std::uint8_t(x), std::uint8_t(y * 4), std::uint8_t(255 - x)});
    }
    const TPaletteImage reduced = ReduceColours(image);
    ASSERT_LE(reduced.Colours, 256);
    int worst = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 256; ++x) {
            const TRgb want = PixelOf(image, x, y);
            const TRgb got = reduced.Palette[reduced.Indexes[size_t(y) * 256 + x]];
            worst = std::max({worst, std::abs(want.R - got.R), std::abs(want.G - got.G), std::abs(want.B - got.B)});
        }
    }
    // 256 leaves over a 16384-colour cube of this shape: cells of at most 32 on a side.
    EXPECT_LE(worst, 32);
}

TEST(PalettePng, CompressedDataBeyondOneChunkIsSplitAtTheLimit) {
    constexpr size_t kIdatLimit = 0x3FFFF;
    test::TempDir dir;
    TPaletteImage noise;
    noise.Width = 700;
    noise.Height = 700;
    noise.Colours = 256;
    for (int i = 0; i < 256; ++i) noise.Palette[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)};
    std::mt19937 random(99);
    noise.Indexes.resize(700 * 700);
    for (auto& index : noise.Indexes) index = static_cast<std::uint8_t>(random());
    const std::string png = EncodePalettePng(noise);
    EncodeAndCheck(noise, dir);
    std::vector<Chunk> chunks = ChunksOf(png);
    size_t total = 0, idat = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].Type != "IDAT") continue;
        ++idat;
        total += chunks[i].Length;
        EXPECT_LE(chunks[i].Length, kIdatLimit);
        if (i + 2 < chunks.size()) {
            EXPECT_EQ(chunks[i].Length, kIdatLimit) << "only the last chunk is short";
        }
    }
    EXPECT_GT(total, kIdatLimit);
    EXPECT_EQ(idat, (total + kIdatLimit - 1) / kIdatLimit);
}

TEST(PalettePng, ScreenshotThatCannotBeSavedIsDroppedQuietly) {
    test::TempDir dir;
    TBgrxImage image = MakeImage(4, 4);
    EXPECT_FALSE(SaveScreenshotPng(image, dir.Path() + "missing/Screenshot.png"));
    EXPECT_FALSE(SaveScreenshotPng(TBgrxImage{}, dir.Path() + "empty.png"));
    EXPECT_TRUE(dir.List().empty());
    ASSERT_TRUE(SaveScreenshotPng(image, dir.Path() + "Screenshot.png"));
    Decoded d = DecodeWithLibpng(test::ReadAll(dir.Path() + "Screenshot.png"));
    EXPECT_EQ(d.Error, "");
    EXPECT_EQ(d.Palette.at(d.Indexes.at(0)), (TRgb{0xEE, 0xEE, 0xEE}));
}

}  // namespace
}  // namespace quillan::crash
