// Loading wave files into slots: the chunk walk over a corpus of good and malformed files
// (each with its exact message and the slot's state afterwards), the order of close, message
// and release, memory failures, the start read position and the slot labels.
#include "engine/wave_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "unit/recording_ui.h"
#include "unit/wave_test_util.h"

namespace mixorama {
namespace {

using wavetest::Bytes;
using wavetest::Chunk;
using wavetest::FmtBody;
using wavetest::Riff;

// ---- A block allocator that counts, remembers the largest request and can fail ----------

struct AllocStats {
  int calls = 0;
  int failOnCall = 0;  // 1-based; 0: never fail
  size_t largest = 0;
  int live = 0;
};
AllocStats g_alloc;

void* TrackedAlloc(size_t bytes) {
  ++g_alloc.calls;
  if (bytes > g_alloc.largest) g_alloc.largest = bytes;
  if (g_alloc.calls == g_alloc.failOnCall) return nullptr;
  void* p = DefaultBlockAllocator().allocZeroed(bytes);
  if (p != nullptr) ++g_alloc.live;
  return p;
}

void TrackedRelease(void* block) {
  if (block != nullptr) --g_alloc.live;
  DefaultBlockAllocator().release(block);
}

BlockAllocator Tracked() {
  BlockAllocator a;
  a.allocZeroed = &TrackedAlloc;
  a.release = &TrackedRelease;
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

// ---- The corpus ---------------------------------------------------------------------------

struct CorpusCase {
  const char* name;
  std::function<Bytes()> build;
  const char* message;  // nullptr: loads
};

Bytes WithFmt(const Bytes& fmtChunk, const Bytes& data = wavetest::StereoFrameRamp(10)) {
  return Riff({fmtChunk, Chunk("data", data)});
}

std::vector<CorpusCase> Corpus() {
  const Bytes ramp = wavetest::StereoFrameRamp(10);
  const Bytes fmt = Chunk("fmt ", FmtBody(1, 2, 11025, 16));
  return {
      {"Good", GoodWave, nullptr},
      {"JunkBeforeRiff",
       [=] {
         return wavetest::Concat({Chunk("JUNK", {1, 2, 3}), GoodWave()});
       },
       nullptr},
      {"OtherFormBeforeWave",
       [=] {
         return wavetest::Concat({Riff({fmt}, "AVI "), GoodWave()});
       },
       nullptr},
      {"OtherFormOnly",
       [=] {
         return Riff({fmt, Chunk("data", ramp)}, "AVI ");
       },
       "Error reading file (1)"},
      {"EmptyFile", [] { return Bytes{}; }, "Error reading file (1)"},
      {"RiffWithoutForm", [] { return Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}; },
       "Error reading file (1)"},
      {"Text", [] { return Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}; },
       "Error reading file (1)"},
      // A top-level chunk claiming nearly 4 GiB is skipped past the end, not wrapped around.
      {"HugeTopLevelChunk",
       [=] {
         return wavetest::Concat({Chunk("JUNK", {}, 0xFFFFFFFE), GoodWave()});
       },
       "Error reading file (1)"},
      {"HugeSubchunkBeforeFmt",
       [=] {
         return Riff({Chunk("JUNK", {}, 0xFFFFFFFF), fmt, Chunk("data", ramp)}, "WAVE", 0xFFFFFFFF);
       },
       "Error reading file (2)"},
      {"NoFmt", [=] { return Riff({Chunk("data", ramp)}); }, "Error reading file (2)"},
      {"RiffSizeEndsAtForm",
       [=] {
         return Riff({fmt, Chunk("data", ramp)}, "WAVE", 4);
       },
       "Error reading file (2)"},
      // The fmt header pokes out of the RIFF chunk's declared end.
      {"FmtHeaderStraddlesRiffEnd",
       [=] {
         return Riff({fmt, Chunk("data", ramp)}, "WAVE", 8);
       },
       "Error reading file (2)"},
      {"FmtBodyCutShort",
       [=] {
         Bytes b = Riff({Chunk("fmt ", FmtBody(1, 2, 11025, 16))}, "WAVE", 1000);
         b.resize(b.size() - 6);
         return b;
       },
       "Error reading file (3)"},
      {"FmtSize0", [=] { return WithFmt(Chunk("fmt ", {})); }, "The wave must be a PCM wave"},
      {"FloatTag", [=] { return WithFmt(Chunk("fmt ", FmtBody(3, 2, 11025, 32))); },
       "The wave must be a PCM wave"},
      {"AdpcmTag", [=] { return WithFmt(Chunk("fmt ", FmtBody(2, 2, 11025, 4))); },
       "The wave must be a PCM wave"},
      {"ExtensibleTag", [=] { return WithFmt(Chunk("fmt ", FmtBody(0xFFFE, 2, 11025, 16))); },
       "The wave must be a PCM wave"},
      {"Fmt14", [=] { return WithFmt(Chunk("fmt ", FmtBody(1, 2, 11025, 16, 14))); }, nullptr},
      {"Fmt18", [=] { return WithFmt(Chunk("fmt ", FmtBody(1, 2, 11025, 16, 18))); }, nullptr},
      {"OddFmtPadded", [=] { return WithFmt(Chunk("fmt ", FmtBody(1, 2, 11025, 16, 17))); },
       nullptr},
      {"OddDataPadded",
       [=] {
         return WithFmt(Chunk("fmt ", FmtBody(1, 1, 11025, 8)), {1, 2, 3});
       },
       nullptr},
      {"DataBeforeFmt",
       [=] {
         return Riff({Chunk("data", ramp), fmt});
       },
       "Error reading file (4)"},
      {"NoData",
       [=] {
         return Riff({fmt, Chunk("LIST", {1, 2, 3, 4})});
       },
       "Error reading file (4)"},
      {"FmtSizeBeyondEof",
       [=] {
         return Riff({Chunk("fmt ", FmtBody(1, 2, 11025, 16), 1000), Chunk("data", ramp)});
       },
       "Error reading file (4)"},
      {"RiffSizeEndsBeforeData",
       [=] {
         return Riff({fmt, Chunk("data", ramp)}, "WAVE", 28);
       },
       "Error reading file (4)"},
      {"EmptyData", [=] { return WithFmt(fmt, {}); }, "Error locking memory"},
      {"DataSizeBeyondEofByOne",
       [=] {
         Bytes b = WithFmt(fmt);
         b.pop_back();
         return b;
       },
       "Error reading file (5)"},
      {"DataSizeFourGiB",
       [=] {
         Bytes b = Riff({fmt, Chunk("data", {1, 2, 3, 4}, 0xFFFFFFFF)});
         b.resize(100, 0);
         return b;
       },
       "Error reading file (5)"},
      {"RateZero", [=] { return WithFmt(Chunk("fmt ", FmtBody(1, 2, 0, 16))); },
       "The wave must have a sample rate"},
      // 16-bit stereo at 44100 into 11025: 4 data bytes give a raw length of 1.
      {"LessThanOneFrame",
       [=] {
         return WithFmt(Chunk("fmt ", FmtBody(1, 2, 44100, 16)), {1, 2, 3, 4});
       },
       "The wave is too short"},
      // 8-bit mono at 1 Hz into 11025: 600000 x 11025 x 4 bytes do not fit the length field.
      {"LengthBeyond32Bits",
       [=] { return WithFmt(Chunk("fmt ", FmtBody(1, 1, 1, 8)), Bytes(600000, 0x80)); },
       "Memory Error"},
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
  const std::string path = WriteWave(c.name, c.build());

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

TEST_F(LoaderTest, ConvertsTheFileItRead) {
  LoadWaveIntoSlot(m, WriteWave("good", GoodWave()).c_str(), 5);
  ASSERT_EQ(m.lengthBytes[5], 40);
  // Frame 7 of the ramp: left 0x0007, right 0xFFF8, high bytes first.
  const uint8_t* f = m.sampleData[5] + 28;
  EXPECT_EQ(Bytes(f, f + 4), (Bytes{0x00, 0x07, 0xFF, 0xF8}));
}

TEST_F(LoaderTest, FmtOf14BytesReadsAsSixteenBit) {
  const Bytes data = {0x34, 0x12, 0xCD, 0xAB};
  LoadWaveIntoSlot(
      m, WriteWave("fmt14", WithFmt(Chunk("fmt ", FmtBody(1, 2, 11025, 8, 14)), data)).c_str(), 0);
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

// ---- Memory failures: which allocation fails decides the message -----------------------

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

// ---- Order on failure: close the source, show the message, then release ------------------

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
  const Bytes cases[] = {Riff({Chunk("data", wavetest::StereoFrameRamp(10))}),  // no fmt
                         WithFmt(Chunk("fmt ", FmtBody(3, 2, 11025, 16)))};     // not PCM
  for (const Bytes& bytes : cases) {
    MemoryWaveSource source(bytes.data(), bytes.size());
    int liveWhileShowing = -1;
    bool closedWhileShowing = false;
    ui.onInfoBox = [&](const std::string&) {
      closedWhileShowing = source.closed();
      liveWhileShowing = g_alloc.live;
    };
    EXPECT_EQ(LoadWaveFromSource(m, source, 0), 0);
    EXPECT_TRUE(closedWhileShowing);
    EXPECT_EQ(liveWhileShowing, 1);  // the load record
    EXPECT_EQ(g_alloc.live, 0);
  }

  const Bytes good = GoodWave();
  ShortReadSource shortRead(good.data(), good.size());
  int liveWhileShowing = -1;
  bool closedWhileShowing = false;
  ui.onInfoBox = [&](const std::string&) {
    closedWhileShowing = shortRead.closed();
    liveWhileShowing = g_alloc.live;
  };
  ui.Clear();
  EXPECT_EQ(LoadWaveFromSource(m, shortRead, 0), 0);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Error reading file (5)"});
  EXPECT_TRUE(closedWhileShowing);
  EXPECT_EQ(liveWhileShowing, 2);  // the load record and its raw data
  EXPECT_EQ(g_alloc.live, 0);
}

// ---- Start read position ---------------------------------------------------------------

class ReadPosition : public LoaderTest {
 protected:
  std::string Wave(size_t lengthBytes) {
    return WriteWave("len" + std::to_string(lengthBytes),
                     wavetest::PcmWave(2, 16, 11025, wavetest::StereoFrameRamp(lengthBytes / 4)));
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

// ---- UnloadChannel -----------------------------------------------------------------------

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

// ---- Slot names and labels ---------------------------------------------------------------

TEST_F(LoaderTest, SuccessStoresThePathUpperCasedAndShowsTheLabel) {
  const std::string path = WriteWave("kick", GoodWave());
  m.targetVolume[0] = 77;
  LoadWaveIntoSlot(m, path.c_str(), 0);
  std::string upper = path;
  for (char& ch : upper) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  EXPECT_EQ(m.slotName[0], upper);
  ASSERT_EQ(ui.labels.size(), 1u);
  EXPECT_EQ(ui.labels[0].text, "MIXORAMA_KICK.");
  EXPECT_EQ(ui.calls.back(), "square:0");
  EXPECT_EQ(m.targetVolume[0], 77);
}

TEST_F(LoaderTest, LoadsFromItsOwnSlotName) {
  const std::string path = WriteWave("own", GoodWave());
  std::strcpy(m.slotName[7], path.c_str());
  LoadWaveIntoSlot(m, m.slotName[7], 7);
  EXPECT_EQ(m.active[7], 1);
  ASSERT_EQ(ui.labels.size(), 1u);
  EXPECT_EQ(ui.labels[0].text, "MIXORAMA_OWN.");
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
                      LabelCase{"BD7525.WAV", "BD7525.WAV", "BD7525."},
                      LabelCase{"D:/LOOPS/A.WAV", "D:/LOOPS/A.WAV", "A."},
                      LabelCase{"AB", "AB", ""}, LabelCase{"abc", "ABC", ""},
                      LabelCase{"abcd", "ABCD", "A"}, LabelCase{"", "", ""},
                      LabelCase{"c:\\snd/mix\\kick.wav", "C:\\SND/MIX\\KICK.WAV", "KICK."},
                      LabelCase{"C:\\DIR\\.WAV", "C:\\DIR\\.WAV", "."},
                      LabelCase{"C:\\DIR\\WAV", "C:\\DIR\\WAV", ""},
                      LabelCase{"loop.aiff", "LOOP.AIFF", "LOOP.A"},
                      LabelCase{"caf\xe9.wav", "CAF\xe9.WAV", "CAF\xe9."}));

}  // namespace
}  // namespace mixorama
