// The generated start-up set: each file has the format it is documented with, is audible but
// moderate, and every file converts to the same length at each output rate, so the loops stay
// in step. The files are read from the folder the build wrote them to.
#ifdef MIXORAMA_DEMO_DIR

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/wave_loader.h"
#include "recording_ui.h"

namespace mixorama {
namespace {

// One bar at 11025 Hz, in frames; a file at rate R holds this many times R / 11025.
constexpr int32_t kBarFrames11025 = 22048;

struct DemoFormat {
  const char* name;
  uint32_t rate;
  uint16_t bits;
  uint16_t channels;
};

// The formats of the set, as documented in docs/demo-set.md.
const DemoFormat kFormats[] = {
    {"BD7525.WAV", 44100, 16, 1}, {"CP.WAV", 22050, 8, 1},      {"MA.WAV", 44100, 16, 2},
    {"LT50.WAV", 11025, 8, 1},    {"SD0010.WAV", 22050, 16, 2}, {"CH.WAV", 22050, 8, 2},
    {"HC50.WAV", 11025, 16, 1},
};

void PrintTo(const DemoFormat& f, std::ostream* os) {
  *os << f.name << " (" << f.rate << " Hz, " << f.bits << " bits, " << f.channels << " ch)";
}

std::string DemoPath(const char* name) {
  return std::string(MIXORAMA_DEMO_DIR) + "/" + name;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  uint8_t buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + got);
  std::fclose(f);
  return bytes;
}

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8;
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}
std::string Tag(const std::vector<uint8_t>& b, size_t at) {
  return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}

// The generator writes the canonical 44-byte header: RIFF, WAVE, a 16-byte fmt chunk, data.
constexpr size_t kHeaderBytes = 44;

// Samples of a file's data chunk as values in [-1, 1), channels interleaved.
std::vector<double> Samples(const std::vector<uint8_t>& file, uint16_t bits) {
  std::vector<double> out;
  const size_t dataBytes = Le32(file, 40);
  if (bits == 8) {
    for (size_t i = 0; i < dataBytes; ++i) out.push_back((file[kHeaderBytes + i] - 128) / 128.0);
  } else {
    for (size_t i = 0; i + 1 < dataBytes; i += 2) {
      const auto v = static_cast<int16_t>(Le16(file, kHeaderBytes + i));
      out.push_back(v / 32768.0);
    }
  }
  return out;
}

class DemoFile : public ::testing::TestWithParam<DemoFormat> {};

TEST_P(DemoFile, HeaderDeclaresItsFormatAndOneBar) {
  const DemoFormat& f = GetParam();
  const std::vector<uint8_t> file = ReadWhole(DemoPath(f.name));
  ASSERT_GE(file.size(), kHeaderBytes) << f.name << " missing or short";
  EXPECT_EQ(Tag(file, 0), "RIFF");
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(Tag(file, 8), "WAVE");
  EXPECT_EQ(Tag(file, 12), "fmt ");
  EXPECT_EQ(Le32(file, 16), 16u);
  EXPECT_EQ(Le16(file, 20), 1u) << "PCM";
  EXPECT_EQ(Le16(file, 22), f.channels);
  EXPECT_EQ(Le32(file, 24), f.rate);
  const uint32_t blockAlign = f.channels * f.bits / 8u;
  EXPECT_EQ(Le32(file, 28), f.rate * blockAlign) << "average bytes per second";
  EXPECT_EQ(Le16(file, 32), blockAlign);
  EXPECT_EQ(Le16(file, 34), f.bits);
  EXPECT_EQ(Tag(file, 36), "data");
  const uint32_t frames = kBarFrames11025 * (f.rate / 11025u);
  EXPECT_EQ(Le32(file, 40), frames * blockAlign);
  EXPECT_EQ(file.size(), kHeaderBytes + frames * blockAlign);
}

TEST_P(DemoFile, IsAudibleWithAModeratePeak) {
  const DemoFormat& f = GetParam();
  const std::vector<uint8_t> file = ReadWhole(DemoPath(f.name));
  ASSERT_GE(file.size(), kHeaderBytes) << f.name << " missing or short";
  const std::vector<double> s = Samples(file, f.bits);
  double peak = 0.0, energy = 0.0;
  for (double v : s) {
    peak = std::fmax(peak, std::fabs(v));
    energy += v * v;
  }
  ASSERT_GT(peak, 0.0) << f.name << " is silent";
  const double peakDb = 20.0 * std::log10(peak);
  const double rmsDb = 10.0 * std::log10(energy / s.size());
  EXPECT_LE(peakDb, -5.5) << f.name << ": leaves headroom for the mix";
  EXPECT_GE(peakDb, -16.0) << f.name << ": loud enough to be heard in the mix";
  EXPECT_GE(rmsDb, -45.0) << f.name << ": more than a click";
}

TEST(DemoSet, StereoFilesHaveTwoDifferentSides) {
  for (const DemoFormat& f : kFormats) {
    if (f.channels != 2) continue;
    SCOPED_TRACE(f.name);
    const std::vector<uint8_t> file = ReadWhole(DemoPath(f.name));
    ASSERT_GE(file.size(), kHeaderBytes);
    const std::vector<double> s = Samples(file, f.bits);
    size_t differing = 0;
    for (size_t i = 0; i + 1 < s.size(); i += 2) differing += s[i] != s[i + 1] ? 1 : 0;
    EXPECT_GT(differing, s.size() / 20) << "mono in a stereo file";
  }
}

INSTANTIATE_TEST_SUITE_P(StartupSet, DemoFile, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<DemoFormat>& p) {
                           std::string n = p.param.name;
                           return n.substr(0, n.find('.'));
                         });

TEST(DemoSet, CoversEveryInputKind) {
  std::set<uint32_t> rates;
  std::set<std::pair<uint16_t, uint16_t>> kinds;
  for (const DemoFormat& f : kFormats) {
    rates.insert(f.rate);
    kinds.insert({f.bits, f.channels});
  }
  EXPECT_EQ(rates, (std::set<uint32_t>{11025, 22050, 44100}));
  EXPECT_EQ(kinds.size(), 4u) << "8 and 16 bits, mono and stereo";
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
