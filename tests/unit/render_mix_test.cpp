// Whole performances through the renderer: the engine on the virtual device with the map
// rules, panel steps and loader, checked frame by frame against what a listener must hear.
//
// Most scenarios use "quiet" test waves: even sample values in -15000..700. With them one
// channel at full volume settles on a gain divisor of 1 and plays back bit-exact, and two
// channels at full volume on a divisor of 2, so two copies of one wave in the same phase also
// give back that wave exactly: any frame out of step shows at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "ui/render_session.h"

namespace mixorama {
namespace {

namespace fs = std::filesystem;

constexpr int kRamp = 349;  // frames a volume takes from 1 to 350

struct Wave {
  std::vector<int16_t> left;
  std::vector<int16_t> right;
  size_t frames() const { return left.size(); }
};

// Even values in -15000..698 that differ from frame to frame (a ramp folded by a prime step).
Wave QuietWave(int frames, int stepLeft, int stepRight) {
  Wave w;
  for (int k = 0; k < frames; ++k) {
    w.left.push_back(static_cast<int16_t>(-15000 + 2 * ((k * stepLeft) % 7850)));
    w.right.push_back(static_cast<int16_t>(-15000 + 2 * ((k * stepRight + 11) % 7850)));
  }
  return w;
}

void Put32(std::ofstream& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::ofstream& out, uint32_t v) {
  out.put(static_cast<char>(v & 0xFF));
  out.put(static_cast<char>((v >> 8) & 0xFF));
}

// A 16-bit stereo PCM wave file.
void WriteWave(const fs::path& path, int32_t rate, const Wave& w) {
  std::ofstream out(path, std::ios::binary);
  const uint32_t dataBytes = static_cast<uint32_t>(w.frames() * 4);
  out.write("RIFF", 4);
  Put32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, 2);
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate) * 4);
  Put16(out, 4);
  Put16(out, 16);
  out.write("data", 4);
  Put32(out, dataBytes);
  for (size_t k = 0; k < w.frames(); ++k) {
    Put16(out, static_cast<uint16_t>(w.left[k]));
    Put16(out, static_cast<uint16_t>(w.right[k]));
  }
}

struct Rendered {
  std::vector<uint8_t> bytes;
  std::vector<std::string> messages;
  uint64_t sent = 0;
  size_t frames() const { return bytes.size() / 4; }
  int16_t Left(size_t n) const {
    return static_cast<int16_t>(bytes[4 * n] | (bytes[4 * n + 1] << 8));
  }
  int16_t Right(size_t n) const {
    return static_cast<int16_t>(bytes[4 * n + 2] | (bytes[4 * n + 3] << 8));
  }
};

Rendered Render(const RenderRequest& request) {
  Rendered r;
  r.sent = RenderMix(
      request, [&r](const uint8_t* b, size_t n) { r.bytes.insert(r.bytes.end(), b, b + n); },
      [&r](const char* text) { r.messages.emplace_back(text); });
  return r;
}

std::vector<ScriptEvent> Script(const std::string& text) {
  std::vector<ScriptEvent> events;
  std::string error;
  EXPECT_TRUE(ParseScript(text, events, error)) << error;
  return events;
}

uint64_t RingFrames(int32_t rate) {
  return RingSizeForRate(rate) / 4;
}

// First device frame that plays what the first live tick (at tMs) mixed: the tick fills the
// ring from position 0, which the device reaches again at the next whole ring cycle.
uint64_t FirstMixedFrame(int32_t rate, int64_t tMs) {
  const uint64_t ring = RingFrames(rate);
  return (FramesByTime(rate, tMs) / ring + 1) * ring;
}

// Checks frames [from, to) against the wave played from phase 0 at frame `origin`.
::testing::AssertionResult PlaysWave(const Rendered& r, const Wave& w, uint64_t origin,
                                     uint64_t from, uint64_t to) {
  if (to > r.frames()) return ::testing::AssertionFailure() << "only " << r.frames() << " frames";
  for (uint64_t n = from; n < to; ++n) {
    const size_t k = static_cast<size_t>((n - origin) % w.frames());
    if (r.Left(n) != w.left[k] || r.Right(n) != w.right[k]) {
      return ::testing::AssertionFailure()
             << "frame " << n << " is (" << r.Left(n) << ", " << r.Right(n) << "), wave frame " << k
             << " is (" << w.left[k] << ", " << w.right[k] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AllZero(const Rendered& r, uint64_t from, uint64_t to) {
  for (uint64_t n = from; n < to; ++n) {
    if (r.Left(n) != 0 || r.Right(n) != 0) {
      return ::testing::AssertionFailure() << "frame " << n << " is not silent";
    }
  }
  return ::testing::AssertionSuccess();
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = fs::temp_directory_path() / ("mixorama_render_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name, int32_t rate, const Wave& w) {
    const fs::path p = dir_ / name;
    WriteWave(p, rate, w);
    return p.string();
  }

  fs::path dir_;
};

// ---- Silence before the mouse enters ------------------------------------------------------

TEST_F(RenderTest, NothingIsMixedUntilAMoveInsideTheMap) {
  const Wave w = QuietWave(1013, 97, 53);
  RenderRequest req;
  req.rate = 11025;
  req.slots = {{0, File("a.wav", 11025, w)}};
  // Moves off the map never reach it, and a click there (keypad 2, an empty slot) changes
  // nothing audible: mixing, and with it the phase of the loop, starts at the tick of 1000.
  req.events = Script("100 move 400 20\n200 right 2\n300 move -1 -1\n1000 move 87 0\n");
  req.durationMs = 3000;
  const Rendered r = Render(req);
  ASSERT_EQ(r.sent, FramesByTime(11025, 3000));
  ASSERT_EQ(r.frames(), 33075u);
  const uint64_t origin = FirstMixedFrame(11025, 1000);
  ASSERT_EQ(origin, 13780u);
  EXPECT_TRUE(AllZero(r, 0, origin));
  EXPECT_TRUE(PlaysWave(r, w, origin, origin + kRamp, r.frames()));
  EXPECT_TRUE(r.messages.empty());
}

// ---- Bit-exact looping, in step with the clock ----------------------------------------------

struct InStepCase {
  int32_t rate;
  int64_t enterMs;
  int64_t durationMs;
};

class InStepTest : public RenderTest, public ::testing::WithParamInterface<InStepCase> {};

TEST_P(InStepTest, OneFullVolumeChannelLoopsBitExact) {
  const InStepCase c = GetParam();
  const Wave w = QuietWave(1013, 97, 53);
  RenderRequest req;
  req.rate = c.rate;
  req.slots = {{0, File("a.wav", c.rate, w)}};
  req.events = Script(std::to_string(c.enterMs) + " move 87 0  # onto slot 1's point\n");
  req.durationMs = c.durationMs;
  const Rendered r = Render(req);
  ASSERT_EQ(r.frames(), FramesByTime(c.rate, c.durationMs));
  // The event runs before the first tick at or after its time, never before the tick at 50.
  const int64_t firstLiveTick = std::max<int64_t>(1, (c.enterMs + 49) / 50) * 50;
  const uint64_t origin = FirstMixedFrame(c.rate, firstLiveTick);
  EXPECT_TRUE(AllZero(r, 0, origin));
  // Once the volume has ramped up to 350 every frame is the wave's, at the clock's phase.
  EXPECT_TRUE(PlaysWave(r, w, origin, origin + kRamp, r.frames()));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, InStepTest,
    ::testing::Values(InStepCase{11025, 0, 180000},  // three minutes
                      InStepCase{22050, 0, 60000}, InStepCase{44100, 0, 120000},
                      InStepCase{11025, 1000, 20000},  // enters mid-cycle of the ring
                      InStepCase{44100, 730, 10000}),
    [](const ::testing::TestParamInfo<InStepCase>& p) {
      return std::to_string(p.param.rate) + "Hz_enter" + std::to_string(p.param.enterMs) + "ms";
    });

// ---- Sync -------------------------------------------------------------------------------------

TEST_F(RenderTest, SyncRestartsEveryChannelTogether) {
  const int32_t rate = 11025;
  const Wave a = QuietWave(1013, 97, 53);
  const Wave b = QuietWave(877, 61, 89);
  RenderRequest req;
  req.rate = rate;
  req.slots = {{0, File("a.wav", rate, a)}, {1, File("b.wav", rate, b)}};
  req.events = Script(
      "0 move 87 0\n"
      "0 left      # slot 1 locked at 350\n"
      "0 move 0 87 # slot 2 at 350\n"
      "5000 sync\n");
  req.durationMs = 10000;
  const Rendered r = Render(req);
  ASSERT_EQ(r.frames(), FramesByTime(rate, 10000));

  // Two channels at 350 with even samples: the output is the exact mean of the two waves.
  auto mean = [](const Wave& x, const Wave& y, size_t i, size_t j, bool left) {
    return static_cast<int16_t>(
        ((left ? x.left[i] : x.right[i]) + (left ? y.left[j] : y.right[j])) / 2);
  };
  const uint64_t origin = FirstMixedFrame(rate, 50);
  const uint64_t restart = FramesByTime(rate, 4950) + RingFrames(rate);
  for (uint64_t n = origin + kRamp; n < r.frames(); ++n) {
    const uint64_t phase = n < restart ? n - origin : n - restart;
    const size_t i = static_cast<size_t>(phase % a.frames());
    const size_t j = static_cast<size_t>(phase % b.frames());
    ASSERT_EQ(r.Left(n), mean(a, b, i, j, true)) << "frame " << n;
    ASSERT_EQ(r.Right(n), mean(a, b, i, j, false)) << "frame " << n;
  }
}

// ---- Lock and mute, by nearness and by keypad -------------------------------------------------

struct Snapshot {
  int32_t target[kChannelCount];
  int32_t volume[kChannelCount];
  int32_t locked[kChannelCount];
  int32_t muted[kChannelCount];
  bool loaded[kChannelCount];
  int32_t live;
  int32_t hover;
};

class WatchedRender : public RenderTest {
 protected:
  Rendered RenderWatched(RenderRequest req) {
    req.afterTick = [this](int64_t t, const Mixer& m) {
      Snapshot s{};
      for (int c = 0; c < kChannelCount; ++c) {
        s.target[c] = m.targetVolume[c];
        s.volume[c] = m.volume[c];
        s.locked[c] = m.locked[c];
        s.muted[c] = m.muted[c];
        s.loaded[c] = m.sampleMemory[c] != nullptr;
      }
      s.live = m.live;
      s.hover = m.mapHover;
      snaps[t] = s;
    };
    return Render(req);
  }
  std::map<int64_t, Snapshot> snaps;
};

// One full-volume channel and one at volume 1 (contributing 1/350 of its value), divisor 2:
// each product is divided by 350 on its own, the sum by the divisor, then 32768 is added.
int16_t MutedMix(int16_t full, int16_t quiet) {
  const int32_t sum = (350 * (full - 32768)) / 350 + (1 * (quiet - 32768)) / 350;
  return static_cast<int16_t>(sum / 2 + 32768);
}

TEST_F(WatchedRender, LockAndMuteByNearnessAndByKeypad) {
  const int32_t rate = 11025;
  const Wave w = QuietWave(1013, 97, 53);
  const std::string file = File("w.wav", rate, w);
  RenderRequest req;
  req.rate = rate;
  req.slots = {{0, file}, {1, file}};  // the same wave twice, in the same phase
  req.events = Script(
      "0 move 87 0\n"
      "0 left        # nearest: slot 1, locked at 350\n"
      "0 move 0 87   # slot 2 follows to 350\n"
      "3000 right    # nearest: slot 2, muted\n"
      "6000 right 2  # keypad 2: unmuted, target from the cursor\n"
      "7000 move 175 175\n"
      "8000 right 1  # keypad 1 at the centre: slot 1 muted and unlocked\n"
      "9000 left 1   # keypad 1: locked again, at the centre's closeness\n");
  req.durationMs = 10000;
  const Rendered r = RenderWatched(req);
  ASSERT_EQ(r.frames(), FramesByTime(rate, 10000));

  const Snapshot& s0 = snaps.at(50);
  EXPECT_EQ(s0.live, 1);
  EXPECT_EQ(s0.hover, 1);
  EXPECT_EQ(s0.locked[0], 1);
  EXPECT_EQ(s0.target[0], 350);
  EXPECT_EQ(s0.target[1], 350);

  const Snapshot& s3 = snaps.at(3000);
  EXPECT_EQ(s3.muted[1], 1);
  EXPECT_EQ(s3.target[1], 1);
  EXPECT_EQ(s3.locked[0], 1);
  EXPECT_EQ(s3.muted[0], 0);

  const Snapshot& s6 = snaps.at(6000);
  EXPECT_EQ(s6.muted[1], 0);
  EXPECT_EQ(s6.target[1], 350);

  const Snapshot& s7 = snaps.at(7000);
  EXPECT_EQ(s7.target[0], 350);  // locked: does not follow
  EXPECT_EQ(s7.target[1], 155);

  const Snapshot& s8 = snaps.at(8000);
  EXPECT_EQ(s8.muted[0], 1);
  EXPECT_EQ(s8.locked[0], 0);
  EXPECT_EQ(s8.target[0], 1);

  const Snapshot& s9 = snaps.at(9000);
  EXPECT_EQ(s9.locked[0], 1);
  EXPECT_EQ(s9.muted[0], 0);
  EXPECT_EQ(s9.target[0], 155);

  // What is heard: both at full volume is the wave itself; slot 2 muted is the documented mix
  // of a full and a 1/350 channel, once its volume has ramped down; unmuted, the wave again.
  const uint64_t ring = RingFrames(rate);
  const uint64_t origin = FirstMixedFrame(rate, 50);
  const uint64_t muteAt = FramesByTime(rate, 2950) + ring;
  const uint64_t unmuteAt = FramesByTime(rate, 5950) + ring;
  const uint64_t centreAt = FramesByTime(rate, 6950) + ring;
  EXPECT_TRUE(PlaysWave(r, w, origin, origin + kRamp, muteAt));
  for (uint64_t n = muteAt + kRamp; n < unmuteAt; ++n) {
    const size_t k = static_cast<size_t>((n - origin) % w.frames());
    ASSERT_EQ(r.Left(n), MutedMix(w.left[k], w.left[k])) << "frame " << n;
    ASSERT_EQ(r.Right(n), MutedMix(w.right[k], w.right[k])) << "frame " << n;
  }
  EXPECT_TRUE(PlaysWave(r, w, origin, unmuteAt + kRamp, centreAt));
}

// ---- Loading and emptying during playback --------------------------------------------------

TEST_F(WatchedRender, EmptyingAndReloadingKeepsTheChannelsInStep) {
  const int32_t rate = 22050;
  const Wave w = QuietWave(1013, 97, 53);
  const std::string file = File("w.wav", rate, w);
  RenderRequest req;
  req.rate = rate;
  req.slots = {{0, file}, {1, file}};
  req.events = Script(
      "0 move 87 0\n"
      "0 left\n"
      "0 move 0 87\n"
      "3000 unload 2\n"
      "5000 load 2 " +
      file + "\n" + "7000 load 3 " + (dir_ / "missing.wav").string() + "\n");
  req.durationMs = 9000;
  const Rendered r = RenderWatched(req);
  ASSERT_EQ(r.frames(), FramesByTime(rate, 9000));

  EXPECT_FALSE(snaps.at(3000).loaded[1]);
  EXPECT_EQ(snaps.at(3000).volume[1], 1);
  EXPECT_TRUE(snaps.at(5000).loaded[1]);
  EXPECT_EQ(snaps.at(5000).target[1], 350);  // redrawn while hovering at its point
  EXPECT_FALSE(snaps.at(7000).loaded[2]);
  ASSERT_FALSE(r.messages.empty());  // the missing file was reported, the render went on

  const uint64_t ring = RingFrames(rate);
  const uint64_t origin = FirstMixedFrame(rate, 50);
  const uint64_t unloadAt = FramesByTime(rate, 2950) + ring;
  const uint64_t loadAt = FramesByTime(rate, 4950) + ring;
  EXPECT_TRUE(PlaysWave(r, w, origin, origin + kRamp, unloadAt));
  // Alone, with the divisor still at 2 from the two-channel peak: (s - 32768) / 2 + 32768.
  for (uint64_t n = unloadAt; n < loadAt; ++n) {
    const size_t k = static_cast<size_t>((n - origin) % w.frames());
    ASSERT_EQ(r.Left(n), static_cast<int16_t>((w.left[k] - 32768) / 2 + 32768)) << n;
    ASSERT_EQ(r.Right(n), static_cast<int16_t>((w.right[k] - 32768) / 2 + 32768)) << n;
  }
  // The reloaded wave joins slot 1's phase: together they give the wave back exactly.
  EXPECT_TRUE(PlaysWave(r, w, origin, loadAt + kRamp, r.frames()));
}

// ---- Clock and script order ---------------------------------------------------------------

TEST_F(RenderTest, ShorterRenderIsAPrefixOfALongerOne) {
  const int32_t rate = 11025;
  RenderRequest req;
  req.rate = rate;
  req.slots = {{0, File("a.wav", rate, QuietWave(1013, 97, 53))},
               {3, File("b.wav", rate, QuietWave(500, 31, 7))}};
  req.events = Script("0 move 100 200\n700 move 87 349\n1500 sync\n2100 right\n2990 move 3 3\n");
  req.durationMs = 4017;
  const Rendered longer = Render(req);
  req.durationMs = 2999;
  const Rendered shorter = Render(req);
  ASSERT_EQ(shorter.frames(), FramesByTime(rate, 2999));
  ASSERT_EQ(longer.frames(), FramesByTime(rate, 4017));
  EXPECT_TRUE(std::equal(shorter.bytes.begin(), shorter.bytes.end(), longer.bytes.begin()));
  EXPECT_FALSE(AllZero(shorter, 0, shorter.frames()));
}

TEST_F(WatchedRender, EventsOfOneTickRunInFileOrder) {
  RenderRequest req;
  req.rate = 11025;
  req.slots = {{0, File("a.wav", 11025, QuietWave(100, 3, 5))}};
  // The click comes first in the file: the cursor is still far away, so it does nothing.
  req.events = Script("120 right\n110 move 87 0\n");
  req.durationMs = 200;
  RenderWatched(req);
  EXPECT_EQ(snaps.at(150).muted[0], 0);
  EXPECT_EQ(snaps.at(150).target[0], 350);
}

TEST_F(RenderTest, EventsAfterTheLastTickRunButAreNotHeard) {
  RenderRequest req;
  req.rate = 11025;
  req.durationMs = 1020;
  req.events = Script("1010 load 1 " + (dir_ / "nothing.wav").string() + "\n1021 sync\n");
  const Rendered r = Render(req);
  EXPECT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.frames(), FramesByTime(11025, 1020));
  req.durationMs = 1000;
  EXPECT_TRUE(Render(req).messages.empty());  // after the end: never applied
}

TEST(RenderClock, FramesByTimeIsFloored) {
  EXPECT_EQ(FramesByTime(11025, 50), 551u);
  EXPECT_EQ(FramesByTime(22050, 50), 1102u);
  EXPECT_EQ(FramesByTime(44100, 50), 2205u);
  EXPECT_EQ(FramesByTime(11025, 1), 11u);
  EXPECT_EQ(FramesByTime(11025, 0), 0u);
  // Hours at 44100 stay exact in 64 bits.
  EXPECT_EQ(FramesByTime(44100, 3600000), 158760000u);
}

// ---- The demo set -------------------------------------------------------------------------

#ifdef MIXORAMA_DEMO_DIR
TEST(RenderDemo, AllEightLoopsStayInStepForAMinute) {
  const int32_t rate = 11025;
  RenderRequest req;
  req.rate = rate;
  for (int s = 0; s < kChannelCount; ++s) {
    req.slots.emplace_back(s, (fs::path(MIXORAMA_DEMO_DIR) / kStartupSet[s]).string());
  }
  req.events = Script("0 move 175 175\n");
  req.durationMs = 60000;
  int32_t loopBytes = 0;
  req.afterTick = [&loopBytes](int64_t, const Mixer& m) { loopBytes = m.lengthBytes[0]; };
  const Rendered r = Render(req);
  ASSERT_TRUE(r.messages.empty()) << r.messages.front();
  ASSERT_GT(loopBytes, 0);
  const uint64_t loop = static_cast<uint64_t>(loopBytes) / 4;
  // Once every volume has settled and one whole loop has set the peak, each loop repeats the
  // previous one frame for frame.
  const uint64_t settled = FirstMixedFrame(rate, 50) + kRamp + loop;
  ASSERT_LT(settled + 2 * loop, r.frames());
  bool varies = false;
  for (uint64_t n = settled; n + loop < r.frames(); ++n) {
    ASSERT_EQ(r.Left(n), r.Left(n + loop)) << "frame " << n;
    ASSERT_EQ(r.Right(n), r.Right(n + loop)) << "frame " << n;
    varies = varies || r.Left(n) != r.Left(settled);
  }
  EXPECT_TRUE(varies);
}
#endif

}  // namespace
}  // namespace mixorama
