// The map's background picture (bitmap 1000): a 350 x 350 blue field that lightens from pure
// blue in the corners to white in the centre, with lighter bands along the horizontal and
// vertical centre lines. Every pixel is (k, k, 255) with k = 0, 8, ..., 240, or white: 32
// palette entries in all.
//
// Pure functions (the shade of a pixel, the palette, the BMP bytes) so tests check them
// without writing files. Only +, -, *, / and sqrt in double are used (each correctly rounded),
// so every build draws the same picture.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/byte_reader.h"
#include "ui/map_rules.h"

namespace mapbmp {

inline constexpr int kSize = mixorama::kMapSize;  // pixels, both sides
inline constexpr int kShadeCount = 32;            // palette entries: 31 blues and white
inline constexpr int kWhiteShade = kShadeCount - 1;

// Half-width of the bands along the centre lines, in half pixels, and how much they lighten.
inline constexpr double kBandHalfWidth = 56.0;
inline constexpr double kBandStrength = 0.16;

// Shade index 0..31 of pixel (x, y), 0 <= x, y < 350, origin top-left. 0 is pure blue (the
// corners), 31 is white (the centre).
inline int ShadeAt(int x, int y) {
  // Distances from the centre lines in half pixels: the centre lies between pixels 174 and
  // 175, so these are odd numbers from 1 (next to a centre line) to 349 (the border).
  const double ax = std::fabs(2.0 * x - (kSize - 1));
  const double ay = std::fabs(2.0 * y - (kSize - 1));
  const double farthest = (kSize - 1) * std::sqrt(2.0);
  const double r = std::sqrt(ax * ax + ay * ay) / farthest;  // 0 centre .. 1 corner
  double lightness = (1.0 - r) * (1.0 - r * 0.35);
  // A band fades smoothly from its centre line to nothing kBandHalfWidth away, and toward the
  // far end of the line it follows, so the corners stay pure blue.
  const double nearest = std::fmin(ax, ay);
  if (nearest < kBandHalfWidth) {
    const double across = 1.0 - (nearest / kBandHalfWidth) * (nearest / kBandHalfWidth);
    lightness += kBandStrength * across * across * (1.0 - r);
  }
  const int shade = static_cast<int>(std::floor(lightness * kShadeCount));
  if (shade < 0) return 0;
  if (shade > kWhiteShade) return kWhiteShade;
  return shade;
}

// Colour of a shade: (k, k, 255) with k = 8 x shade below white, (255, 255, 255) for white.
struct Rgb {
  uint8_t r, g, b;
};
inline Rgb ShadeColour(int shade) {
  if (shade >= kWhiteShade) return {255, 255, 255};
  const uint8_t k = static_cast<uint8_t>(8 * shade);
  return {k, k, 255};
}

using ::mixorama::PutLe16;
using ::mixorama::PutLe32;

// Bytes per stored row: 350 one-byte pixels padded to a multiple of 4.
inline constexpr uint32_t kRowBytes = (kSize + 3) & ~3u;
inline constexpr uint32_t kPixelOffset = 14 + 40 + 4 * kShadeCount;

// The whole .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER (8 bits per pixel, uncompressed,
// 32 palette entries), the palette as blue, green, red, 0, then the rows bottom-up.
inline std::vector<uint8_t> EncodeMapBmp() {
  const uint32_t imageBytes = kRowBytes * kSize;
  std::vector<uint8_t> out;
  out.reserve(kPixelOffset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, kPixelOffset + imageBytes);  // file size
  PutLe32(out, 0);                          // reserved
  PutLe32(out, kPixelOffset);
  PutLe32(out, 40);  // BITMAPINFOHEADER
  PutLe32(out, kSize);
  PutLe32(out, kSize);  // positive height: bottom-up rows
  PutLe16(out, 1);      // planes
  PutLe16(out, 8);      // bits per pixel
  PutLe32(out, 0);      // BI_RGB
  PutLe32(out, imageBytes);
  PutLe32(out, 2835);  // 72 dots per inch, in pixels per metre
  PutLe32(out, 2835);
  PutLe32(out, kShadeCount);  // palette entries used
  PutLe32(out, kShadeCount);  // all of them matter
  for (int s = 0; s < kShadeCount; ++s) {
    const Rgb c = ShadeColour(s);
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int row = kSize - 1; row >= 0; --row) {
    for (int x = 0; x < kSize; ++x) out.push_back(static_cast<uint8_t>(ShadeAt(x, row)));
    for (uint32_t pad = kSize; pad < kRowBytes; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace mapbmp
