// The program's two icons (groups 980 and 981): 32 x 32 pixels in the 16 standard colours,
// with an AND mask for the transparent parts, and their .ico encoding.
//
//   980  the mixing square: a blue field lightening to white, the eight slot squares on its
//        border in the map's state colours, and the mouse pointer that mixes them.
//   981  a loop: a ring with an arrowhead around a drum waveform.
//
// Pure functions, so tests check the pictures and the bytes without writing files.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/byte_reader.h"

namespace icons {

inline constexpr int kSize = 32;
inline constexpr int kColours = 16;

// The 16 standard colours (red, green, blue), by index.
struct Rgb {
  uint8_t r, g, b;
};
inline constexpr Rgb kPalette[kColours] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};
enum Colour : uint8_t {
  kBlack = 0,
  kMaroon,
  kGreen,
  kOlive,
  kNavy,
  kPurple,
  kTeal,
  kSilver,
  kGrey,
  kRed,
  kLime,
  kYellow,
  kBlue,
  kMagenta,
  kCyan,
  kWhite,
};

// A picture: one colour index per pixel and whether the pixel is see-through. Row 0 is the
// top. Transparent pixels keep index 0 (black), as the AND mask expects.
struct Icon {
  uint8_t index[kSize][kSize] = {};
  bool clear[kSize][kSize] = {};

  Icon() {
    for (auto& row : clear)
      for (bool& c : row) c = true;
  }
  void Set(int x, int y, uint8_t colour) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
    index[y][x] = colour;
    clear[y][x] = false;
  }
  void Fill(int x0, int y0, int x1, int y1, uint8_t colour) {  // inclusive corners
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, colour);
  }
};

// ---- 980: the mixing square ------------------------------------------------------------------

// 4 x 4 ordered-dither thresholds (Bayer), in sixteenths: mixing blue and white pixels in
// this pattern gives the pale blues of the map that the 16 colours do not have.
inline constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

inline Icon MakeMixIcon() {
  Icon icon;
  // The field: a 30 x 30 square at (1, 1) with a navy outline, dithered from blue at the
  // border to white in the centre, lighter along the centre lines, like the map itself.
  const int lo = 1, hi = 30;
  for (int y = lo; y <= hi; ++y) {
    for (int x = lo; x <= hi; ++x) {
      if (x == lo || x == hi || y == lo || y == hi) {
        icon.Set(x, y, kNavy);
        continue;
      }
      const double dx = std::fabs(x - 15.5), dy = std::fabs(y - 15.5);
      const double r = std::sqrt(dx * dx + dy * dy) / (14.5 * std::sqrt(2.0));
      double light = (1.0 - r) * (1.0 - 0.35 * r);
      if (std::fmin(dx, dy) < 1.0) light += 0.2 * (1.0 - r);
      const double threshold = (kBayer[y % 4][x % 4] + 0.5) / 16.0;
      icon.Set(x, y, (light - 0.3) / 0.5 > threshold ? kWhite : kBlue);
    }
  }
  // The eight slot squares against the border, a quarter and three quarters along each side,
  // in the map's colours: yellow loud, grey half way, blue quiet, red locked, green muted.
  // Each is 5 x 5: a black frame round a 3 x 3 core.
  struct Slot {
    int x, y;  // top-left corner of the frame
    uint8_t colour;
  };
  const Slot slots[8] = {
      {7, 2, kYellow}, {2, 7, kYellow},   {2, 20, kSilver}, {7, 25, kBlue},
      {20, 25, kRed},  {25, 20, kSilver}, {25, 7, kLime},   {20, 2, kYellow},
  };
  for (const Slot& s : slots) {
    icon.Fill(s.x, s.y, s.x + 4, s.y + 4, kBlack);
    icon.Fill(s.x + 1, s.y + 1, s.x + 3, s.y + 3, s.colour);
  }
  // The mouse pointer that mixes, its tip just up and left of the centre: white with a black
  // outline.
  static const char* const kPointer[] = {
      "X.........", "XX........", "XWX.......", "XWWX......", "XWWWX.....",
      "XWWWWX....", "XWWWWWX...", "XWWWWWWX..", "XWWWWWWWX.", "XWWWWXXXXX",
      "XWWXWWX...", "XWX.XWWX..", "XX...XWWX.", "......XWWX", ".......XX.",
  };
  const int px = 14, py = 12;
  for (int row = 0; row < 15; ++row) {
    for (int col = 0; kPointer[row][col] != '\0'; ++col) {
      const char ch = kPointer[row][col];
      if (ch == 'X') icon.Set(px + col, py + row, kBlack);
      if (ch == 'W') icon.Set(px + col, py + row, kWhite);
    }
  }
  return icon;
}

// ---- 981: the loop ---------------------------------------------------------------------------

inline Icon MakeLoopIcon() {
  Icon icon;
  const double cx = 15.5, cy = 15.5;
  const double kDegree = 3.14159265358979323846 / 180.0;
  // A navy disc with a black rim behind everything, so the picture reads on any desktop.
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double dx = x - cx, dy = y - cy;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (r <= 15.7) icon.Set(x, y, r > 14.7 ? kBlack : kNavy);
    }
  }
  // The loop: a ring from radius 9.6 to 13.2 running clockwise, open between 5 and 60
  // degrees (counted anticlockwise from three o'clock), where it ends in an arrowhead.
  const double gapFrom = 5.0 * kDegree, gapTo = 60.0 * kDegree;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double dx = x - cx, up = cy - y;
      const double r = std::sqrt(dx * dx + up * up);
      if (r < 9.6 || r > 13.2) continue;
      const double angle = std::atan2(up, dx);
      if (angle > gapFrom && angle < gapTo) continue;
      icon.Set(x, y, (r < 10.3 || r > 12.5) ? kTeal : kLime);
    }
  }
  // The arrowhead: a triangle whose base lies across the ring where it runs into the gap (60
  // degrees) and whose tip points clockwise into the gap.
  const double a = gapTo;
  const double radialX = std::cos(a), radialUp = std::sin(a);
  const double tangentX = std::sin(a), tangentUp = -std::cos(a);  // clockwise
  const double mid = 11.4;
  const double bx = cx + mid * radialX, bUp = mid * radialUp;
  const double p[3][2] = {
      {bx + 5.2 * radialX, bUp + 5.2 * radialUp},
      {bx - 5.2 * radialX, bUp - 5.2 * radialUp},
      {bx + 5.5 * tangentX, bUp + 5.5 * tangentUp},
  };
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double qx = x, qUp = cy - y;
      double sign[3];
      for (int i = 0; i < 3; ++i) {
        const double* e0 = p[i];
        const double* e1 = p[(i + 1) % 3];
        sign[i] = (e1[0] - e0[0]) * (qUp - e0[1]) - (e1[1] - e0[1]) * (qx - e0[0]);
      }
      const bool inside = (sign[0] >= 0 && sign[1] >= 0 && sign[2] >= 0) ||
                          (sign[0] <= 0 && sign[1] <= 0 && sign[2] <= 0);
      if (inside) icon.Set(x, y, kLime);
    }
  }
  // The sound inside the loop: two drum hits as a waveform display, one-pixel bars mirrored
  // about the middle, each hit a sharp attack that dies away.
  const int halfHeights[10] = {7, 5, 3, 2, 1, 7, 5, 3, 2, 1};
  for (int i = 0; i < 10; ++i) {
    const int x = 7 + 2 * i;
    for (int y = 15 - halfHeights[i]; y <= 16 + halfHeights[i]; ++y) icon.Set(x, y, kYellow);
  }
  return icon;
}

// ---- .ico encoding ---------------------------------------------------------------------------

using ::mixorama::PutLe16;
using ::mixorama::PutLe32;

inline constexpr uint32_t kDirBytes = 6 + 16;        // ICONDIR with one ICONDIRENTRY
inline constexpr uint32_t kXorRowBytes = kSize / 2;  // 4 bits per pixel; 16 is 4-aligned
inline constexpr uint32_t kAndRowBytes = kSize / 8;  // 1 bit per pixel; 4 is 4-aligned
inline constexpr uint32_t kImageBytes =
    40 + 4 * kColours + kSize * kXorRowBytes + kSize * kAndRowBytes;  // 744

// A one-image .ico file: the directory, then the image as a BITMAPINFOHEADER of double
// height, the 16-colour palette, the colour rows and the AND mask rows, both bottom-up.
inline std::vector<uint8_t> EncodeIco(const Icon& icon) {
  std::vector<uint8_t> out;
  out.reserve(kDirBytes + kImageBytes);
  PutLe16(out, 0);  // reserved
  PutLe16(out, 1);  // icon
  PutLe16(out, 1);  // one image
  out.push_back(kSize);
  out.push_back(kSize);
  out.push_back(kColours);
  out.push_back(0);
  PutLe16(out, 1);  // planes
  PutLe16(out, 4);  // bits per pixel
  PutLe32(out, kImageBytes);
  PutLe32(out, kDirBytes);

  PutLe32(out, 40);
  PutLe32(out, kSize);
  PutLe32(out, 2 * kSize);  // colour rows and mask rows together
  PutLe16(out, 1);
  PutLe16(out, 4);
  PutLe32(out, 0);  // BI_RGB
  PutLe32(out, kSize * (kXorRowBytes + kAndRowBytes));
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, kColours);
  PutLe32(out, 0);
  for (const Rgb& c : kPalette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  for (int y = kSize - 1; y >= 0; --y) {
    for (int x = 0; x < kSize; x += 2) {
      const uint8_t hiPix = icon.clear[y][x] ? 0 : icon.index[y][x];
      const uint8_t loPix = icon.clear[y][x + 1] ? 0 : icon.index[y][x + 1];
      out.push_back(static_cast<uint8_t>((hiPix << 4) | (loPix & 0x0F)));
    }
  }
  for (int y = kSize - 1; y >= 0; --y) {
    for (int x = 0; x < kSize; x += 8) {
      uint8_t bits = 0;
      for (int b = 0; b < 8; ++b) {
        if (icon.clear[y][x + b]) bits = static_cast<uint8_t>(bits | (0x80 >> b));
      }
      out.push_back(bits);
    }
  }
  return out;
}

}  // namespace icons
