// The generated pictures: the map's background (bitmap 1000) and the two icons (980, 981).
// The pixel rules and the file encodings are checked through the generators' own functions,
// and the encoded bytes are decoded here independently.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "tools/icons/icons.h"
#include "tools/map_bitmap/map_bitmap.h"

namespace {

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}

// ---- Map bitmap ----------------------------------------------------------------------------

constexpr int kLast = mapbmp::kSize - 1;

bool IsMapColour(const mapbmp::Rgb& c) {
  const bool white = c.r == 255 && c.g == 255 && c.b == 255;
  const bool blue = c.b == 255 && c.r == c.g && c.r % 8 == 0 && c.r <= 240;
  return white || blue;
}

TEST(MapBitmap, CornersArePureBlueAndTheCentreIsWhite) {
  for (int x : {0, kLast}) {
    for (int y : {0, kLast}) {
      const mapbmp::Rgb c = mapbmp::ShadeColour(mapbmp::ShadeAt(x, y));
      EXPECT_EQ(c.r, 0) << x << "," << y;
      EXPECT_EQ(c.g, 0) << x << "," << y;
      EXPECT_EQ(c.b, 255) << x << "," << y;
    }
  }
  // The centre lies between pixels 174 and 175: all four are white.
  for (int x : {174, 175}) {
    for (int y : {174, 175}) {
      const mapbmp::Rgb c = mapbmp::ShadeColour(mapbmp::ShadeAt(x, y));
      EXPECT_EQ(c.r, 255);
      EXPECT_EQ(c.g, 255);
      EXPECT_EQ(c.b, 255);
    }
  }
}

TEST(MapBitmap, UsesExactlyThe31BluesAndWhite) {
  std::set<int> shades;
  for (int y = 0; y < mapbmp::kSize; ++y) {
    for (int x = 0; x < mapbmp::kSize; ++x) {
      const int s = mapbmp::ShadeAt(x, y);
      ASSERT_GE(s, 0);
      ASSERT_LT(s, mapbmp::kShadeCount);
      shades.insert(s);
    }
  }
  EXPECT_EQ(shades.size(), 32u);
  std::set<int> ks;
  for (int s : shades) {
    const mapbmp::Rgb c = mapbmp::ShadeColour(s);
    EXPECT_TRUE(IsMapColour(c)) << "shade " << s;
    ks.insert(c.r);
  }
  for (int k = 0; k <= 240; k += 8) EXPECT_EQ(ks.count(k), 1u) << "k = " << k;
  EXPECT_EQ(ks.count(255), 1u) << "white";
}

TEST(MapBitmap, IsSymmetricAboutBothCentreLinesAndTheDiagonal) {
  for (int y = 0; y < mapbmp::kSize; ++y) {
    for (int x = 0; x < mapbmp::kSize; ++x) {
      const int s = mapbmp::ShadeAt(x, y);
      ASSERT_EQ(s, mapbmp::ShadeAt(kLast - x, y)) << x << "," << y;
      ASSERT_EQ(s, mapbmp::ShadeAt(x, kLast - y)) << x << "," << y;
      ASSERT_EQ(s, mapbmp::ShadeAt(y, x)) << x << "," << y;
    }
  }
}

TEST(MapBitmap, LightensTowardTheCentre) {
  // Along the diagonal, along the top edge to its middle and along the centre line inward.
  for (int i = 1; i <= 174; ++i) {
    EXPECT_GE(mapbmp::ShadeAt(i, i), mapbmp::ShadeAt(i - 1, i - 1)) << i;
    EXPECT_GE(mapbmp::ShadeAt(i, 0), mapbmp::ShadeAt(i - 1, 0)) << i;
    EXPECT_GE(mapbmp::ShadeAt(174, i), mapbmp::ShadeAt(174, i - 1)) << i;
  }
  EXPECT_GT(mapbmp::ShadeAt(100, 100), mapbmp::ShadeAt(20, 20));
}

TEST(MapBitmap, CentreLinesAreLighterBands) {
  // A pixel on a centre line against pixels at the same distance from the centre away from
  // it, and against its neighbours across the band.
  for (int d : {40, 80, 120, 160}) {
    const int onLine = mapbmp::ShadeAt(174, 174 - d);
    const int diagonal = mapbmp::ShadeAt(174 - d * 7 / 10, 174 - d * 7 / 10);
    EXPECT_GT(onLine, diagonal) << d;
    EXPECT_GT(onLine, mapbmp::ShadeAt(174 - 40, 174 - d)) << d;
    EXPECT_GT(mapbmp::ShadeAt(174 - d, 175), mapbmp::ShadeAt(174 - d, 175 + 40)) << d;
  }
}

TEST(MapBitmap, FileHeadersPaletteAndRows) {
  const std::vector<uint8_t> f = mapbmp::EncodeMapBmp();
  const uint32_t rowBytes = 352;  // 350 padded to a multiple of 4
  const uint32_t pixelOffset = 14 + 40 + 32 * 4;
  ASSERT_EQ(f.size(), pixelOffset + rowBytes * 350);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Le32(f, 2), f.size());
  EXPECT_EQ(Le32(f, 6), 0u);
  EXPECT_EQ(Le32(f, 10), pixelOffset);
  EXPECT_EQ(Le32(f, 14), 40u);
  EXPECT_EQ(Le32(f, 18), 350u);
  EXPECT_EQ(Le32(f, 22), 350u) << "positive: rows stored bottom-up";
  EXPECT_EQ(Le16(f, 26), 1u);
  EXPECT_EQ(Le16(f, 28), 8u);
  EXPECT_EQ(Le32(f, 30), 0u) << "uncompressed";
  EXPECT_EQ(Le32(f, 34), rowBytes * 350);
  EXPECT_EQ(Le32(f, 46), 32u) << "palette entries";

  // Decode every pixel through the palette: bottom-up rows, zero padding.
  std::map<uint32_t, int> colours;
  for (uint32_t row = 0; row < 350; ++row) {
    const size_t base = pixelOffset + row * rowBytes;
    EXPECT_EQ(f[base + 350], 0);
    EXPECT_EQ(f[base + 351], 0);
    const int y = 349 - static_cast<int>(row);
    for (int x = 0; x < 350; ++x) {
      const uint8_t index = f[base + x];
      ASSERT_LT(index, 32) << x << "," << y;
      ASSERT_EQ(index, mapbmp::ShadeAt(x, y)) << x << "," << y;
      const size_t p = 54 + 4u * index;
      const mapbmp::Rgb c{f[p + 2], f[p + 1], f[p]};
      ASSERT_EQ(f[p + 3], 0);
      ASSERT_TRUE(IsMapColour(c)) << x << "," << y;
      ++colours[(uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b];
    }
  }
  EXPECT_EQ(colours.size(), 32u);
  // The stored first row is the picture's bottom row: its ends are corners.
  EXPECT_EQ(f[pixelOffset], 0);
  EXPECT_EQ(f[pixelOffset + 349], 0);
  const size_t p0 = 54;  // palette entry 0: pure blue
  EXPECT_EQ(f[p0], 255);
  EXPECT_EQ(f[p0 + 1], 0);
  EXPECT_EQ(f[p0 + 2], 0);
}

// ---- Icons ---------------------------------------------------------------------------------

struct IconCase {
  int group;
  icons::Icon (*make)();
};

class IconFile : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconFile, DirectoryAndBitmapHeaders) {
  const std::vector<uint8_t> f = icons::EncodeIco(GetParam().make());
  const uint32_t image = 40 + 16 * 4 + 32 * 16 + 32 * 4;
  ASSERT_EQ(f.size(), 6u + 16u + image);
  EXPECT_EQ(Le16(f, 0), 0u);
  EXPECT_EQ(Le16(f, 2), 1u) << "icon";
  EXPECT_EQ(Le16(f, 4), 1u) << "one image";
  EXPECT_EQ(f[6], 32);
  EXPECT_EQ(f[7], 32);
  EXPECT_EQ(f[8], 16) << "colours";
  EXPECT_EQ(f[9], 0);
  EXPECT_EQ(Le16(f, 10), 1u);
  EXPECT_EQ(Le16(f, 12), 4u);
  EXPECT_EQ(Le32(f, 14), image);
  EXPECT_EQ(Le32(f, 18), 22u);
  EXPECT_EQ(Le32(f, 22), 40u);
  EXPECT_EQ(Le32(f, 26), 32u);
  EXPECT_EQ(Le32(f, 30), 64u) << "colour rows and mask rows";
  EXPECT_EQ(Le16(f, 34), 1u);
  EXPECT_EQ(Le16(f, 36), 4u);
  EXPECT_EQ(Le32(f, 38), 0u);
  EXPECT_EQ(Le32(f, 42), 32u * 16 + 32u * 4);
  // The palette: the 16 standard colours, blue-green-red-zero.
  const uint8_t standard[16][3] = {
      {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
      {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
      {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
  };
  for (int i = 0; i < 16; ++i) {
    const size_t p = 62 + 4u * i;
    EXPECT_EQ(f[p + 2], standard[i][0]) << i;
    EXPECT_EQ(f[p + 1], standard[i][1]) << i;
    EXPECT_EQ(f[p], standard[i][2]) << i;
    EXPECT_EQ(f[p + 3], 0) << i;
  }
}

TEST_P(IconFile, PixelsAndMaskDecodeToThePicture) {
  const icons::Icon icon = GetParam().make();
  const std::vector<uint8_t> f = icons::EncodeIco(icon);
  const size_t xorAt = 22 + 40 + 64, andAt = xorAt + 32 * 16;
  std::set<int> used;
  int opaque = 0;
  for (int y = 0; y < 32; ++y) {
    const int row = 31 - y;  // bottom-up
    for (int x = 0; x < 32; ++x) {
      const uint8_t byte = f[xorAt + row * 16 + x / 2];
      const int index = (x % 2 == 0) ? byte >> 4 : byte & 0x0F;
      const bool clear = (f[andAt + row * 4 + x / 8] >> (7 - x % 8)) & 1;
      ASSERT_EQ(clear, icon.clear[y][x]) << x << "," << y;
      if (clear) {
        ASSERT_EQ(index, 0) << "a see-through pixel must be black: " << x << "," << y;
      } else {
        ASSERT_EQ(index, icon.index[y][x]) << x << "," << y;
        used.insert(index);
        ++opaque;
      }
    }
  }
  EXPECT_TRUE(icon.clear[0][0]) << "the corners show the desktop";
  EXPECT_FALSE(icon.clear[16][16]);
  EXPECT_GE(opaque, 32 * 32 * 3 / 4);
  EXPECT_GE(used.size(), 5u) << "a picture, not a blot";
}

INSTANTIATE_TEST_SUITE_P(Groups, IconFile,
                         ::testing::Values(IconCase{980, &icons::MakeMixIcon},
                                           IconCase{981, &icons::MakeLoopIcon}),
                         [](const ::testing::TestParamInfo<IconCase>& p) {
                           return "Icon" + std::to_string(p.param.group);
                         });

TEST(Icons, TheTwoPicturesDiffer) {
  EXPECT_NE(icons::EncodeIco(icons::MakeMixIcon()), icons::EncodeIco(icons::MakeLoopIcon()));
}

}  // namespace
