// Conversion into the engine's frame format: rounding of the rate quotients, the exact raw
// length, the frames each input kind gives, the frame sequences of the float source
// position, the wide source position of large waves and the same-rate fast path.
#include "engine/wave_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "unit/wave_test_util.h"

namespace mixorama {
namespace {

using wavetest::Bytes;

WaveFormat Format(uint16_t channels, uint16_t bits, uint32_t rate) {
  WaveFormat f;
  f.formatTag = 1;
  f.channels = channels;
  f.bitsPerSample = bits;
  f.sampleRate = rate;
  return f;
}

// Converts data as the loader does and returns the sample data (lengthBytes of the plan).
Bytes Convert(const WaveFormat& format, const Bytes& data, int32_t outputRate,
              bool reference = false) {
  const ConversionPlan plan =
      PlanConversion(format, static_cast<uint32_t>(data.size()), outputRate);
  Bytes out(static_cast<size_t>(plan.lengthBytes), 0);
  if (reference) {
    ConvertWaveReference(plan, data.data(), static_cast<uint32_t>(data.size()), out.data(),
                         out.size());
  } else {
    ConvertWave(plan, data.data(), static_cast<uint32_t>(data.size()), out.data(), out.size());
  }
  return out;
}

// Value of the left (or right) sample of output frame i, stored high byte first.
int32_t Sample(const Bytes& out, size_t frame, int side) {
  const uint8_t* p = out.data() + frame * 4 + side * 2;
  return static_cast<int8_t>(p[0]) * 256 + p[1];
}

// The input frame numbers of a StereoFrameRamp that the first count output frames came from.
std::vector<int32_t> SourceFrames(const Bytes& out, size_t count) {
  std::vector<int32_t> v;
  for (size_t i = 0; i < count && i * 4 < out.size(); ++i) v.push_back(Sample(out, i, 0) & 0xFFFF);
  return v;
}

// ---- Rate quotients and the raw length ---------------------------------------------------

TEST(FloatQuotient, MatchesIeeeDivisionWhereBothOperandsAreExactFloats) {
  const uint32_t rates[] = {1,     2,     3,     7,      4000,  5512,     7350,    8000,
                            11025, 16000, 22050, 32000,  37800, 44056,    44100,   47999,
                            48000, 88200, 96000, 192000, 65535, 1u << 23, 16777215};
  for (uint32_t a : rates) {
    for (uint32_t b : rates) {
      const float expected = static_cast<float>(a) / static_cast<float>(b);
      EXPECT_EQ(FloatQuotient(a, b), expected) << a << " / " << b;
    }
  }
}

TEST(FloatQuotient, RoundsLargeOperandsOnceToNearestEven) {
  // Values worked out in exact rational arithmetic.
  EXPECT_EQ(FloatQuotient(4294967295u, 11025), 0x1.7c6f8cp+18f);
  EXPECT_EQ(FloatQuotient(11025, 4294967295u), 0x1.5888p-19f);
  EXPECT_EQ(FloatQuotient(16777217, 1), 16777216.0f);  // tie: to the even mantissa below
  EXPECT_EQ(FloatQuotient(16777219, 1), 16777220.0f);  // tie: to the even mantissa above
  EXPECT_EQ(FloatQuotient(33554435, 2), 16777218.0f);  // 16777217.5: nearest, not a tie
  EXPECT_EQ(FloatQuotient(4294967295u, 1), 4294967296.0f);
  EXPECT_EQ(FloatQuotient(0, 44100), 0.0f);
}

TEST(TruncatedProduct, IsExactWhereADoubleProductRoundsUp) {
  const float ratio = FloatQuotient(22050, 22051);
  ASSERT_EQ(ratio, 0x1.fffa0ep-1f);
  // The exact product is 4286064595.99999994...; a double product rounds it to ...596.
  EXPECT_EQ(std::floor(static_cast<double>(4286259017u) * ratio), 4286064596.0);
  EXPECT_EQ(TruncatedProduct(4286259017u, ratio), 4286064595u);
}

TEST(TruncatedProduct, TruncatesTowardZero) {
  EXPECT_EQ(TruncatedProduct(4004, 0.25f), 1001u);
  EXPECT_EQ(TruncatedProduct(4007, 0.25f), 1001u);
  EXPECT_EQ(TruncatedProduct(3, 0.25f), 0u);
  EXPECT_EQ(TruncatedProduct(0xFFFFFFFFu, 44100.0f), 0xFFFFFFFFull * 44100u);
  EXPECT_EQ(TruncatedProduct(12345, 0.0f), 0u);
  EXPECT_EQ(TruncatedProduct(0, 3.5f), 0u);
  const float third = FloatQuotient(1, 3);  // 0.3333333432674407958984375
  EXPECT_EQ(TruncatedProduct(3, third), 1u);
  EXPECT_EQ(TruncatedProduct(3000000, third), 1000000u);  // 1000000.0298...
  EXPECT_EQ(TruncatedProduct(2999999, third), 999999u);   // 999999.6964...
}

struct PlanCase {
  uint16_t channels;
  uint16_t bits;
  uint32_t rate;
  uint32_t dataSize;
  int32_t outputRate;
  uint64_t lengthBytes;
  float step;
  uint32_t inputFrameBytes;
};

class PlanTable : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanTable, LengthStepAndFrameSize) {
  const PlanCase& c = GetParam();
  const ConversionPlan p =
      PlanConversion(Format(c.channels, c.bits, c.rate), c.dataSize, c.outputRate);
  EXPECT_EQ(p.lengthBytes, c.lengthBytes);
  EXPECT_EQ(p.lengthBytes % 4, 0u);
  EXPECT_EQ(p.step, c.step);
  EXPECT_EQ(p.inputFrameBytes, c.inputFrameBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Waves, PlanTable,
    ::testing::Values(PlanCase{2, 16, 22050, 88200, 44100, 176400, 0.5f, 4},  // 44100 frames
                      PlanCase{1, 8, 11025, 11025, 11025, 44100, 0.5f, 1},    // 11025 frames
                      PlanCase{2, 16, 44100, 4004, 11025, 1000, 4.0f, 4},     // raw 1001
                      PlanCase{2, 8, 11025, 1001, 11025, 2000, 1.0f, 2},      // raw 2002
                      PlanCase{1, 16, 11025, 1001, 11025, 2000, 0.5f, 2},     // raw 2002
                      PlanCase{1, 8, 44100, 3, 11025, 0, 2.0f, 1},  // raw 0: nothing to play
                      // Any channel count but 1 is stereo; any bit depth but 8 is 16-bit.
                      PlanCase{0, 0, 11025, 4000, 11025, 4000, 1.0f, 4},
                      PlanCase{6, 24, 11025, 4000, 11025, 4000, 1.0f, 4},
                      // A 1 Hz wave at 44100: ratio 44100, step 1/44100 halved for mono.
                      PlanCase{1, 8, 1, 1000, 44100, 176400000ull, 1.0f / 44100.0f / 2.0f, 1}));

TEST(Plan, WideSourcePositionFromTwoToThe24JumpUnits) {
  const uint32_t sixteen = 1u << 26;  // 64 MiB
  const uint32_t eight = 1u << 25;    // 32 MiB
  EXPECT_FALSE(PlanConversion(Format(2, 16, 44100), sixteen - 1, 11025).wideSourcePosition);
  EXPECT_TRUE(PlanConversion(Format(2, 16, 44100), sixteen, 11025).wideSourcePosition);
  EXPECT_TRUE(PlanConversion(Format(1, 16, 8000), sixteen, 11025).wideSourcePosition);
  EXPECT_FALSE(PlanConversion(Format(2, 8, 44100), eight - 1, 11025).wideSourcePosition);
  EXPECT_TRUE(PlanConversion(Format(1, 8, 44100), eight, 11025).wideSourcePosition);
}

// ---- Frames from each input kind ----------------------------------------------------------

TEST(ConvertFrames, EightBitSamplesBecomeSignedHighBytes) {
  // Mono at the output rate: samples 0, 0, 2, 2 -> the bytes 0x80, 0x80, 0x00, 0x00.
  const Bytes mono = Convert(Format(1, 8, 11025), {0x80, 0xFF, 0x00, 0x7F}, 11025);
  ASSERT_EQ(mono.size(), 16u);
  EXPECT_EQ(mono, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0x80, 0, 0x80, 0, 0x80, 0}));
  const Bytes loud = Convert(Format(1, 8, 11025), {0xFF, 0x00}, 11025);
  EXPECT_EQ(loud, (Bytes{0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0}));

  const Bytes stereo = Convert(Format(2, 8, 11025), {0xFF, 0x00, 0x80, 0x81}, 11025);
  EXPECT_EQ(stereo, (Bytes{0x7F, 0, 0x80, 0, 0x00, 0, 0x01, 0}));
}

TEST(ConvertFrames, SixteenBitSamplesKeepTheirValueHighByteFirst) {
  const Bytes stereo = Convert(Format(2, 16, 11025), {0x34, 0x12, 0xCD, 0xAB}, 11025);
  EXPECT_EQ(stereo, (Bytes{0x12, 0x34, 0xAB, 0xCD}));
  const Bytes stereoRef = Convert(Format(2, 16, 11025), {0x34, 0x12, 0xCD, 0xAB}, 11025, true);
  EXPECT_EQ(stereoRef, stereo);
  // Mono: each sample on both sides.
  const Bytes mono = Convert(Format(1, 16, 11025), {0x34, 0x12, 0xCD, 0xAB}, 11025);
  EXPECT_EQ(mono, (Bytes{0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x34}));
}

// ---- Which input frames come out --------------------------------------------------------

struct SequenceCase {
  const char* name;
  uint32_t rate;
  int32_t outputRate;
  std::vector<int32_t> frames;
};

class StereoSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(StereoSequence, InputFramesInOrder) {
  const SequenceCase& c = GetParam();
  const Bytes out = Convert(Format(2, 16, c.rate), wavetest::StereoFrameRamp(400), c.outputRate);
  EXPECT_EQ(SourceFrames(out, c.frames.size()), c.frames);
  // The right side always comes from the same input frame as the left.
  for (size_t i = 0; i < c.frames.size(); ++i) {
    EXPECT_EQ(Sample(out, i, 1) & 0xFFFF, ~c.frames[i] & 0xFFFF) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rates, StereoSequence,
    ::testing::Values(SequenceCase{"HalfRate", 11025, 22050, {0, 0, 1, 1, 2, 2, 3, 3}},
                      SequenceCase{"SameRate", 22050, 22050, {0, 1, 2, 3, 4, 5}},
                      SequenceCase{"DoubleRate", 44100, 22050, {0, 2, 4, 6, 8}},
                      SequenceCase{"QuadrupleRate", 44100, 11025, {0, 4, 8, 12, 16}},
                      SequenceCase{
                          "From8000To11025", 8000, 11025, {0, 0, 1, 1, 2, 2, 4, 4, 5, 5, 7, 7}}),
    [](const ::testing::TestParamInfo<SequenceCase>& p) { return p.param.name; });

TEST(ConvertFrames, MonoMovesEveryOtherFrameByTwoSamples) {
  Bytes ramp;
  for (uint32_t i = 0; i < 64; ++i) wavetest::PutLe16(ramp, i);
  const Bytes same = Convert(Format(1, 16, 22050), ramp, 22050);
  EXPECT_EQ(SourceFrames(same, 8), (std::vector<int32_t>{0, 0, 2, 2, 4, 4, 6, 6}));
  const Bytes half = Convert(Format(1, 16, 11025), ramp, 22050);
  EXPECT_EQ(SourceFrames(half, 8), (std::vector<int32_t>{0, 0, 0, 0, 2, 2, 2, 2}));
  // 8-bit mono behaves alike: the jump unit is 2 bytes, two samples.
  const Bytes eight = Convert(Format(1, 8, 11025), wavetest::ByteRamp(32), 11025);
  std::vector<int32_t> highBytes;
  for (size_t i = 0; i < 6; ++i) highBytes.push_back(eight[i * 4] ^ 0x80);
  EXPECT_EQ(highBytes, (std::vector<int32_t>{0, 0, 2, 2, 4, 4}));
}

TEST(ConvertFrames, QuarterRateTakesEveryFourthFrameAndDropsTheRest) {
  // 4004 bytes of 16-bit stereo at 44100 into 11025: 250 frames from input frames 0, 4, 8...
  const Bytes out = Convert(Format(2, 16, 44100), wavetest::StereoFrameRamp(1001), 11025);
  ASSERT_EQ(out.size(), 1000u);
  for (size_t i = 0; i < 250; ++i) ASSERT_EQ(Sample(out, i, 0), static_cast<int32_t>(4 * i));
}

TEST(ConvertFrames, FramesTheRawDataDoesNotReachStaySilent) {
  // An odd data size: the last partial input frame is never read. 8-bit stereo, 5 bytes:
  // raw length 10, length 8, two frames from input frames 0 and 1; byte 4 is dropped.
  const Bytes out = Convert(Format(2, 8, 11025), {0x90, 0x70, 0xA0, 0x60, 0xFF}, 11025);
  EXPECT_EQ(out, (Bytes{0x10, 0, 0xF0, 0, 0x20, 0, 0xE0, 0}));
  // 16-bit stereo, 2 frames and half of one, at twice the rate: length 5 frames, but the
  // source runs out after 4; the fifth frame stays zero.
  const Bytes up = Convert(Format(2, 16, 22050), {2, 1, 4, 3, 6, 5, 8, 7, 9, 10}, 44100);
  EXPECT_EQ(up, (Bytes{1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 5, 6, 7, 8, 0, 0, 0, 0}));
}

// ---- The same-rate fast path against the reference loop -----------------------------------

TEST(ConvertFastPath, AgreesWithTheReferenceLoopOnRampsOfEverySize) {
  for (size_t size : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 63u, 64u, 65u, 1023u, 4096u, 65539u}) {
    Bytes ramp = wavetest::ByteRamp(size);
    for (size_t i = 0; i < size; ++i) ramp[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    const ConversionPlan plan =
        PlanConversion(Format(2, 16, 44100), static_cast<uint32_t>(size), 44100);
    ASSERT_TRUE(UsesSameRateFastPath(plan));
    // Also when the output is shorter than the raw data would fill.
    for (uint64_t length : {plan.lengthBytes, plan.lengthBytes / 2 & ~uint64_t{3}}) {
      Bytes fast(length, 0);
      Bytes ref(length, 0);
      const uint64_t wf =
          ConvertWave(plan, ramp.data(), static_cast<uint32_t>(size), fast.data(), length);
      const uint64_t wr =
          ConvertWaveReference(plan, ramp.data(), static_cast<uint32_t>(size), ref.data(), length);
      EXPECT_EQ(wf, wr) << size;
      EXPECT_EQ(fast, ref) << size;
    }
  }
}

TEST(ConvertFastPath, TakenOnlyForSameRateSixteenBitStereo) {
  EXPECT_TRUE(UsesSameRateFastPath(PlanConversion(Format(2, 16, 22050), 100, 22050)));
  EXPECT_FALSE(UsesSameRateFastPath(PlanConversion(Format(2, 16, 22050), 100, 44100)));
  EXPECT_FALSE(UsesSameRateFastPath(PlanConversion(Format(1, 16, 22050), 100, 22050)));
  EXPECT_FALSE(UsesSameRateFastPath(PlanConversion(Format(2, 8, 22050), 100, 22050)));
}

// ---- Waves too large for a float source position -----------------------------------------

// 8-bit stereo at the output rate jumps 2 bytes per frame; a float position would stop at
// 2^25, where its spacing is 4. Every output frame must still come from its own input frame.
TEST(ConvertLargeWave, EightBitStereoBeyond32MiBKeepsAdvancing) {
  const uint32_t dataSize = (1u << 25) + 4096;
  Bytes data(dataSize);
  for (uint32_t i = 0; i < dataSize; i += 2) {
    const uint32_t frame = i / 2;
    data[i] = static_cast<uint8_t>(frame);
    data[i + 1] = static_cast<uint8_t>(frame >> 8);
  }
  const ConversionPlan plan = PlanConversion(Format(2, 8, 11025), dataSize, 11025);
  ASSERT_TRUE(plan.wideSourcePosition);
  Bytes out(plan.lengthBytes, 0);
  ASSERT_EQ(ConvertWave(plan, data.data(), dataSize, out.data(), out.size()), out.size());
  const uint32_t frames = dataSize / 2;
  for (uint32_t f : {0u, 1u, (1u << 24) - 1, 1u << 24, (1u << 24) + 1, frames - 1}) {
    EXPECT_EQ(out[f * 4] ^ 0x80, f & 0xFF) << f;
    EXPECT_EQ(out[f * 4 + 2] ^ 0x80, (f >> 8) & 0xFF) << f;
  }
}

// 16-bit stereo of 64 MiB and more at four times the output rate: the source must reach the
// end of the raw data, so the duration and pitch hold.
TEST(ConvertLargeWave, SixteenBitBeyond64MiBReachesTheEnd) {
  const uint32_t frames = (1u << 24) + 1000;
  const uint32_t dataSize = frames * 4;
  Bytes data(dataSize);
  for (uint32_t f = 0; f < frames; ++f) {
    data[f * 4] = static_cast<uint8_t>(f);
    data[f * 4 + 1] = static_cast<uint8_t>(f >> 8);
    data[f * 4 + 2] = static_cast<uint8_t>(f >> 16);
    data[f * 4 + 3] = static_cast<uint8_t>(f >> 24);
  }
  const ConversionPlan plan = PlanConversion(Format(2, 16, 44100), dataSize, 11025);
  ASSERT_TRUE(plan.wideSourcePosition);
  ASSERT_EQ(plan.lengthBytes, static_cast<uint64_t>(dataSize) / 4);
  Bytes out(plan.lengthBytes, 0);
  ConvertWave(plan, data.data(), dataSize, out.data(), out.size());
  const uint32_t outFrames = static_cast<uint32_t>(out.size() / 4);
  for (uint32_t i : {0u, 1u, outFrames / 2, outFrames - 2, outFrames - 1}) {
    const uint32_t source = 4 * i;
    const uint32_t got = static_cast<uint32_t>(out[i * 4 + 1] | (out[i * 4] << 8)) |
                         (static_cast<uint32_t>(out[i * 4 + 3] | (out[i * 4 + 2] << 8)) << 16);
    EXPECT_EQ(got, source) << i;
  }
}

}  // namespace
}  // namespace mixorama
