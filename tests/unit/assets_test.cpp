// The generated map bitmap and icons, decoded independently of the generators.
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

TEST(MapBitmap, FileHeadersPaletteAndRows) {
  const std::vector<uint8_t> f = mapbmp::EncodeMapBmp();
  const uint32_t rowBytes = 352;  // 350 padded to a multiple of 4
  const uint32_t pixelOffset = 14 + 40 + 32 * 4;
  ASSERT_EQ(f.size(), pixelOffset + rowBytes * 350);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Le32(f, 2), f.size());
  EXPECT_EQ(Le32(f, 10), pixelOffset);
  EXPECT_EQ(Le32(f, 22), 350u) << "positive: rows stored bottom-up";
  EXPECT_EQ(Le16(f, 28), 8u);
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
  EXPECT_EQ(colours.size(), 32u) << "exactly the 31 blues and white";
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
  EXPECT_EQ(Le32(f, 18), 22u) << "image offset";
  EXPECT_EQ(Le32(f, 30), 64u) << "colour rows and mask rows";
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
