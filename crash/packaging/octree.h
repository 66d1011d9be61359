// Colour reduction of a screenshot to at most 256 colours with an octree. Platform-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillan::crash {

// A true-colour picture as a screen capture delivers it: rows top to bottom, 4 bytes per pixel
// (blue, green, red, unused), rows Stride bytes apart.
struct TBgrxImage {
    int Width = 0;
    int Height = 0;
    std::size_t Stride = 0;
    std::vector<std::uint8_t> Pixels;
};

struct TRgb {
    std::uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TRgb&) const = default;
};

// An 8-bit palette picture; rows top to bottom, Width indexes each, no padding.
struct TPaletteImage {
    int Width = 0;
    int Height = 0;
    std::array<TRgb, 256> Palette{};  // entries past Colours are black
    int Colours = 0;
    std::vector<std::uint8_t> Indexes;
};

// Reduces the picture with an octree of depth 8 that never keeps more than 256 leaves: pixels
// are added in row order; whenever a new colour makes 257 leaves, the most recently added node of
// the deepest level that still has children is folded into a leaf. The palette holds the
// leaves' average colours in tree order.
TPaletteImage ReduceColours(const TBgrxImage& image);

}  // namespace quillan::crash
