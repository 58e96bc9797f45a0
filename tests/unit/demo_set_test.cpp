// The generated start-up set: each file has its documented format and converts to the same
// length as the others at each output rate, so the loops stay in step.
#ifdef MIXORAMA_DEMO_DIR

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/wave_loader.h"
#include "recording_ui.h"

namespace mixorama {
namespace {

// One bar at 11025 Hz, in frames; a file at rate R holds this many times R / 11025.
constexpr int32_t kBarFrames11025 = 22048;
// The generator writes the canonical 44-byte header: RIFF, WAVE, a 16-byte fmt chunk, data.
constexpr size_t kHeaderBytes = 44;

struct DemoFormat {
  const char* name;
  uint32_t rate;
  uint16_t bits;
  uint16_t channels;
};

const DemoFormat kFormats[] = {
    {"BD7525.WAV", 44100, 16, 1}, {"CP.WAV", 22050, 8, 1},      {"MA.WAV", 44100, 16, 2},
    {"LT50.WAV", 11025, 8, 1},    {"SD0010.WAV", 22050, 16, 2}, {"CH.WAV", 22050, 8, 2},
    {"HC50.WAV", 11025, 16, 1},
};

std::string DemoPath(const char* name) {
  return std::string(MIXORAMA_DEMO_DIR) + "/" + name;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
  return v;
}

TEST(DemoSet, HeadersDeclareTheirFormatAndOneBar) {
  for (const DemoFormat& f : kFormats) {
    SCOPED_TRACE(f.name);
    const std::vector<uint8_t> file = ReadWhole(DemoPath(f.name));
    ASSERT_GE(file.size(), kHeaderBytes) << "missing or short";
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "WAVE");
    EXPECT_EQ(Le(file, 4, 4), file.size() - 8);
    EXPECT_EQ(Le(file, 22, 2), f.channels);
    EXPECT_EQ(Le(file, 24, 4), f.rate);
    EXPECT_EQ(Le(file, 34, 2), f.bits);
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    const uint32_t dataBytes = kBarFrames11025 * (f.rate / 11025u) * f.channels * f.bits / 8u;
    EXPECT_EQ(Le(file, 40, 4), dataBytes);
    EXPECT_EQ(file.size(), kHeaderBytes + dataBytes);
  }
}

// Frames at the end of a buffer that are wholly zero.
size_t TrailingZeroFrames(const uint8_t* data, size_t frames, size_t frameBytes) {
  size_t n = 0;
  while (n < frames) {
    const uint8_t* fr = data + (frames - 1 - n) * frameBytes;
    bool zero = true;
    for (size_t i = 0; i < frameBytes; ++i) zero = zero && fr[i] == 0;
    if (!zero) break;
    ++n;
  }
  return n;
}

class DemoSetAtRate : public ::testing::TestWithParam<int32_t> {};

// The whole start-up set loaded into its eight slots (slots 1 and 6 share the kick) at one
// output rate: no message, and every slot the same length, a whole bar.
TEST_P(DemoSetAtRate, EveryFileConvertsToOneBar) {
  const int32_t rate = GetParam();
  Mixer m;
  RecordingUi ui;
  m.ui = &ui;
  m.outputRate = rate;
  for (int c = 0; c < kChannelCount; ++c) {
    LoadWaveIntoSlot(m, DemoPath(kStartupSet[c]).c_str(), c);
  }
  EXPECT_EQ(ui.messages, std::vector<std::string>{});
  const int32_t barBytes = kBarFrames11025 * (rate / 11025) * kFrameBytes;
  for (int c = 0; c < kChannelCount; ++c) {
    SCOPED_TRACE(kStartupSet[c]);
    ASSERT_NE(m.sampleMemory[c], nullptr);
    EXPECT_EQ(m.active[c], 1);
    EXPECT_EQ(m.lengthBytes[c], barBytes);
    EXPECT_EQ(m.lengthBytes[c], m.lengthBytes[0]);
  }
}

// Loaded one at a time into slot 0: the length at 22050 and 44100 is exactly 2 and 4 times
// the length at 11025, the converted frames are not silent, and the conversion reaches the end
// of the raw data (no stretch of silence at the end that the file does not have).
TEST(DemoSetRates, LengthsScaleWithTheOutputRateAndReachTheEnd) {
  for (const DemoFormat& f : kFormats) {
    SCOPED_TRACE(f.name);
    const std::vector<uint8_t> file = ReadWhole(DemoPath(f.name));
    ASSERT_GE(file.size(), kHeaderBytes);
    const size_t inFrameBytes = f.channels * f.bits / 8u;
    const size_t inFrames = (file.size() - kHeaderBytes) / inFrameBytes;
    // Trailing silence of the source, in input frames: 8-bit silence is 128.
    size_t srcSilent = 0;
    for (size_t i = inFrames; i-- > 0;) {
      bool silent = true;
      for (size_t b = 0; b < inFrameBytes; ++b) {
        const uint8_t v = file[kHeaderBytes + i * inFrameBytes + b];
        silent = silent && (f.bits == 8 ? v == 128 : v == 0);
      }
      if (!silent) break;
      ++srcSilent;
    }
    int32_t length11025 = 0;
    for (int32_t rate : {11025, 22050, 44100}) {
      Mixer m;
      m.outputRate = rate;
      ASSERT_EQ(LoadWave(m, DemoPath(f.name).c_str(), 0), 1) << "at " << rate;
      if (rate == 11025) length11025 = m.lengthBytes[0];
      EXPECT_EQ(m.lengthBytes[0], length11025 * (rate / 11025)) << "at " << rate;
      const size_t frames = static_cast<size_t>(m.lengthBytes[0]) / kFrameBytes;
      const size_t zeroTail = TrailingZeroFrames(m.sampleData[0], frames, kFrameBytes);
      EXPECT_LT(zeroTail, frames) << "silent at " << rate;
      // Silence at the end, in seconds, may exceed the source's by a few output frames only
      // (the copy of whole input frames can drop the last one or two).
      EXPECT_LE(static_cast<double>(zeroTail) / rate,
                static_cast<double>(srcSilent) / f.rate + 4.0 / rate)
          << "at " << rate;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OutputRates, DemoSetAtRate, ::testing::Values(11025, 22050, 44100));

}  // namespace
}  // namespace mixorama

#endif  // MIXORAMA_DEMO_DIR
