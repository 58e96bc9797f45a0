// The mixer tick and the mixing of one frame: wraps (wave end, ring end, 32-bit position),
// the volume ramp, the peak level and gain divisor, the two mended output faults (saturation,
// silent empty frames), the tick guard and flags, the failed position query, the deferred menu
// step, and the same performance mixed in one piece and in many small ticks.
#include "engine/mixer_tick.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/output.h"
#include "engine/virtual_device.h"
#include "tests/unit/fake_device.h"
#include "tests/unit/recording_ui.h"

namespace mixorama {
namespace {

using Log = std::vector<std::string>;

struct StereoSample {
  int16_t left;
  int16_t right;
};

// Puts frames into channel c the way a load leaves them: sample memory from the table's
// allocator, high byte first, read position 0, active last.
void InstallChannel(Mixer& m, int c, const std::vector<StereoSample>& frames, int32_t volume) {
  auto* block = static_cast<uint8_t*>(m.allocator.allocZeroed(frames.size() * 4));
  ASSERT_NE(block, nullptr);
  for (size_t i = 0; i < frames.size(); ++i) {
    const auto l = static_cast<uint16_t>(frames[i].left);
    const auto r = static_cast<uint16_t>(frames[i].right);
    block[4 * i + 0] = static_cast<uint8_t>(l >> 8);
    block[4 * i + 1] = static_cast<uint8_t>(l & 0xFF);
    block[4 * i + 2] = static_cast<uint8_t>(r >> 8);
    block[4 * i + 3] = static_cast<uint8_t>(r & 0xFF);
  }
  std::lock_guard<std::mutex> hold(m.lock);
  m.allocator.release(m.sampleMemory[c]);
  m.sampleMemory[c] = block;
  m.sampleData[c] = block;
  m.lengthBytes[c] = static_cast<int32_t>(frames.size() * 4);
  m.readPosBytes[c] = 0;
  m.volume[c] = volume;
  m.targetVolume[c] = volume;
  m.active[c] = 1;
}

// Frames i + 1 on the left and -(i + 1) on the right, so every frame tells where it came from.
std::vector<StereoSample> Ramp(int frames, int start = 1) {
  std::vector<StereoSample> v;
  for (int i = 0; i < frames; ++i) {
    v.push_back({static_cast<int16_t>(start + i), static_cast<int16_t>(-(start + i))});
  }
  return v;
}

std::vector<StereoSample> Both(std::initializer_list<int16_t> values) {
  std::vector<StereoSample> v;
  for (int16_t s : values) v.push_back({s, s});
  return v;
}

// The ring's frame at a byte offset, read as 16-bit little-endian samples.
StereoSample RingFrame(const Mixer& m, uint32_t offsetBytes) {
  const uint8_t* p = m.outputRing + offsetBytes;
  return {static_cast<int16_t>(p[0] | (p[1] << 8)), static_cast<int16_t>(p[2] | (p[3] << 8))};
}

std::vector<uint8_t> RingBytes(const Mixer& m, uint32_t offsetBytes) {
  return std::vector<uint8_t>(m.outputRing + offsetBytes, m.outputRing + offsetBytes + 4);
}

// ---- Mixing one frame -----------------------------------------------------------------------

class MixFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.outputRing = static_cast<uint8_t*>(m.allocator.allocZeroed(m.ringSizeBytes));
    ASSERT_NE(m.outputRing, nullptr);
  }
  // Mixes one frame and returns what it wrote.
  StereoSample Mix() {
    const uint32_t at = m.writeIndexBytes;
    MixOneFrame(m);
    return RingFrame(m, at);
  }
  Mixer m;
};

TEST_F(MixFrameTest, OneChannelAtUnityWithDivisorOneReproducesTheStoredSamples) {
  InstallChannel(m, 0, Ramp(64), kUnityVolume);
  for (int i = 0; i < 64; ++i) {
    const StereoSample out = Mix();
    ASSERT_EQ(out.left, i + 1) << "frame " << i;
    ASSERT_EQ(out.right, -(i + 1)) << "frame " << i;
    ASSERT_EQ(m.peakLevel / 32000, 1);
  }
}

TEST_F(MixFrameTest, ChannelOnOtherIndexIsMixedTheSame) {
  InstallChannel(m, 7, Ramp(3, 500), kUnityVolume);
  EXPECT_EQ(Mix().left, 500);
  EXPECT_EQ(Mix().right, -501);
}

TEST_F(MixFrameTest, WaveWrapsAtItsEndWithinTheSameStep) {
  InstallChannel(m, 0, Ramp(3), kUnityVolume);
  const int expectLeft[] = {1, 2, 3, 1, 2, 3, 1};
  const int32_t expectPos[] = {4, 8, 0, 4, 8, 0, 4};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Mix().left, expectLeft[i]) << "frame " << i;
    EXPECT_EQ(m.readPosBytes[0], expectPos[i]) << "frame " << i;
  }
}

TEST_F(MixFrameTest, OneFrameWaveRepeatsItsFrame) {
  InstallChannel(m, 2, Both({321}), kUnityVolume);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Mix().left, 321);
    EXPECT_EQ(m.readPosBytes[2], 0);
  }
}

TEST_F(MixFrameTest, WriteIndexWrapsAtTheRingEnd) {
  InstallChannel(m, 0, Ramp(8), kUnityVolume);
  m.writeIndexBytes = m.ringSizeBytes - 8;
  MixOneFrame(m);
  MixOneFrame(m);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  MixOneFrame(m);
  EXPECT_EQ(m.writeIndexBytes, 4u);
  EXPECT_EQ(RingFrame(m, m.ringSizeBytes - 8).left, 1);
  EXPECT_EQ(RingFrame(m, m.ringSizeBytes - 4).left, 2);
  EXPECT_EQ(RingFrame(m, 0).left, 3);
  EXPECT_EQ(RingFrame(m, 4).left, 0);  // untouched
}

struct RampCase {
  int32_t from;
  int32_t to;
};

class VolumeRampTest : public MixFrameTest, public ::testing::WithParamInterface<RampCase> {};

// Samples of 0 (value -32768) with the divisor held at 1: a frame mixed at volume v comes
// out as 32768 - v * 32768 / 350.
TEST_P(VolumeRampTest, KUnitsTakeKFramesAndEachFrameUsesTheVolumeBeforeItsStep) {
  const RampCase c = GetParam();
  InstallChannel(m, 0, Both({0}), c.from);
  m.targetVolume[0] = c.to;
  m.peakLevel = 32768;
  const int32_t k = c.to > c.from ? c.to - c.from : c.from - c.to;
  const int32_t step = c.to > c.from ? 1 : -1;
  int32_t v = c.from;
  for (int32_t i = 0; i < k + 3; ++i) {
    const StereoSample out = Mix();
    ASSERT_EQ(out.left, static_cast<int16_t>(32768 - v * 32768 / 350)) << "frame " << i;
    if (i < k) v += step;
    ASSERT_EQ(m.volume[0], v) << "after frame " << i;
  }
  EXPECT_EQ(m.volume[0], c.to);
}

INSTANTIATE_TEST_SUITE_P(UpDownAndFlat, VolumeRampTest,
                         ::testing::Values(RampCase{10, 13}, RampCase{20, 17}, RampCase{5, 5},
                                           RampCase{1, 350}, RampCase{350, 1}));

TEST_F(MixFrameTest, EachProductIsTruncatedOnItsOwnBeforeItIsAdded) {
  // Two channels at volume 1 with value -349 each: -349 / 350 truncates to 0 twice, where a
  // sum divided once would give -1. The peak is held so that the divisor is 1.
  InstallChannel(m, 0, Both({32768 - 349}), 1);
  InstallChannel(m, 1, Both({32768 - 349}), 1);
  m.peakLevel = 32000;
  const StereoSample out = Mix();
  EXPECT_EQ(out.left, 32767);  // 0 + 32768, saturated
  EXPECT_EQ(m.peakLevel, 32000);
}

class ChannelCountTest : public MixFrameTest, public ::testing::WithParamInterface<int> {};

// n channels at unity with quiet material: the divisor settles at n and the output is the
// average of the n samples (truncated toward zero before the offset is added back).
TEST_P(ChannelCountTest, DivisorFollowsTheSumOfOffsetsAndGivesTheAverage) {
  const int n = GetParam();
  int32_t sum = 0;
  for (int c = 0; c < n; ++c) {
    InstallChannel(m, c, Both({static_cast<int16_t>(c + 1)}), kUnityVolume);
    sum += c + 1;
  }
  const StereoSample out = Mix();
  const int32_t mixed = sum - 32768 * n;
  EXPECT_EQ(m.peakLevel, -mixed);
  EXPECT_EQ(m.peakLevel / 32000, n);
  EXPECT_EQ(out.left, mixed / n + 32768);
  EXPECT_EQ(out.right, mixed / n + 32768);
}

INSTANTIATE_TEST_SUITE_P(OneToEight, ChannelCountTest, ::testing::Range(1, 9));

struct DivisorCase {
  int32_t peakBefore;
  int16_t expectLeft;
};

class DivisorTest : public MixFrameTest, public ::testing::WithParamInterface<DivisorCase> {};

TEST_P(DivisorTest, DivisorIsThePeakOver32000Truncated) {
  // Value -768 at unity: below every preset peak, so the peak stays where it was.
  InstallChannel(m, 0, Both({32000}), kUnityVolume);
  m.peakLevel = GetParam().peakBefore;
  EXPECT_EQ(Mix().left, GetParam().expectLeft);
  EXPECT_EQ(m.peakLevel, GetParam().peakBefore);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, DivisorTest,
                         ::testing::Values(DivisorCase{31999, 0},  // divisor 0: zeros
                                           DivisorCase{32000, 32000}, DivisorCase{63999, 32000},
                                           DivisorCase{64000, 32384},    // -768 / 2 + 32768
                                           DivisorCase{96000, 32512}));  // -768 / 3 + 32768

TEST_F(MixFrameTest, AfterSyncOutputIsSilentUntilASumReaches32000) {
  InstallChannel(m, 0, Both({10000, 5000, 769, 768, 769, -5}), kUnityVolume);
  const int16_t expect[] = {0, 0, 0, 768, 769, -5};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Mix().left, expect[i]) << "frame " << i;
}

TEST_F(MixFrameTest, ChannelAtVolumeOneNeverLeavesSilence) {
  InstallChannel(m, 0, Both({-32768, 0, 32767, -1}), 1);
  for (int i = 0; i < 400; ++i) {
    MixOneFrame(m);
    ASSERT_EQ(RingBytes(m, m.writeIndexBytes == 0 ? m.ringSizeBytes - 4 : m.writeIndexBytes - 4),
              (std::vector<uint8_t>{0, 0, 0, 0}));
  }
  EXPECT_EQ(m.peakLevel, 65536 / 350);
}

TEST_F(MixFrameTest, FullScaleNegativeSampleMakesDivisorTwoUntilSync) {
  InstallChannel(m, 0, Both({100, -32768, 1000, 32767, 100}), kUnityVolume);
  EXPECT_EQ(Mix().left, 100);  // divisor 1
  EXPECT_EQ(Mix().left, 0);    // partial sum -65536: divisor 2 from here on
  EXPECT_EQ(m.peakLevel, 65536);
  EXPECT_EQ(Mix().left, (1000 - 32768) / 2 + 32768);
  EXPECT_EQ(Mix().left, 32767);  // (32767 - 32768) / 2 + 32768 = 32768: saturated
  EXPECT_EQ(Mix().left, (100 - 32768) / 2 + 32768);
  Sync(m);
  EXPECT_EQ(m.peakLevel, 0);
  EXPECT_EQ(Mix().left, 100);  // first frame again, divisor 1 again
}

TEST_F(MixFrameTest, OutputOf32768IsSaturatedNotWrittenAsMinus32768) {
  // Volume 1, value -1: the product truncates to 0, so the output is 0 + 32768. Its low 16
  // bits would be 0x8000, a full-scale negative click; it is written as 32767 instead.
  InstallChannel(m, 0, Both({32767}), 1);
  m.peakLevel = 40000;
  MixOneFrame(m);
  EXPECT_EQ(RingBytes(m, 0), (std::vector<uint8_t>{0xFF, 0x7F, 0xFF, 0x7F}));
}

class NoActiveChannelTest : public MixFrameTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(NoActiveChannelTest, FrameIsWrittenAsSilenceAndThePeakStays) {
  m.peakLevel = GetParam();
  std::memset(m.outputRing, 0xAA, m.ringSizeBytes);
  // A slot being loaded holds memory but is not active yet: it is neither read nor advanced.
  InstallChannel(m, 4, Ramp(10), kUnityVolume);
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.active[4] = 0;
    m.readPosBytes[4] = 8;
  }
  MixOneFrame(m);
  MixOneFrame(m);
  EXPECT_EQ(RingBytes(m, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(RingBytes(m, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(RingBytes(m, 8), (std::vector<uint8_t>{0xAA, 0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(m.writeIndexBytes, 8u);
  EXPECT_EQ(m.peakLevel, GetParam());
  EXPECT_EQ(m.readPosBytes[4], 8);
}

INSTANTIATE_TEST_SUITE_P(AnyPeak, NoActiveChannelTest, ::testing::Values(0, 64000, -500));

TEST_F(MixFrameTest, NegativePeakIsRaisedByTheFirstActiveChannelBeforeTheDivisor) {
  InstallChannel(m, 0, Both({100}), kUnityVolume);
  m.peakLevel = -300;
  EXPECT_EQ(Mix().left, 100);
  EXPECT_EQ(m.peakLevel, 32668);
}

TEST_F(MixFrameTest, NegativePeakWithAQuietChannelRisesToItsMagnitude) {
  InstallChannel(m, 0, Both({32767}), 1);  // product truncates to 0
  m.peakLevel = -300;
  MixOneFrame(m);
  EXPECT_EQ(m.peakLevel, 0);
  EXPECT_EQ(RingBytes(m, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(MixFrameTest, LeftAndRightAreMixedApartAndBothRaiseThePeak) {
  InstallChannel(m, 0, {{32767, -32768}}, kUnityVolume);
  InstallChannel(m, 1, {{-32768, 32767}}, 175);
  const StereoSample out = Mix();
  // Left: -1 + 175 * -65536 / 350 = -32769; right: -65536 + 175 * -1 / 350 = -65536.
  EXPECT_EQ(m.peakLevel, 65536);
  EXPECT_EQ(out.left, -32769 / 2 + 32768);
  EXPECT_EQ(out.right, 0);
}

// ---- The tick's fast path against the plain frame-by-frame mixing ---------------------------

// Applies the same step of a scripted session to a table: what the GUI thread does between
// two ticks (loads, unloads, Sync, volume changes) with material that reaches every edge.
void TwinStep(Mixer& m, uint32_t op, uint32_t arg) {
  const int c = static_cast<int>(arg % kChannelCount);
  switch (op % 9) {
    case 0:
    case 1: {  // load: lengths 1..97 frames of extremes and ramps, any volume
      std::vector<StereoSample> frames;
      const int n = 1 + static_cast<int>(arg % 97);
      for (int i = 0; i < n; ++i) {
        const uint32_t x = arg * 2654435761u + static_cast<uint32_t>(i) * 40503u;
        const int16_t l = (i % 11 == 0) ? -32768 : (i % 13 == 0) ? 32767 : static_cast<int16_t>(x);
        frames.push_back({l, static_cast<int16_t>(x >> 16)});
      }
      InstallChannel(m, c, frames, 1 + static_cast<int32_t>(arg % 350));
      break;
    }
    case 2: {  // unload, as UnloadChannel does it
      std::lock_guard<std::mutex> hold(m.lock);
      m.active[c] = 0;
      m.peakLevel -= 100;
      break;
    }
    case 3:
      Sync(m);
      break;
    case 4:
    case 5:
      m.targetVolume[c] = 1 + static_cast<int32_t>((arg >> 8) % 350);
      break;
    case 6:
      m.volume[c] = 1;
      break;
    case 7:  // a run of unloads: the peak well below zero
      m.peakLevel -= static_cast<int32_t>(arg % 5000);
      break;
    default:  // a peak far above anything mixed: large divisors
      m.peakLevel = static_cast<int32_t>(arg % 4) == 0 ? 0x3FFFFFFF : 32000 * (1 + arg % 40);
      break;
  }
}

class FastPathTwinTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(FastPathTwinTest, SameBytesAndSameStateAsFrameByFrame) {
  Mixer fast;
  Mixer plain;
  for (Mixer* m : {&fast, &plain}) {
    m->outputRing = static_cast<uint8_t*>(m->allocator.allocZeroed(m->ringSizeBytes));
    ASSERT_NE(m->outputRing, nullptr);
  }
  uint32_t seed = GetParam();
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int round = 0; round < 400; ++round) {
    const uint32_t op = next();
    const uint32_t arg = next();
    TwinStep(fast, op, arg);
    TwinStep(plain, op, arg);
    const int32_t frames = static_cast<int32_t>(next() % 900);
    {
      std::lock_guard<std::mutex> hold(fast.lock);
      MixFrames(fast, frames);
    }
    {
      std::lock_guard<std::mutex> hold(plain.lock);
      for (int32_t f = 0; f < frames; ++f) MixOneFrame(plain);
    }
    ASSERT_EQ(std::memcmp(fast.outputRing, plain.outputRing, fast.ringSizeBytes), 0)
        << "round " << round;
    ASSERT_EQ(fast.writeIndexBytes, plain.writeIndexBytes) << "round " << round;
    ASSERT_EQ(fast.peakLevel, plain.peakLevel) << "round " << round;
    for (int c = 0; c < kChannelCount; ++c) {
      ASSERT_EQ(fast.readPosBytes[c], plain.readPosBytes[c]) << "round " << round << " ch " << c;
      ASSERT_EQ(fast.volume[c], plain.volume[c]) << "round " << round << " ch " << c;
    }
  }
}

TEST(FastPathTest, QuotientIsExactForADivisorFarAboveAnyMixedPeak) {
  // Magnitude 339999 over divisor 20000 is 16.99995: a rounded reciprocal would give 17.
  for (const bool useFastPath : {true, false}) {
    Mixer m;
    m.outputRing = static_cast<uint8_t*>(m.allocator.allocZeroed(m.ringSizeBytes));
    for (int c = 0; c < 5; ++c) InstallChannel(m, c, Both({-32768}), kUnityVolume);
    InstallChannel(m, 5, Both({32768 - 12319}), kUnityVolume);
    m.peakLevel = 20000 * 32000;
    if (useFastPath) {
      MixFrames(m, 1);
    } else {
      MixOneFrame(m);
    }
    EXPECT_EQ(RingFrame(m, 0).left, 32768 - 16) << (useFastPath ? "fast" : "plain");
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, FastPathTwinTest, ::testing::Values(1u, 2u, 77u, 1234567u));

TEST(FastPathTest, ZeroOrNegativeFrameCountMixesNothing) {
  Mixer m;
  m.outputRing = static_cast<uint8_t*>(m.allocator.allocZeroed(m.ringSizeBytes));
  InstallChannel(m, 0, Ramp(5), kUnityVolume);
  MixFrames(m, 0);
  MixFrames(m, -3);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.readPosBytes[0], 0);
  EXPECT_EQ(m.peakLevel, 0);
}

// ---- The tick against a scripted device ------------------------------------------------------

class TickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.device = &dev;
    m.timer = &timer;
    m.ui = &ui;
    dev.log = &log;
    timer.log = &log;
    ui.onInfoBox = [this](const std::string& text) {
      log.push_back("info:" + text);
      guardDuringMessage = m.tickGuard;
    };
    m.engineReady = EngineInit(m);
    ASSERT_EQ(m.engineReady, 1);
    InstallChannel(m, 0, Ramp(1000), kUnityVolume);
    m.mapHover = 1;
    StartPlayback(m);
    ASSERT_EQ(m.live, 1);
    log.clear();
  }

  void TickAt(uint32_t bytes) {
    dev.position = bytes;
    MixerTick(m);
  }

  Mixer m;
  FakeDevice dev;
  RecordingTimer timer;
  RecordingUi ui;
  Log log;
  int guardDuringMessage = -1;
};

TEST_F(TickTest, MixesTheFramesPlayedSinceTheLastTickBehindThePlayPosition) {
  TickAt(400);
  EXPECT_EQ(m.lastPlayPosBytes, 400);
  EXPECT_EQ(m.writeIndexBytes, 400u);
  EXPECT_EQ(m.readPosBytes[0], 400);
  EXPECT_EQ(RingFrame(m, 0).left, 1);
  EXPECT_EQ(RingFrame(m, 396).left, 100);
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_EQ(log, (Log{"position"}));
  TickAt(400);  // no progress: nothing mixed
  EXPECT_EQ(m.writeIndexBytes, 400u);
  EXPECT_EQ(RingFrame(m, 400).left, 0);
}

TEST_F(TickTest, PartialFrameOfProgressIsRoundedUpToAWholeFrame) {
  TickAt(402);
  EXPECT_EQ(m.lastPlayPosBytes, 402);
  EXPECT_EQ(m.writeIndexBytes, 404u);
  EXPECT_EQ(m.readPosBytes[0], 404);
}

TEST_F(TickTest, PlayPositionWrapsModuloTheRing) {
  const uint32_t ring = m.ringSizeBytes;
  TickAt(ring - 40);
  TickAt(ring + 40);
  EXPECT_EQ(m.lastPlayPosBytes, 40);
  EXPECT_EQ(m.writeIndexBytes, 40u);
  // Frames (ring - 40) / 4 .. (ring + 40) / 4 - 1 of the ramp, on a 1000-frame wave.
  EXPECT_EQ(RingFrame(m, ring - 40).left, static_cast<int16_t>((ring - 40) / 4 % 1000 + 1));
  EXPECT_EQ(RingFrame(m, 36).left, static_cast<int16_t>(((ring + 40) / 4 - 1) % 1000 + 1));
}

TEST_F(TickTest, ByteCountWrappingAt2To32IsTakenModuloTheRingAsItComes) {
  ASSERT_EQ(m.ringSizeBytes, 11024u);  // 2^32 mod 11024 = 5872
  TickAt(0xFFFFFFF0u);                 // mod 11024 = 5856
  EXPECT_EQ(m.lastPlayPosBytes, 5856);
  EXPECT_EQ(m.writeIndexBytes, 5856u);
  TickAt(16);  // the count wrapped: 5184 bytes counted forward from 5856
  EXPECT_EQ(m.lastPlayPosBytes, 16);
  EXPECT_EQ(m.writeIndexBytes, 16u);
  EXPECT_EQ(m.readPosBytes[0], (5856 + 5184) / 4 % 1000 * 4);
}

TEST_F(TickTest, WinePositionStuckAtMinusOneMixesOnceThenNothing) {
  TickAt(0xFFFFFFFFu);  // mod 11024 = 5871: 1468 frames, rounded up
  EXPECT_EQ(m.lastPlayPosBytes, 5871);
  EXPECT_EQ(m.writeIndexBytes, 5872u);
  const int32_t readPos = m.readPosBytes[0];
  EXPECT_EQ(readPos, 1468 % 1000 * 4);
  for (int i = 0; i < 3; ++i) TickAt(0xFFFFFFFFu);
  EXPECT_EQ(m.writeIndexBytes, 5872u);
  EXPECT_EQ(m.readPosBytes[0], readPos);
  EXPECT_EQ(m.playing, 1);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TickTest, GuardSetMeansTheTickDoesNothing) {
  m.tickGuard = 1;
  TickAt(400);
  EXPECT_EQ(dev.positionQueries, 0);
  EXPECT_EQ(m.tickGuard, 1);  // not touched
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.readPosBytes[0], 0);
}

TEST_F(TickTest, LiveFlagClearMeansTheTickDoesNothing) {
  m.live = 0;
  TickAt(400);
  EXPECT_EQ(dev.positionQueries, 0);
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_EQ(m.writeIndexBytes, 0u);
}

TEST_F(TickTest, NotPlayingOrNoDeviceReturnsWithTheGuardCleared) {
  m.playing = 0;
  TickAt(400);
  EXPECT_EQ(dev.positionQueries, 0);
  EXPECT_EQ(m.tickGuard, 0);
  m.playing = 1;
  DeviceClose(m);
  log.clear();
  TickAt(400);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.playing, 1);
}

TEST_F(TickTest, StopWhileTheTickWaitsForThePositionLeavesTheRingAlone) {
  // Stop playback clears the playing flag first; a tick already past its own test must not
  // write into the ring that the stop is about to fill with the silence pattern.
  std::memset(m.outputRing, 0x77, m.ringSizeBytes);
  dev.onPosition = [this] { m.playing = 0; };
  TickAt(400);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.lastPlayPosBytes, 0);
  EXPECT_EQ(m.readPosBytes[0], 0);
  EXPECT_EQ(m.outputRing[0], 0x77);
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TickTest, RestartWhileTheTickWaitsForThePositionDropsTheOldPosition) {
  // A stop and a new start complete while the query is under way: its byte count belongs to
  // the old device, and mixing with it would jump the new start's indexes ahead.
  std::memset(m.outputRing, 0x77, m.ringSizeBytes);
  dev.onPosition = [this] {
    std::lock_guard<std::mutex> hold(m.lock);
    ++m.playSession;
    m.writeIndexBytes = 0;
    m.lastPlayPosBytes = 0;
  };
  TickAt(400);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.lastPlayPosBytes, 0);
  EXPECT_EQ(m.outputRing[0], 0x77);
  EXPECT_EQ(m.tickGuard, 0);
  dev.onPosition = nullptr;
  TickAt(400);  // the next tick mixes from the new start's position
  EXPECT_EQ(m.writeIndexBytes, 400u);
}

TEST_F(TickTest, RingReleasedWhileTheTickWaitsForThePositionIsNotWritten) {
  dev.onPosition = [this] { ReleaseOutputRing(m); };
  TickAt(400);
  EXPECT_EQ(m.outputRing, nullptr);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.tickGuard, 0);
}

TEST_F(TickTest, FailedAnswerDuringAStopIsNotReported) {
  // The stop closes the device while the query is under way; its failure is the stop's doing.
  dev.onPosition = [this] { m.playing = 0; };
  dev.positionScript.push_back({DeviceStatus::kInvalidHandle, 0});
  MixerTick(m);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(timer.kills.empty());
  EXPECT_EQ(m.tickGuard, 0);
}

class FailedQueryTest : public TickTest, public ::testing::WithParamInterface<DeviceStatus> {};

TEST_P(FailedQueryTest, KillsTheTimerStopsClosesAndTellsWithTheGuardHeld) {
  TickAt(400);
  std::memset(m.outputRing + 400, 0x5A, 40);
  const TimerId id = m.timerId;
  log.clear();
  dev.positionScript.push_back({GetParam(), 800});
  MixerTick(m);
  EXPECT_EQ(log, (Log{"position", "timer:kill:" + std::to_string(id), "reset", "unprepare", "close",
                      "info:Impossible to read the position in the wave"}));
  EXPECT_EQ(guardDuringMessage, 1);
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_EQ(m.playing, 0);
  EXPECT_FALSE(dev.IsOpen());
  // Left as they were: live flag, ring, indexes, channels.
  EXPECT_EQ(m.live, 1);
  EXPECT_EQ(m.lastPlayPosBytes, 400);
  EXPECT_EQ(m.writeIndexBytes, 400u);
  EXPECT_EQ(m.readPosBytes[0], 400);
  EXPECT_EQ(m.outputRing[400], 0x5A);
  EXPECT_EQ(m.active[0], 1);

  // The next press of the play button starts playback again.
  StartPlayback(m);
  EXPECT_EQ(m.playing, 1);
  EXPECT_TRUE(dev.IsOpen());
  TickAt(80);
  EXPECT_EQ(m.writeIndexBytes, 80u);
}

INSTANTIATE_TEST_SUITE_P(AnyNonZeroResult, FailedQueryTest,
                         ::testing::Values(DeviceStatus::kError, DeviceStatus::kInvalidHandle,
                                           DeviceStatus::kNoDriver, DeviceStatus::kNotOpen),
                         [](const ::testing::TestParamInfo<DeviceStatus>& i) {
                           std::string name = DeviceStatusName(i.param);
                           for (char& ch : name) {
                             if (ch == ' ') ch = '_';
                           }
                           return name;
                         });

TEST_F(TickTest, FirstCallbackWithTheMenuFlagRunsTheMenuStepInsteadOfMixing) {
  m.menuSetup = 1;
  dev.position = 400;
  timer.Fire();
  EXPECT_EQ(ui.menuSteps, 1);
  EXPECT_EQ(m.menuSetup, 0);
  EXPECT_EQ(dev.positionQueries, 0);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  timer.Fire();
  EXPECT_EQ(ui.menuSteps, 1);
  EXPECT_EQ(dev.positionQueries, 1);
  EXPECT_EQ(m.writeIndexBytes, 400u);
}

// ---- Played-byte arithmetic ---------------------------------------------------------------

struct PlayedCase {
  uint32_t bytesPlayed;
  uint32_t ringSize;
  int32_t lastBefore;
  int32_t expectD;
  int32_t expectLast;
};

class PlayedBytesTest : public ::testing::TestWithParam<PlayedCase> {};

TEST_P(PlayedBytesTest, CountsForwardFromTheLastPositionModuloTheRing) {
  const PlayedCase c = GetParam();
  int32_t last = c.lastBefore;
  EXPECT_EQ(PlayedBytesSince(c.bytesPlayed, c.ringSize, last), c.expectD);
  EXPECT_EQ(last, c.expectLast);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, PlayedBytesTest,
    ::testing::Values(PlayedCase{400, 11024, 0, 400, 400}, PlayedCase{0, 11024, 0, 0, 0},
                      PlayedCase{11024, 11024, 0, 0, 0},  // a whole cycle counts as none
                      PlayedCase{11024 + 40, 11024, 11024 - 40, 80, 40},
                      PlayedCase{11023, 11024, 11020, 3, 11023},
                      PlayedCase{0xFFFFFFF0u, 11024, 0, 5856, 5856},
                      PlayedCase{16, 11024, 5856, 5184, 16},
                      PlayedCase{0xFFFFFFFFu, 11024, 5871, 0, 5871},
                      PlayedCase{0x80000000u, 44100, 0, 34148, 34148},  // unsigned modulo
                      PlayedCase{0xFFFFFFFFu, 44100, 34148, 24195 - 34148 + 44100, 24195},
                      PlayedCase{0x80000000u, 11024, 8448, 0, 8448}));

// ---- One performance, mixed in different tick sizes -----------------------------------------

// Plays a fixed performance on the virtual device: five channels of ramps with prime lengths,
// volumes ramping toward different targets, ticking whenever `step(i)` frames have played.
// Returns everything the device played; `mixed` receives every frame the ticks wrote, in order.
template <typename StepFn>
std::vector<uint8_t> Perform(StepFn step, uint64_t totalFrames, std::vector<uint8_t>* mixed) {
  VirtualDevice dev;
  ManualTimer timer;
  Mixer m;
  m.device = &dev;
  m.timer = &timer;
  m.engineReady = EngineInit(m);
  EXPECT_EQ(m.engineReady, 1);
  const int lengths[] = {7, 13, 101, 997, 2};
  const int32_t volumes[] = {350, 1, 200, 90, 350};
  const int32_t targets[] = {1, 350, 200, 300, 349};
  for (int c = 0; c < 5; ++c) {
    InstallChannel(m, c, Ramp(lengths[c], 1000 * c - 30000), volumes[c]);
    m.targetVolume[c] = targets[c];
  }
  m.mapHover = 1;
  StartPlayback(m);
  uint64_t played = 0;
  for (uint64_t i = 0; played < totalFrames; ++i) {
    played += step(i);
    if (played > totalFrames) played = totalFrames;
    dev.AdvanceTo(played);
    const uint32_t before = m.writeIndexBytes;
    timer.Fire();
    if (mixed != nullptr) {
      for (uint32_t at = before; at != m.writeIndexBytes; at = (at + 4) % m.ringSizeBytes) {
        mixed->insert(mixed->end(), m.outputRing + at, m.outputRing + at + 4);
      }
    }
  }
  EXPECT_EQ(dev.framesPlayed(), totalFrames);
  return dev.played();
}

TEST(ChunkedTickTest, OneLargeTickAndManySmallOnesPlayTheSameBytes) {
  const uint64_t ringFrames = RingSizeForRate(kInitialOutputRate) / 4;  // 2756
  const uint64_t total = ringFrames * 5 + 123;
  std::vector<uint8_t> mixed;
  const std::vector<uint8_t> byOne = Perform([](uint64_t) { return 1; }, total, &mixed);
  const std::vector<uint8_t> byLarge = Perform([](uint64_t) { return 2205; }, total, nullptr);
  const std::vector<uint8_t> byOdd =
      Perform([](uint64_t i) { return 1 + (i * 7919) % 613; }, total, nullptr);
  ASSERT_EQ(byOne.size(), total * 4);
  EXPECT_TRUE(byOne == byLarge);
  EXPECT_TRUE(byOne == byOdd);

  // The first ring cycle plays the zeros of the fresh ring; after it, each mixed frame is
  // heard exactly one ring cycle after its own place in time.
  for (uint64_t i = 0; i < ringFrames * 4; ++i) ASSERT_EQ(byOne[i], 0) << i;
  ASSERT_EQ(mixed.size(), total * 4);
  for (uint64_t i = 0; i < (total - ringFrames) * 4; ++i) {
    ASSERT_EQ(byOne[ringFrames * 4 + i], mixed[i]) << "byte " << i;
  }
  // Not trivially silent: the performance reaches the divisor and sounds.
  bool anyNonZero = false;
  for (uint8_t b : mixed) anyNonZero = anyNonZero || b != 0;
  EXPECT_TRUE(anyNonZero);
}

// ---- The virtual device's end of loops, and a mono card ---------------------------------------

struct VirtualSession {
  explicit VirtualSession(const VirtualDevice::Options& options) : dev(options) {
    m.device = &dev;
    m.timer = &timer;
    m.engineReady = EngineInit(m);
    InstallChannel(m, 0, Ramp(333), kUnityVolume);
    m.mapHover = 1;
  }
  VirtualDevice dev;
  ManualTimer timer;
  Mixer m;
};

TEST(VirtualDeviceTickTest, AfterTheLastLoopThePositionStandsAndNothingIsMixed) {
  VirtualSession s(VirtualDevice::Options{});
  ASSERT_EQ(s.m.engineReady, 1);
  s.m.loopBuffer.loops = 2;  // instead of about 29 days
  StartPlayback(s.m);
  const uint64_t ringFrames = s.m.ringSizeBytes / 4;
  s.dev.AdvanceTo(ringFrames - 100);
  s.timer.Fire();
  s.dev.AdvanceTo(2 * ringFrames - 200);
  s.timer.Fire();
  s.dev.AdvanceTo(ringFrames * 5);  // plays only up to the end of the second loop
  EXPECT_EQ(s.dev.framesPlayed(), ringFrames * 2);
  s.timer.Fire();
  EXPECT_EQ(s.m.writeIndexBytes, 0u);  // mixed up to the loop's end, the ring's start
  EXPECT_EQ(s.m.readPosBytes[0], static_cast<int32_t>(2 * ringFrames % 333 * 4));
  const int32_t atEnd = s.m.readPosBytes[0];
  for (int i = 0; i < 3; ++i) {
    s.dev.AdvanceTo(ringFrames * 9);
    s.timer.Fire();
  }
  EXPECT_EQ(s.m.readPosBytes[0], atEnd);
  EXPECT_EQ(s.m.writeIndexBytes, 0u);
  EXPECT_EQ(s.m.playing, 1);
}

TEST(VirtualDeviceTickTest, MonoCardPlaysTheStereoRingAsSuccessiveSamples) {
  VirtualDevice::Options mono;
  mono.caps = DeviceCaps{0xFFFFF, 1};
  VirtualSession s(mono);
  ASSERT_EQ(s.m.engineReady, 1);
  ASSERT_EQ(s.m.format.blockAlign, 2);
  StartPlayback(s.m);
  // Odd sample counts: positions that are not whole stereo frames.
  uint64_t samples = 0;
  for (int i = 0; i < 200; ++i) {
    samples += 1 + (static_cast<uint64_t>(i) * 37) % 301;
    s.dev.AdvanceTo(samples);
    s.timer.Fire();
    ASSERT_LT(s.m.writeIndexBytes, s.m.ringSizeBytes);
    ASSERT_EQ(s.m.writeIndexBytes % 4, 0u);
    ASSERT_EQ(static_cast<uint64_t>(s.m.lastPlayPosBytes), samples * 2 % s.m.ringSizeBytes);
  }
  // The mix is heard, one stereo frame as two successive samples. A position that stops
  // between two samples of a frame has the whole frame mixed, its second half before it is
  // played: the write index runs ahead of the play position by the half frames rounded up.
  const std::vector<uint8_t>& played = s.dev.played();
  ASSERT_EQ(played.size(), samples * 2);
  bool sawMix = false;
  for (uint64_t n = s.m.ringSizeBytes / 2; n < samples; ++n) {
    const auto v = static_cast<int16_t>(played[2 * n] | (played[2 * n + 1] << 8));
    ASSERT_LE(v < 0 ? -v : v, 333) << "sample " << n;  // only ramp values and silence
    sawMix = sawMix || v != 0;
  }
  EXPECT_TRUE(sawMix);
}

}  // namespace
}  // namespace mixorama
