// Conversion: the rounding of the quotients, which input frames the float source position picks
// and the fast path against its reference twin. (The render goldens pin each kind's bytes.)
#include <cmath>

#include "engine/wave_convert.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

WaveFormat Format(uint16_t channels, uint16_t bits, uint32_t rate) {
  return {1, channels, rate, 0, 0, bits};  // PCM
}

Bytes Convert(const WaveFormat& f, const Bytes& data, int32_t outputRate, bool reference = false) {
  const ConversionPlan plan = PlanConversion(f, static_cast<uint32_t>(data.size()), outputRate);
  Bytes out(static_cast<size_t>(plan.lengthBytes), 0);
  (reference ? ConvertWaveReference : ConvertWave)(
      plan, data.data(), static_cast<uint32_t>(data.size()), out.data(), out.size());
  return out;
}

TEST(Quotients, RoundOnceToNearestFloatAndTruncateTheExactProduct) {
  EXPECT_EQ(FloatQuotient(8000, 11025), static_cast<float>(8000.0 / 11025.0));
  EXPECT_EQ(FloatQuotient(4294967295u, 11025), 0x1.7c6f8cp+18f);
  EXPECT_EQ(FloatQuotient(16777217, 1), 16777216.0f);  // tie: to the even mantissa
  EXPECT_EQ(FloatQuotient(16777219, 1), 16777220.0f);
  const float ratio = FloatQuotient(22050, 22051);
  // The exact product is 4286064595.99999994...; a double product rounds it up.
  EXPECT_EQ(TruncatedProduct(4286259017u, ratio), 4286064595u);
  EXPECT_EQ(TruncatedProduct(0xFFFFFFFFu, 44100.0f), 0xFFFFFFFFull * 44100u);
}

// Which input samples the output frames come from. Input sample k holds k (16-bit) or k (8-bit).
TEST(ConvertFrames, TheFloatSourcePositionPicksTheseInputSamples) {
  const struct {
    uint16_t channels, bits;
    uint32_t rate;
    int32_t outputRate;
    std::vector<int> picked;
  } cases[] = {
      {2, 16, 11025, 22050, {0, 0, 1, 1, 2, 2}},
      {2, 16, 44100, 11025, {0, 4, 8, 12}},
      {2, 16, 8000, 11025, {0, 0, 1, 1, 2, 2, 4, 4, 5, 5, 7, 7}},
      {1, 16, 11025, 11025, {0, 0, 2, 2, 4, 4}},
      {1, 16, 11025, 22050, {0, 0, 0, 0, 2, 2, 2, 2}},
      {1, 8, 11025, 11025, {0, 0, 2, 2, 4, 4}},
  };
  for (const auto& c : cases) {
    Bytes data;
    for (int i = 0; i < 400 * c.channels; ++i) {
      if (c.bits == 8) data.push_back(static_cast<uint8_t>(i / c.channels + 128));
      if (c.bits == 16) PutLe16(data, static_cast<uint32_t>(i / c.channels));
    }
    const Bytes out = Convert(Format(c.channels, c.bits, c.rate), data, c.outputRate);
    std::vector<int> picked;
    for (size_t i = 0; i < c.picked.size(); ++i) {
      picked.push_back(c.bits == 8 ? out[i * 4] : out[i * 4] * 256 + out[i * 4 + 1]);
    }
    EXPECT_EQ(picked, c.picked) << c.channels << "x" << c.bits << " " << c.rate;
  }
}

// The same-rate 16-bit stereo fast path gives the bytes of the plain loop, for every size.
TEST(ConvertFastPath, AgreesWithTheReferenceLoop) {
  EXPECT_TRUE(UsesSameRateFastPath(PlanConversion(Format(2, 16, 22050), 400, 22050)));
  EXPECT_FALSE(UsesSameRateFastPath(PlanConversion(Format(1, 16, 22050), 400, 22050)));
  EXPECT_FALSE(UsesSameRateFastPath(PlanConversion(Format(2, 16, 22051), 400, 22050)));
  for (uint32_t size : {0u, 1u, 3u, 4u, 5u, 63u, 64u, 65u, 1001u, 4096u, 65539u}) {
    const Bytes data = Pattern(size, size);
    EXPECT_EQ(Convert(Format(2, 16, 44100), data, 44100),
              Convert(Format(2, 16, 44100), data, 44100, true))
        << size;
  }
}

}  // namespace
}  // namespace mixorama::test
