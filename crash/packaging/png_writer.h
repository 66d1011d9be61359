// The screenshot file: an 8-bit palette PNG. Platform-free.
#pragma once

#include <cstddef>
#include <string>

#include "crash/packaging/octree.h"

namespace quillan::crash {

// The largest IDAT chunk written; longer compressed data is split over several chunks.
inline constexpr std::size_t kMaxIdatChunk = 0x3FFFF;

// The PNG bytes of image: IHDR (8 bits, palette), PLTE with all 256 entries, the rows with filter
// byte 0 as one zlib stream at the given zlib level (-1: zlib's default) over IDAT chunks of at
// most kMaxIdatChunk bytes, IEND. Empty when the image has no pixels.
std::string EncodePalettePng(const TPaletteImage& image, int level = -1);

// Reduces the capture to 256 colours and writes it as a palette PNG in one step. Returns false,
// leaving no file behind, when the picture is empty or the file cannot be written; never throws.
[[nodiscard]] bool SaveScreenshotPng(const TBgrxImage& capture, const std::string& path);

}  // namespace quillan::crash
