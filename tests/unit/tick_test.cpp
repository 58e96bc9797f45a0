// The ring and the tick: one mixed frame, the fast tick against its frame-by-frame twin, the
// play position's wraps, the tick's paths and races, the engine init, start and stop.
#include <climits>

#include "engine/mix_terms.h"
#include "engine/mixer_tick.h"
#include "engine/playback.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

class Tick : public Engine {
 protected:
  Tick() { EXPECT_EQ(EngineInit(m), 1); }
  // Mixes one frame; returns its left and right output samples.
  std::pair<int, int> MixOne() {
    const uint8_t* out = m.outputRing + m.writeIndexBytes;
    MixOneFrame(m);
    return {static_cast<int16_t>(ReadLe16(out)), static_cast<int16_t>(ReadLe16(out + 2))};
  }
};

// One frame of one or two channels; the peak level before sets the gain divisor.
TEST_F(Tick, OneFrameSumsScalesAndDividesAsIntegers) {
  const struct {
    const char* what;
    std::vector<std::pair<int16_t, int16_t>> samples;  // one frame per channel
    int32_t volume;
    int32_t peakBefore;
    std::pair<int, int> out;
    int32_t peakAfter;
  } cases[] = {
      {"unity with divisor 1 gives the sample", {{768, -1000}}, 350, 32000, {768, -1000}, 33768},
      {"top sample", {{32767, 0}}, 350, 32000, {32767, 0}, 32768},
      {"full-scale negative doubles the divisor", {{-32768, 0}}, 350, 0, {0, 16384}, 65536},
      {"after sync: silent below 32000", {{769, 769}}, 350, 0, {0, 0}, 31999},
      {"after sync: sound from 32000 on", {{768, 768}}, 350, 0, {768, 768}, 32000},
      {"negative peak is raised before the divisor", {{768, 768}}, 350, -500, {768, 768}, 32000},
      {"volume 1 alone stays silent", {{-32768, -32768}}, 1, 0, {0, 0}, 187},
      {"divisor 3 truncates toward zero", {{1000, 1000}}, 350, 96000, {22179, 22179}, 96000},
      {"each product is truncated alone", {{0, 0}, {0, 0}}, 3, 32000, {32208, 32208}, 32000},
      {"an output of 32768 saturates", {{32767, 32767}}, 1, 32000, {32767, 32767}, 32000},
      {"no channel: silence, peak kept", {}, 350, 64000, {0, 0}, 64000},
  };
  for (const auto& c : cases) {
    for (int ch = 0; ch < kChannelCount; ++ch) UnloadChannel(m, ch);
    for (size_t ch = 0; ch < c.samples.size(); ++ch) {
      ASSERT_EQ(LoadFrames({c.samples[ch]}, static_cast<int>(ch) * 3), 1);
      m.volume[ch * 3] = m.targetVolume[ch * 3] = c.volume;
    }
    m.peakLevel = c.peakBefore;
    EXPECT_EQ(MixOne(), c.out) << c.what;
    EXPECT_EQ(m.peakLevel, c.peakAfter) << c.what;
  }
}

// The ring, the indexes, the peak and every channel's position and volume.
std::vector<int64_t> State(const Mixer& m) {
  std::vector<int64_t> v(m.outputRing, m.outputRing + m.ringSizeBytes);
  v.insert(v.end(), {m.peakLevel, m.writeIndexBytes});
  v.insert(v.end(), m.readPosBytes, m.readPosBytes + kChannelCount);
  v.insert(v.end(), m.volume, m.volume + kChannelCount);
  return v;
}

// A channel of the fast mixer's cases: its wave's frames and its state before the first tick.
struct ChannelSetUp {
  int slot;
  Bytes frames;  // 16-bit stereo data as the wave file holds it
  int32_t volume, target, readPos;
};

// frames frames of the single value sample on both sides, then, if given, one of last.
Bytes Constant(size_t frames, int16_t sample, int32_t last = INT32_MIN) {
  Bytes b;
  for (size_t i = 0; i < frames; ++i) PutLe32(b, static_cast<uint16_t>(sample) * 0x10001u);
  if (last != INT32_MIN) PutLe32(b, static_cast<uint16_t>(last) * 0x10001u);
  return b;
}

// The tick's fast mixer gives the bytes and the state of frame-by-frame mixing, over three
// ticks of each timing at 44100 (the live 128 frames in a 256-frame ring, the program's 2205
// frames in a quarter-second ring), the ring's end falling inside the first tick.
TEST(FastTick, MatchesFrameByFrameMixing) {
  const struct {
    const char* what;
    std::vector<ChannelSetUp> channels;
    int32_t peak;
  } cases[] = {
      {"no channel, below a peak of 32000", {}, 0},
      {"no channel, divisor set", {}, 64000},
      {"quiet channel below a peak of 32000", {{1, Pattern(400, 7), 30, 30, 0}}, 20000},
      // A sample of 32767 at volume 200 has no magnitude: 32768 out, held at 32767. The last
      // frame raises the peak by one.
      {"32768 saturates, divisor 1", {{4, Constant(300, 32767, -32768), 200, 200, 0}}, 37448},
      {"32768 saturates, divisor 2", {{4, Constant(30, 32767), 1, 1, 0}}, 64000},
      {"32768 saturates, divisor beyond the reciprocal's",
       {{4, Constant(30, 32767), 1, 1, 0}},
       1 << 30},
      // Waves ending and ramps ending within a tick, at steady, unity and ramping volumes.
      {"wraps and ramps",
       {{0, Pattern(12, 1), 340, 350, 4},
        {2, Pattern(4000, 2), 200, 20, 3996},
        {3, Pattern(20000, 3), 350, 350, 8},
        {5, Pattern(1204, 4), 1, 300, 0},
        {7, Pattern(148, 5), 349, 349, 140}},
       -300},
      // Eight full-scale channels ramping up: the peak rises through divisors 1 to 16.
      {"peak rising",
       {{0, Constant(7, -32768), 1, 350, 0},
        {1, Constant(9, -32768), 50, 350, 0},
        {2, Constant(11, 32767), 1, 350, 0},
        {3, Constant(13, -32768), 9, 350, 0},
        {4, Constant(17, -32768), 1, 350, 0},
        {5, Constant(19, -32768), 100, 350, 0},
        {6, Constant(23, -32768), 1, 350, 0},
        {7, Pattern(116, 6), 1, 350, 0}},
       0},
  };
  for (OutputTiming timing : {OutputTiming::kLive, OutputTiming::kProgram}) {
    const int32_t frames = timing == OutputTiming::kLive ? kLiveTickFrames : 2205;
    for (const auto& c : cases) {
      Mixer fast, single;
      Device fastDevice, singleDevice;
      fast.device = &fastDevice;
      single.device = &singleDevice;
      for (Mixer* x : {&fast, &single}) {
        SetOutputTiming(*x, 44100, timing);
        ASSERT_EQ(EngineInit(*x), 1);
        for (const ChannelSetUp& ch : c.channels) {
          ASSERT_EQ(Load(*x, PcmWave(2, 16, 44100, ch.frames), ch.slot), 1);
          x->volume[ch.slot] = ch.volume;
          x->targetVolume[ch.slot] = ch.target;
          x->readPosBytes[ch.slot] = ch.readPos;
        }
        x->peakLevel = c.peak;
        x->writeIndexBytes = x->ringSizeBytes - 40;
      }
      for (int tick = 1; tick <= 3; ++tick) {
        MixFrames(fast, frames);
        for (int32_t i = 0; i < frames; ++i) MixOneFrame(single);
        ASSERT_EQ(State(fast), State(single)) << c.what << ", tick " << tick << " of " << frames;
      }
    }
  }
}

// The fast tick's arithmetic, for every input it can meet: the browser build's reading of a
// sample, the 16-bit and the 32-bit term (the browser build's) of each sample at each steady
// volume, and the float quotient of each sum of up to eight full-scale channels by each divisor
// such a sum can set.
TEST(FastTick, ArithmeticIsThePlainQuotient) {
  for (int32_t s = -32768; s <= 32767; ++s) {
    const uint8_t stored[2] = {static_cast<uint8_t>(s >> 8), static_cast<uint8_t>(s)};
    ASSERT_EQ(SampleMagnitude(stored), static_cast<uint32_t>(32768 - s)) << s;
  }
  for (int32_t v = 1; v < kUnityVolume; ++v) {
    const uint16_t multiplier = SteadyMultiplier(v);
    const uint32_t wide = WideMultiplier(v);
    for (uint32_t w = 0; w <= 0xFFFF; ++w) {
      const uint32_t plain = static_cast<uint32_t>(v) * (w + 1) / kUnityVolume;
      const uint32_t term =
          SteadyTerm(static_cast<uint16_t>(w), static_cast<uint16_t>(v), multiplier);
      const uint32_t wideTerm = SteadyTermWide(w + 1, wide >> 16, wide & 0xFFFFu);
      if (term != plain || wideTerm != plain) {
        FAIL() << "volume " << v << ", w " << w << ": " << term << ", " << wideTerm;
      }
    }
  }
  for (int32_t d = 1; d <= 8 * 65536 / 32000; ++d) {
    const float inverse = DivisorInverse(d);
    for (uint32_t sum = 0; sum <= 8 * 65536; ++sum) {
      if (HeldPeakQuotient(sum, inverse) != sum / static_cast<uint32_t>(d)) {
        FAIL() << "sum " << sum << " / " << d << ": " << HeldPeakQuotient(sum, inverse);
      }
      if (sum < 32000u * (d + 1) &&
          HeldPeakOutputWide(sum, inverse) != HeldPeakOutput(sum / static_cast<uint32_t>(d))) {
        FAIL() << "sum " << sum << " / " << d << ": output " << HeldPeakOutputWide(sum, inverse);
      }
    }
  }
}

TEST(PlayedBytes, CountForwardModuloTheRingAsTheCountComes) {
  const struct {
    uint32_t bytesPlayed, ring;
    int32_t last, d, newLast;
  } cases[] = {
      {40, 11024, 0, 40, 40},
      {11024 + 20, 11024, 11000, 44, 20},
      {11024 * 3 + 8, 11024, 4, 4, 8},  // a whole ring late: only the remainder
      {0xFFFFFFFFu, 44100, 0, 0xFFFFFFFFu % 44100, 0xFFFFFFFFu % 44100},
      {3, 22048, 0xFFFFFFFFu % 22048, 3 + 22048 - 0xFFFFFFFFu % 22048, 3},  // past 2^32
  };
  for (const auto& c : cases) {
    int32_t last = c.last;
    EXPECT_EQ(PlayedBytesSince(c.bytesPlayed, c.ring, last), c.d) << c.bytesPlayed;
    EXPECT_EQ(last, c.newLast) << c.bytesPlayed;
  }
}

// One tick from a known state (40 bytes played): write index, guard and calls after it.
TEST_F(Tick, EachTickMixesWhatWasPlayedOrLeavesTheRingAlone) {
  using Set = std::function<void(Mixer&, Device&)>;
  const Set partial = [](Mixer&, Device& d) { d.position = 42; };
  const Set guarded = [](Mixer& x, Device&) { x.tickGuard = 1; };
  const Set notLive = [](Mixer& x, Device&) { x.live = 0; };
  const Set stopped = [](Mixer& x, Device&) { x.playing = 0; };
  const Set closed = [](Mixer&, Device& d) { d.open = false; };
  const Set failing = [](Mixer&, Device& d) { d.positionStatus = DeviceStatus::kError; };
  // While the tick waits for the answer, a stop begins (the failure is nobody's), or a new
  // playback starts (the answer is the old one's).
  const Set stopping = [](Mixer& x, Device& d) {
    d.positionStatus = DeviceStatus::kError;
    d.onPosition = [&x] { x.playing = 0; };
  };
  const Set restarting = [](Mixer& x, Device& d) {
    d.onPosition = [&x] {
      std::lock_guard<std::mutex> hold(x.lock);
      ++x.playSession;
    };
  };
  // The query fails, and meanwhile the user stopped and started again: the new playback's
  // timer and device live on, and the old failure is not reported.
  const Set failingRestarted = [&](Mixer& x, Device& d) {
    failing(x, d);
    restarting(x, d);
    x.timerId = 8;
  };
  const std::string failed = std::string("info:") + MessageText(Msg::kNoPosition);
  const struct {
    const char* what;
    Set setUp;
    uint32_t writeIndex;
    int32_t guard;
    std::vector<std::string> log;
  } cases[] = {
      {"plays", nullptr, 40, 0, {"position"}},
      {"a partial frame counts whole", partial, 44, 0, {"position"}},
      {"guarded", guarded, 0, 1, {}},
      {"not live", notLive, 0, 0, {}},
      {"not playing", stopped, 0, 0, {}},
      {"no device", closed, 0, 0, {}},
      {"failed query",
       failing,
       0,
       0,
       {"position", "kill:7", "reset", "unprepare", "close", failed, "guard:1"}},
      {"stopped while asking", stopping, 0, 0, {"position"}},
      {"restarted while asking", restarting, 0, 0, {"position"}},
      {"failed, restarted while asking", failingRestarted, 0, 0, {"position"}},
  };
  ASSERT_EQ(LoadFrames({{768, 768}}, 1), 1);
  m.volume[1] = m.targetVolume[1] = 350;
  timer.alsoLog = &device.log;
  ui.onInfo = [&](const std::string& t) {
    device.log.push_back("info:" + t);
    device.log.push_back("guard:" + std::to_string(m.tickGuard.load()));
  };
  for (const auto& c : cases) {
    m.writeIndexBytes = m.lastPlayPosBytes = 0;
    m.tickGuard = 0;
    m.playing = m.live = 1;
    m.timerId = 7;
    device.open = true;
    device.onPosition = nullptr;
    device.position = 40;
    device.positionStatus = DeviceStatus::kOk;
    if (c.setUp) c.setUp(m, device);
    device.log.clear();
    ui.calls.clear();
    TimerCallback(&m);
    EXPECT_EQ(m.writeIndexBytes, c.writeIndex) << c.what;
    EXPECT_EQ(m.tickGuard, c.guard) << c.what;
    EXPECT_EQ(device.log, c.log) << c.what;
  }
  EXPECT_EQ(ReadLe16(m.outputRing + 36), 768);  // the frames went behind the play position
}

void* NoBlock(size_t) {
  return nullptr;
}

TEST_F(Engine, EngineInitRefusesWithItsMessages) {
  const DeviceCaps mono{0x1, 1}, noBit0{0xFFFFE, 2}, none = Device::kNoAnswer;
  const struct {
    bool noMemory;
    uint32_t count;
    std::vector<DeviceCaps> caps;
    int result;
    Msg message;
    uint16_t channels;
  } cases[] = {
      {true, 1, {mono}, 0, Msg::kNoRing, 0},
      {false, 0, {}, 0, Msg::kNoAudioCard, 0},
      {false, 2, {noBit0, none}, 0, Msg::kBadCardFormat, 0},
      {false, 2, {noBit0, mono}, 1, Msg::kMonoCard, 1},
      {false, 2, {none, none}, 1, Msg::kNone, 2},
  };
  for (const auto& c : cases) {
    Mixer fresh;
    fresh.device = &device;
    fresh.ui = &ui;
    if (c.noMemory) fresh.allocator.allocZeroed = &NoBlock;
    device.count = c.count;
    device.caps = c.caps;
    ui.messages.clear();
    fresh.engineReady = 1;
    const std::string text = MessageText(c.message);
    EXPECT_EQ(EngineInit(fresh), c.result) << text;
    EXPECT_EQ(ui.messages.empty() ? "" : ui.messages[0], text) << text;
    if (c.result == 1) {
      EXPECT_EQ(fresh.format.channels, c.channels) << text;
      EXPECT_EQ(fresh.format.avgBytesPerSec, 11025u * 2 * c.channels) << text;
    }
    EXPECT_EQ(fresh.outputRing == nullptr, c.noMemory) << text;
    EXPECT_EQ(fresh.engineReady, c.result) << text;
  }
}

// A failed open, prepare or write closes what was opened and says which step failed.
TEST_F(Engine, DeviceOpenFailuresCloseAgainAndTell) {
  ASSERT_EQ(EngineInit(m), 1);
  const Msg messages[] = {Msg::kOpenDriver, Msg::kPrepareFailed, Msg::kWriteFailed};
  std::vector<std::string> steps = {"open", "prepare", "write"};
  for (int failing = 0; failing < 3; ++failing) {
    device.failingStep = failing + 1;
    device.log.clear();
    ui.messages.clear();
    DeviceOpen(m);
    std::vector<std::string> log(steps.begin(), steps.begin() + failing + 1);
    if (failing > 0) log.insert(log.end(), {"unprepare", "close"});
    EXPECT_EQ(device.log, log);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MessageText(messages[failing])});
    EXPECT_FALSE(device.open);
  }
}

// Start: sync, live from hover, indexes, open, timer, playing. Stop: the reverse, then silence.
TEST_F(Engine, StartAndStopPlaybackInOrder) {
  StartPlayback(m);  // engine not ready: nothing
  StopPlayback(m);
  EXPECT_TRUE(device.log.empty() && timer.log.empty());

  m.engineReady = EngineInit(m);
  ASSERT_EQ(LoadFrames({{1, 1}, {2, 2}}, 0), 1);
  ASSERT_EQ(LoadFrames({{1, 1}, {2, 2}}, 7), 1);
  m.readPosBytes[0] = m.readPosBytes[7] = 4;
  m.peakLevel = 99;
  m.writeIndexBytes = 8;
  m.lastPlayPosBytes = 9;
  m.mapHover = 1;
  device.log.clear();
  timer.alsoLog = &device.log;
  StartPlayback(m);
  EXPECT_EQ(device.log, (std::vector<std::string>{"open", "prepare", "write", "start:50"}));
  EXPECT_EQ(device.buffer.data, m.outputRing);
  EXPECT_EQ(std::vector<int64_t>({device.buffer.loops, device.format.avgBytesPerSec}),
            std::vector<int64_t>({10000000, 44100}));
  EXPECT_EQ(std::vector<int64_t>({m.readPosBytes[0], m.readPosBytes[7], m.peakLevel,
                                  m.writeIndexBytes, m.lastPlayPosBytes, m.live, m.playing}),
            std::vector<int64_t>({0, 0, 0, 0, 0, 1, 1}));

  device.log.clear();
  StopPlayback(m);
  EXPECT_EQ(device.log, (std::vector<std::string>{"reset", "unprepare", "close", "kill:41"}));
  EXPECT_EQ(m.playing + m.live, 0);
  for (uint32_t i = 0; i < m.ringSizeBytes; i += 2) ASSERT_EQ(ReadLe16(m.outputRing + i), 0x80);
}

}  // namespace
}  // namespace mixorama::test
