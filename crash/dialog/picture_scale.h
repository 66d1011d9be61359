// Scaling the dialog's pictures to the screen's DPI. Platform-free.
#pragma once

#include <cstdint>
#include <vector>

namespace quillan::crash {

// A picture of 32-bit pixels B, G, R, A, rows top first.
struct TRgbaPicture {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;  // Width * Height * 4
};

// The picture scaled to width x height by area averaging, weighted by alpha so that transparent
// pixels lend no colour, returned with premultiplied alpha (as AlphaBlend wants it). A size below
// 1 gives an empty picture.
TRgbaPicture ScalePremultiplied(const TRgbaPicture& source, int width, int height);

}  // namespace quillan::crash
