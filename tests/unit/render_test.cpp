// Scripted performances on the virtual device, as mixorama-render mix plays them: golden digests
// anchored by properties a wrong golden could not pass, the clock, and the script's syntax.
#include <algorithm>
#include <tuple>

#include "ui/render_session.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

struct Rendered {
  Bytes frames;
  std::vector<std::string> messages;
};

Rendered Render(RenderRequest request) {
  Rendered r;
  RenderMix(
      request, [&](const uint8_t* b, size_t n) { r.frames.insert(r.frames.end(), b, b + n); },
      [&](const char* text) { r.messages.emplace_back(text); });
  return r;
}

// An 8-bit mono loop whose samples stay between -30976 and 0: a single channel at full
// volume then keeps the gain divisor at 1 and is played back exactly.
Bytes QuietLoop(size_t samples) {
  Bytes data = Pattern(samples, 7);
  for (uint8_t& u : data) u = static_cast<uint8_t>(7 + u % 122);
  return PcmWave(1, 8, 8000, data);
}

class Rates : public ::testing::TestWithParam<int32_t> {};
INSTANTIATE_TEST_SUITE_P(Render, Rates, ::testing::Values(11025, 22050, 44100));

// Map moves, locks, mutes and Sync from a controller play as the same moves, keyed clicks and
// Sync of the mouse; messages the mapping does not use change nothing. A fader at 64 sets slot
// 1's level to 1 + floor(64 * 349 / 127) = 176, which the mouse locks 174 pixels below the
// slot's point. Map X and Y give floor(v * 349 / 127): 0, 175 and 349 for 0, 64 and 127.
TEST_P(Rates, AControllerPlaysAsTheMouseAndKeys) {
  const std::string a = "ctla.wav", b = "ctlb.wav";
  WriteFile(a, PcmWave(2, 16, 22050, Pattern(4 * 4001, 11)));
  WriteFile(b, PcmWave(1, 8, 11025, Pattern(2999, 12)));
  RenderRequest request;
  request.rate = GetParam();
  request.slots = {{0, a}, {1, b}, {4, a}, {6, b}};
  request.durationMs = 2000;
  const std::pair<const char*, const char*> performances[] = {
      {"0 midi B0 1C 40\n200 midi B0 1D 00\n300 midi 90 2C 7F\n300 midi 80 2C 00\n"
       "420 midi B0 1C 00\n600 midi 99 28 7F\n700 midi 9F 35 01\n900 midi 90 2D 7F\n"
       "1100 midi 90 24 7F\n1300 midi B0 1D 7F\n1500 midi 90 28 40\n1700 midi 90 35 7F\n"
       "1800 midi F8\n1800 midi B0 1E 7F\n1800 midi 90 2C\n1800 midi B0 1C 80\n1800 midi",
       "0 move 175 175\n200 move 175 0\n300 left 1\n420 move 0 0\n600 right 5\n700 sync\n"
       "900 left 2\n1100 right 1\n1300 move 0 349\n1500 right 5\n1700 sync"},
      {"0 midi B0 14 40\n0 midi B0 1D 7F", "0 move 87 174\n0 left 1\n0 move 175 349"},
  };
  for (const auto& [controller, mouse] : performances) {
    request.events = Script(controller);
    const Bytes played = Render(request).frames;
    request.events = Script(mouse);
    EXPECT_EQ(Digest(played), Digest(Render(request).frames)) << controller;
    EXPECT_NE(played, Bytes(played.size(), 0));
  }
}

// Every verb, every input kind, a missing file, keys, Sync, leaving the map: kept as digests.
TEST_P(Rates, BusyPerformanceGivesItsGoldenBytes) {
  const int32_t rate = GetParam();
  const std::string a = "mixa.wav", b = "mixb.wav", c = "mixc.wav", d = "mixd.wav";
  // Every input kind; a channel count other than 1 reads as stereo, a sample size other than 8
  // bits as 16 bits.
  WriteFile(a, PcmWave(3, 16, 22050, Pattern(4 * 9000, 1)));
  WriteFile(b, PcmWave(1, 12, 44100, Pattern(2 * 20000, 2)));
  WriteFile(c, PcmWave(2, 8, 11025, Pattern(2 * 5000, 3)));
  WriteFile(d, PcmWave(1, 8, 8000, Pattern(3000, 4)));
  RenderRequest request;
  request.rate = rate;
  request.slots = {{0, a}, {1, b}, {3, d}, {4, c}};
  request.events = Script(
      "0 move 87 10\n300 left\n420 move 0 87\n600 right 5\n700 sync\n820 load 4 mixc.wav\n"
      "900 load 6 mixc.missing\n1100 unload 2\n1300 move 175 175\n1330 right\n1500 left 2\n"
      "1700 move 400 400\n1800 left 5\n1900 sync\n2300 load 7 mixc.missing\n");
  request.durationMs = 2300;
  const Rendered r = Render(request);
  EXPECT_EQ(r.messages, std::vector<std::string>(2, MessageText(Msg::kOpenFile)));
  ASSERT_EQ(r.frames.size(), FramesByTime(rate, 2300) * 4);
  // A shorter render is a prefix: nothing depends on when the performance ends.
  request.durationMs = 1234;
  const Rendered shorter = Render(request);
  EXPECT_EQ(shorter.frames,
            Bytes(r.frames.begin(), r.frames.begin() + static_cast<long>(shorter.frames.size())));
  const uint64_t golden = rate == 11025   ? 0xbedefa605a0a483aull
                          : rate == 22050 ? 0x7a53a9cfbd7517f7ull
                                          : 0xaad8286e78c4c8eeull;
  EXPECT_EQ(Digest(r.frames), golden) << std::hex << "0x" << Digest(r.frames);
}

using RateTiming = std::tuple<int32_t, OutputTiming>;
class Clock : public ::testing::TestWithParam<RateTiming> {};
INSTANTIATE_TEST_SUITE_P(Render, Clock,
                         ::testing::Combine(::testing::Values(11025, 22050, 44100),
                                            ::testing::Values(OutputTiming::kProgram,
                                                              OutputTiming::kLive)));

// One channel at full volume: after a ring of silence and the ramp, the converted wave itself,
// brought there by the mouse on its point or by its fader at 127 and a map move elsewhere. A
// Sync then restarts the loop, so the first frame it changes shows which tick it ran before: one
// at t lands before tick k, whose mixed frames are heard one ring after the frames played
// before it. Events on a tick's frame, one millisecond after, at 0 and after the last tick.
TEST_P(Clock, FullVolumeIsBitExactAndAnEventRunsBeforeTheFirstTickAtOrAfterItsFrame) {
  const auto [rate, timing] = GetParam();
  const bool live = timing == OutputTiming::kLive;
  // Tick k's frame count, and a time whose frame count is exactly a tick's (tick `onTick`).
  const auto tickFrames = [&](int64_t k) { return live ? 128 * k : 50 * k * rate / 1000; };
  const int64_t onTickMs = live ? 5120 * 11025 / rate : 1250;
  const int64_t onTick = live ? 441 : 25;
  ASSERT_EQ(tickFrames(onTick), onTickMs * rate / 1000);
  const int64_t ring = RingSizeFor(rate, timing) / 4;

  const Bytes file = QuietLoop(3001);
  const std::string path = "clock" + std::to_string(rate) + ".wav";
  WriteFile(path, file);
  Mixer m;  // the wave as the converter makes it
  SetOutputTiming(m, rate, timing);
  ASSERT_EQ(Load(m, file, 0), 1);
  // Until a ring after the second case below, with the last tick before the end.
  RenderRequest request{rate, timing, {{0, path}}, {}, onTickMs + 370};
  Bytes plain;  // the mouse's, the last; live, one tick's moves run in time, then file, order
  const char* mouse = live ? "1 move 0 0\n1 move 87 0\n0 move 3 3" : "0 move 87 0";
  for (const char* script : {"0 midi B0 14 7F\n0 midi B0 1D 7F", mouse}) {
    request.events = Script(script);
    plain = Render(request).frames;
    ASSERT_EQ(plain.size(), FramesByTime(rate, request.durationMs) * 4);
    for (int64_t n = 0; n < static_cast<int64_t>(plain.size() / 4); ++n) {
      if (n >= ring && n < ring + 350) continue;  // the ramp
      const uint8_t* f = m.sampleData[0] + (n < ring ? 0 : (n - ring) % (m.lengthBytes[0] / 4) * 4);
      const int16_t want = n < ring ? 0 : static_cast<int16_t>(f[0] << 8 | f[1]);
      ASSERT_EQ(static_cast<int16_t>(ReadLe16(&plain[n * 4])), want) << script << ", " << n;
    }
  }
  const int64_t lastTick =
      live ? static_cast<int64_t>(plain.size() / 4) / 128 : request.durationMs / 50;
  const struct {
    int64_t ms;
    int64_t firstChanged;  // -1: nothing heard
  } cases[] = {
      {onTickMs, tickFrames(onTick - 1) + ring},
      {onTickMs + 1, tickFrames(onTick) + ring},
      {0, -1},  // the loop starts there anyway
      {request.durationMs, -1},
  };
  ASSERT_GT(request.durationMs * rate / 1000, tickFrames(lastTick));
  for (const auto& c : cases) {
    RenderRequest synced = request;
    synced.events.push_back(Script(std::to_string(c.ms) + " sync")[0]);
    const Bytes r = Render(synced).frames;
    ASSERT_EQ(r.size(), plain.size());
    const auto changed = std::mismatch(r.begin(), r.end(), plain.begin()).first;
    const int64_t first = changed == r.end() ? -1 : (changed - r.begin()) / 4;
    EXPECT_EQ(first, c.firstChanged) << c.ms << " ms";
  }
}

TEST(Script, BadLinesAreNamed) {
  const std::pair<std::string, const char*> cases[] = {
      {"10 move 1", "line 1: move needs X and Y, whole numbers from -32768 to 32767"},
      {"\n-5 sync", "line 2: '-5' is not a time in whole milliseconds"},
      {"5 left 9", "line 1: keypad keys are 1 to 8"},
      {"5 right 0", "line 1: keypad keys are 1 to 8"},
      {"5 load 1 " + std::string(260, 'x'), "line 1: the file name is longer than 259 characters"},
      {"5 load 9 x.wav", "line 1: load needs a slot number from 1 to 8"},
      {"5 load 1", "line 1: load needs a file"},
      {"5 jump", "line 1: unknown verb 'jump'"},
      {"5 sync now", "line 1: unexpected 'now'"},
      {"5", "line 1: a verb is missing after the time"},
      {"5 midi B0 1C4", "line 1: '1C4' is not a byte in two hex digits"},
      {"5 midi 90 g0 7F", "line 1: 'g0' is not a byte in two hex digits"},
  };
  for (auto [text, message] : cases) {
    std::vector<ScriptEvent> events;
    std::string error;
    EXPECT_FALSE(ParseScript(text, events, error)) << text;
    EXPECT_EQ(error, message);
  }
  const std::vector<ScriptEvent> e = Script(
      "# a comment\r\n10 move -3 351 # inline\n\n20 right 8\r\n30 unload 3\n"
      "40 midi\n50 midi fF 0a 00 7f");
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].y, 351);
  EXPECT_EQ(e[1].keypadKey, 8);
  EXPECT_EQ(e[2].slot, 2);
  EXPECT_EQ(e[3].bytes, Bytes());
  EXPECT_EQ(e[4].bytes, Bytes({0xFF, 0x0A, 0x00, 0x7F}));
}

}  // namespace
}  // namespace mixorama::test
