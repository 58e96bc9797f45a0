// Loading wave files into slots: malformed-file corpus, failure order, positions, labels.
#include "engine/wave_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "unit/recording_ui.h"
#include "unit/wave_test_util.h"

namespace mixorama {
namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::FmtBody;
using wavetest::Riff;

struct AllocStats {
  int calls = 0;
  int failOnCall = 0;  // 1-based; 0: never fail
  size_t largest = 0;
  int live = 0;
};
AllocStats g_alloc;

BlockAllocator Tracked() {
  BlockAllocator a;
  a.allocZeroed = [](size_t bytes) -> void* {
    ++g_alloc.calls;
    g_alloc.largest = std::max(g_alloc.largest, bytes);
    if (g_alloc.calls == g_alloc.failOnCall) return nullptr;
    void* p = DefaultBlockAllocator().allocZeroed(bytes);
    if (p != nullptr) ++g_alloc.live;
    return p;
  };
  a.release = [](void* block) {
    if (block != nullptr) --g_alloc.live;
    DefaultBlockAllocator().release(block);
  };
  return a;
}

// A good 16-bit stereo wave at 11025 Hz: RIFF, fmt, an odd-sized LIST (padded), data.
// Offsets: fmt header 12, LIST header 36, data header 50, data 58..98.
Bytes GoodWave() {
  return Riff({Chunk("fmt ", FmtBody(1, 2, 11025, 16)), Chunk("LIST", {'I', 'N', 'F', 'O', 'x'}),
               Chunk("data", wavetest::StereoFrameRamp(10))});
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_alloc = AllocStats{};
    m.allocator = Tracked();
    m.ui = &ui;
  }

  std::string PathFor(const std::string& name) {
    return ::testing::TempDir() + "mixorama_" + name + ".wav";
  }
  std::string WriteWave(const std::string& name, const Bytes& bytes) {
    const std::string path = PathFor(name);
    EXPECT_TRUE(wavetest::WriteFileBytes(path, bytes)) << path;
    return path;
  }
  // Loads a good wave into slot and forgets the calls it made.
  void Preload(int slot) {
    LoadWaveIntoSlot(m, WriteWave("preload", GoodWave()).c_str(), slot);
    ASSERT_EQ(m.active[slot], 1);
    ui.Clear();
  }

  Mixer m;
  RecordingUi ui;
};

struct CorpusCase {
  const char* name;
  Bytes bytes;
  const char* message;  // nullptr: loads
};

Bytes WithFmt(const Bytes& fmtChunk, const Bytes& data = wavetest::StereoFrameRamp(10)) {
  return Riff({fmtChunk, Chunk("data", data)});
}

Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t bytes = 16) {
  return Chunk("fmt ", FmtBody(tag, channels, rate, bits, bytes));
}

Bytes Resized(Bytes b, size_t size) {
  b.resize(size, 0);
  return b;
}

std::vector<CorpusCase> Corpus() {
  const Bytes ramp = wavetest::StereoFrameRamp(10);
  const Bytes fmt = Fmt(1, 2, 11025, 16);
  const Bytes good = GoodWave();
  const char* e1 = "Error reading file (1)";
  const char* e2 = "Error reading file (2)";
  const char* e4 = "Error reading file (4)";
  const char* notPcm = "The wave must be a PCM wave";
  return {
      {"Good", good, nullptr},
      {"JunkBeforeRiff", wavetest::Concat({Chunk("JUNK", {1, 2, 3}), good}), nullptr},
      {"OtherFormBeforeWave", wavetest::Concat({Riff({fmt}, "AVI "), good}), nullptr},
      {"OtherFormOnly", Riff({fmt, Chunk("data", ramp)}, "AVI "), e1},
      {"EmptyFile", {}, e1},
      {"RiffWithoutForm", {'R', 'I', 'F', 'F', 4, 0, 0, 0}, e1},
      // A top-level chunk claiming nearly 4 GiB is skipped past the end, not wrapped around.
      {"HugeTopLevelChunk", wavetest::Concat({Chunk("JUNK", {}, 0xFFFFFFFE), good}), e1},
      {"HugeSubchunkBeforeFmt",
       Riff({Chunk("JUNK", {}, 0xFFFFFFFF), fmt, Chunk("data", ramp)}, "WAVE", 0xFFFFFFFF), e2},
      {"NoFmt", Riff({Chunk("data", ramp)}), e2},
      {"RiffSizeEndsAtForm", Riff({fmt, Chunk("data", ramp)}, "WAVE", 4), e2},
      {"FmtHeaderStraddlesRiffEnd", Riff({fmt, Chunk("data", ramp)}, "WAVE", 8), e2},
      {"FmtBodyCutShort", Resized(Riff({fmt}, "WAVE", 1000), 30), "Error reading file (3)"},
      {"FmtSize0", WithFmt(Chunk("fmt ", {})), notPcm},
      {"FloatTag", WithFmt(Fmt(3, 2, 11025, 32)), notPcm},
      {"ExtensibleTag", WithFmt(Fmt(0xFFFE, 2, 11025, 16)), notPcm},
      {"Fmt14", WithFmt(Fmt(1, 2, 11025, 16, 14)), nullptr},
      {"Fmt18", WithFmt(Fmt(1, 2, 11025, 16, 18)), nullptr},
      {"OddFmtPadded", WithFmt(Fmt(1, 2, 11025, 16, 17)), nullptr},
      {"OddDataPadded", WithFmt(Fmt(1, 1, 11025, 8), {1, 2, 3}), nullptr},
      {"DataBeforeFmt", Riff({Chunk("data", ramp), fmt}), e4},
      {"NoData", Riff({fmt, Chunk("LIST", {1, 2, 3, 4})}), e4},
      {"FmtSizeBeyondEof",
       Riff({Chunk("fmt ", FmtBody(1, 2, 11025, 16), 1000), Chunk("data", ramp)}), e4},
      {"RiffSizeEndsBeforeData", Riff({fmt, Chunk("data", ramp)}, "WAVE", 28), e4},
      {"EmptyData", WithFmt(fmt, {}), "Error locking memory"},
      {"DataSizeBeyondEofByOne", Resized(WithFmt(fmt), WithFmt(fmt).size() - 1),
       "Error reading file (5)"},
      {"DataSizeFourGiB", Resized(Riff({fmt, Chunk("data", {1, 2, 3, 4}, 0xFFFFFFFF)}), 100),
       "Error reading file (5)"},
      {"RateZero", WithFmt(Fmt(1, 2, 0, 16)), "The wave must have a sample rate"},
      // 16-bit stereo at 44100 into 11025: 4 data bytes give a raw length of 1.
      {"LessThanOneFrame", WithFmt(Fmt(1, 2, 44100, 16), {1, 2, 3, 4}), "The wave is too short"},
      // 8-bit mono at 1 Hz into 11025: 600000 x 11025 x 4 bytes do not fit the length field.
      {"LengthBeyond32Bits", WithFmt(Fmt(1, 1, 1, 8), Bytes(600000, 0x80)), "Memory Error"},
  };
}

class LoaderCorpus : public LoaderTest, public ::testing::WithParamInterface<CorpusCase> {};

TEST_P(LoaderCorpus, MessageAndSlotState) {
  const CorpusCase& c = GetParam();
  Preload(3);
  void* previous = m.sampleMemory[3];
  m.volume[3] = 200;
  m.locked[3] = 1;
  m.muted[3] = 1;
  const int32_t peakBefore = m.peakLevel;
  const std::string path = WriteWave(c.name, c.bytes);

  bool channelWhileShowing = false;
  ui.onInfoBox = [&](const std::string&) {
    channelWhileShowing = m.active[3] == 1 && m.sampleMemory[3] == previous;
  };
  const size_t largestBefore = g_alloc.largest;
  g_alloc.largest = 0;
  LoadWaveIntoSlot(m, path.c_str(), 3);
  // Nothing near the size a header claims is ever asked for: at most the converted length.
  EXPECT_LE(g_alloc.largest, std::max<size_t>(largestBefore, 1u << 20));

  if (c.message == nullptr) {
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(m.active[3], 1);
    EXPECT_NE(m.sampleMemory[3], nullptr);
    EXPECT_GE(m.lengthBytes[3], 4);
    EXPECT_EQ(m.volume[3], 200);  // a successful load leaves the volume as it is
    EXPECT_EQ(m.peakLevel, peakBefore - 100);
    EXPECT_EQ(g_alloc.live, 1);  // only the new sample data
  } else {
    EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
    const bool sampleMemoryFailure = std::strcmp(c.message, "Memory Error") == 0;
    // The old wave plays on while the message shows, except when it was already unloaded.
    EXPECT_EQ(channelWhileShowing, !sampleMemoryFailure);
    EXPECT_EQ(m.active[3], 0);
    EXPECT_EQ(m.sampleMemory[3], nullptr);
    EXPECT_STREQ(m.slotName[3], "");
    EXPECT_EQ(m.volume[3], 1);
    ASSERT_FALSE(ui.labels.empty());
    EXPECT_EQ(ui.labels.back().slot, 3);
    EXPECT_EQ(ui.labels.back().text, "");
    EXPECT_EQ(m.peakLevel, peakBefore - (sampleMemoryFailure ? 200 : 100));
    EXPECT_EQ(g_alloc.live, 0);  // record, raw data and old wave all released
  }
  EXPECT_EQ(m.locked[3], 0);
  EXPECT_EQ(m.muted[3], 0);
  EXPECT_EQ(ui.squares, std::vector<int>{3});
}

INSTANTIATE_TEST_SUITE_P(Files, LoaderCorpus, ::testing::ValuesIn(Corpus()),
                         [](const ::testing::TestParamInfo<CorpusCase>& p) {
                           return std::string(p.param.name);
                         });

// Every prefix of a good file, cut inside and at every chunk boundary.
TEST_F(LoaderTest, TruncatedAtEveryByte) {
  const Bytes good = GoodWave();
  ASSERT_EQ(good.size(), 98u);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const char* expected = cut < 12   ? "Error reading file (1)"
                           : cut < 20 ? "Error reading file (2)"
                           : cut < 36 ? "Error reading file (3)"
                           : cut < 58 ? "Error reading file (4)"
                                      : "Error reading file (5)";
    ui.Clear();
    const Bytes prefix(good.begin(), good.begin() + static_cast<long>(cut));
    LoadWaveIntoSlot(m, WriteWave("cut", prefix).c_str(), 0);
    EXPECT_EQ(ui.messages, std::vector<std::string>{expected}) << "cut at " << cut;
    EXPECT_EQ(m.sampleMemory[0], nullptr);
    EXPECT_EQ(g_alloc.live, 0) << "cut at " << cut;
  }
}

TEST_F(LoaderTest, ConvertsTheFileItReadAndTakesFmt14AsSixteenBit) {
  LoadWaveIntoSlot(m, WriteWave("good", GoodWave()).c_str(), 5);
  ASSERT_EQ(m.lengthBytes[5], 40);
  // Frame 7 of the ramp: left 0x0007, right 0xFFF8, high bytes first.
  EXPECT_EQ(Bytes(m.sampleData[5] + 28, m.sampleData[5] + 32), (Bytes{0x00, 0x07, 0xFF, 0xF8}));
  const Bytes fmt14 = WithFmt(Fmt(1, 2, 11025, 8, 14), {0x34, 0x12, 0xCD, 0xAB});
  LoadWaveIntoSlot(m, WriteWave("fmt14", fmt14).c_str(), 0);
  ASSERT_EQ(m.lengthBytes[0], 4);
  EXPECT_EQ(Bytes(m.sampleData[0], m.sampleData[0] + 4), (Bytes{0x12, 0x34, 0xAB, 0xCD}));
}

TEST_F(LoaderTest, MissingFile) {
  Preload(1);
  LoadWaveIntoSlot(m, PathFor("does_not_exist").c_str(), 1);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Error opening file"});
  EXPECT_EQ(m.sampleMemory[1], nullptr);
  EXPECT_EQ(g_alloc.live, 0);
}

struct MemoryCase {
  int failOnCall;  // 1 load record, 2 raw data, 3 sample data
  const char* message;
  int peakDrop;
};

class LoaderMemory : public LoaderTest, public ::testing::WithParamInterface<MemoryCase> {};

TEST_P(LoaderMemory, FailingAllocation) {
  const std::string path = WriteWave("memory", GoodWave());
  g_alloc.calls = 0;
  g_alloc.failOnCall = GetParam().failOnCall;
  LoadWaveIntoSlot(m, path.c_str(), 2);
  EXPECT_EQ(ui.messages, std::vector<std::string>{GetParam().message});
  EXPECT_EQ(m.peakLevel, -GetParam().peakDrop);
  EXPECT_EQ(m.active[2], 0);
  EXPECT_EQ(g_alloc.live, 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, LoaderMemory,
                         ::testing::Values(MemoryCase{1, "Memory problem", 100},
                                           MemoryCase{2, "Error allocating memory", 100},
                                           MemoryCase{3, "Memory Error", 200}));

// A source that claims more bytes than it can deliver: the data read itself comes up short.
class ShortReadSource : public MemoryWaveSource {
 public:
  using MemoryWaveSource::MemoryWaveSource;
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t bytes) override {
    const size_t n = MemoryWaveSource::ReadAt(offset, dst, bytes);
    return bytes > 16 ? n / 2 : n;
  }
};

TEST_F(LoaderTest, ClosesThenShowsThenReleases) {
  const Bytes noFmt = Riff({Chunk("data", wavetest::StereoFrameRamp(10))});
  const Bytes notPcm = WithFmt(Fmt(3, 2, 11025, 16));
  const Bytes good = GoodWave();
  MemoryWaveSource a(noFmt.data(), noFmt.size());
  MemoryWaveSource b(notPcm.data(), notPcm.size());
  ShortReadSource shortRead(good.data(), good.size());
  // Blocks live while the message shows: the load record, plus the raw data on a short read.
  const std::pair<MemoryWaveSource*, int> cases[] = {{&a, 1}, {&b, 1}, {&shortRead, 2}};
  for (const auto& [source, live] : cases) {
    ui.Clear();
    int liveWhileShowing = -1;
    bool closedWhileShowing = false;
    ui.onInfoBox = [&](const std::string&) {
      closedWhileShowing = source->closed();
      liveWhileShowing = g_alloc.live;
    };
    EXPECT_EQ(LoadWaveFromSource(m, *source, 0), 0);
    EXPECT_TRUE(closedWhileShowing);
    EXPECT_EQ(liveWhileShowing, live);
    EXPECT_EQ(g_alloc.live, 0);
  }
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Error reading file (5)"});
}

class ReadPosition : public LoaderTest {
 protected:
  std::string Wave(size_t lengthBytes) {
    return WriteWave("len" + std::to_string(lengthBytes),
                     WithFmt(Fmt(1, 2, 11025, 16), wavetest::StereoFrameRamp(lengthBytes / 4)));
  }
};

TEST_F(ReadPosition, TakesTheLowestOtherLoadedChannelWrappedIntoTheNewLength) {
  LoadWaveIntoSlot(m, Wave(16000).c_str(), 1);
  LoadWaveIntoSlot(m, Wave(16000).c_str(), 5);
  m.readPosBytes[1] = 12000;
  m.readPosBytes[5] = 400;
  LoadWaveIntoSlot(m, Wave(8000).c_str(), 3);
  EXPECT_EQ(m.readPosBytes[3], 4000);
  LoadWaveIntoSlot(m, Wave(6000).c_str(), 3);
  EXPECT_EQ(m.readPosBytes[3], 0);  // 12000 - 6000 - 6000, not 6000
  LoadWaveIntoSlot(m, Wave(5000).c_str(), 3);
  EXPECT_EQ(m.readPosBytes[3], 2000);
  // Channel 1 itself follows channel 3 now, the lowest other holder.
  LoadWaveIntoSlot(m, Wave(1200).c_str(), 1);
  EXPECT_EQ(m.readPosBytes[1], 2000 % 1200);
}

TEST_F(ReadPosition, AloneTheChannelKeepsItsOwnPositionReduced) {
  m.readPosBytes[6] = 10000;
  LoadWaveIntoSlot(m, Wave(4000).c_str(), 6);
  EXPECT_EQ(m.readPosBytes[6], 2000);
  LoadWaveIntoSlot(m, Wave(16000).c_str(), 6);  // its own wave does not count as another
  EXPECT_EQ(m.readPosBytes[6], 2000);
  // An emptied slot is no reference.
  LoadWaveIntoSlot(m, Wave(16000).c_str(), 2);
  UnloadChannel(m, 6);
  m.readPosBytes[2] = 800;
  m.readPosBytes[0] = 12;
  LoadWaveIntoSlot(m, Wave(400).c_str(), 0);
  EXPECT_EQ(m.readPosBytes[0], 0);  // 800 wrapped into 400
}

TEST_F(LoaderTest, UnloadClearsActiveLowersThePeakAndKeepsThePosition) {
  Preload(4);
  m.readPosBytes[4] = 8;
  m.peakLevel = 50;
  UnloadChannel(m, 4);
  EXPECT_EQ(m.active[4], 0);
  EXPECT_EQ(m.sampleMemory[4], nullptr);
  EXPECT_EQ(m.peakLevel, -50);
  EXPECT_EQ(m.readPosBytes[4], 8);
  EXPECT_EQ(m.lengthBytes[4], 40);
  UnloadChannel(m, 4);  // an empty slot still lowers the peak
  EXPECT_EQ(m.peakLevel, -150);
  EXPECT_EQ(g_alloc.live, 0);
}

TEST_F(LoaderTest, SuccessStoresThePathUpperCasedAndShowsTheLabel) {
  const std::string path = WriteWave("kick", GoodWave());
  std::strcpy(m.slotName[7], path.c_str());  // loads from the slot's own name
  m.targetVolume[7] = 77;
  LoadWaveIntoSlot(m, m.slotName[7], 7);
  std::string upper = path;
  for (char& ch : upper) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  EXPECT_EQ(m.slotName[7], upper);
  ASSERT_EQ(ui.labels.size(), 1u);
  EXPECT_EQ(ui.labels[0].text, "MIXORAMA_KICK.");
  EXPECT_EQ(ui.calls.back(), "square:7");
  EXPECT_EQ(m.targetVolume[7], 77);
}

struct LabelCase {
  const char* slotName;
  const char* upper;
  const char* label;
};

class SlotLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(SlotLabel, FilePartWithoutTheLastThreeCharacters) {
  Mixer m;
  RecordingUi ui;
  m.ui = &ui;
  std::strcpy(m.slotName[4], GetParam().slotName);
  ShowSlotLabel(m, 4);
  EXPECT_STREQ(m.slotName[4], GetParam().upper);
  ASSERT_EQ(ui.labels.size(), 1u);
  EXPECT_EQ(ui.labels[0].slot, 4);
  EXPECT_EQ(ui.labels[0].text, GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SlotLabel,
    ::testing::Values(LabelCase{"C:\\SOUNDS\\KICK.WAV", "C:\\SOUNDS\\KICK.WAV", "KICK."},
                      LabelCase{"D:/LOOPS/A.WAV", "D:/LOOPS/A.WAV", "A."},
                      LabelCase{"AB", "AB", ""}, LabelCase{"abc", "ABC", ""},
                      LabelCase{"abcd", "ABCD", "A"}, LabelCase{"", "", ""},
                      LabelCase{"c:\\snd/mix\\kick.wav", "C:\\SND/MIX\\KICK.WAV", "KICK."},
                      LabelCase{"C:\\DIR\\WAV", "C:\\DIR\\WAV", ""},
                      LabelCase{"caf\xe9.wav", "CAF\xe9.WAV", "CAF\xe9."}));

}  // namespace
}  // namespace mixorama
