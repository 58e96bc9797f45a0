// Loading a wave into a slot: the chunk walk and its refusals with their texts, failed memory
// blocks, the start read position, the slot's name and label.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "unit/support.h"

namespace mixorama::test {
namespace {

const Bytes kData = Pattern(400);  // 100 16-bit stereo frames
const Bytes kFmt = Chunk("fmt ", Fmt(1, 2, 11025, 16));
const Bytes kDataChunk = Chunk("data", kData);

Bytes Cat(std::vector<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

struct LoadCase {
  const char* name;
  Bytes file;
  const char* message;   // as the box shows it; "" when the load succeeds
  int32_t lengthBytes;   // after a success, at 11025
  int failingBlock = 0;  // the n-th memory block asked for cannot be had
};

int g_failAt = 0;
int g_requests = 0;
size_t g_largest = 0;  // the largest block asked for
void* FailingAlloc(size_t bytes) {
  g_largest = bytes > g_largest ? bytes : g_largest;
  return ++g_requests == g_failAt ? nullptr : std::calloc(bytes, 1);
}

class LoaderCorpus : public Engine, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoaderCorpus, MessageAndSlotState) {
  const LoadCase& c = GetParam();
  g_requests = 0;
  g_largest = 0;
  g_failAt = c.failingBlock;
  m.allocator.allocZeroed = &FailingAlloc;
  const int result = Load(c.file, 3);
  // A size field is never trusted for memory: no block is larger than the file or its frames.
  EXPECT_LE(g_largest, std::max<size_t>({c.file.size(), static_cast<size_t>(c.lengthBytes), 64}));
  const bool loads = c.message[0] == '\0';
  EXPECT_EQ(result, loads ? 1 : 0);
  EXPECT_EQ(ui.messages, loads ? std::vector<std::string>() : std::vector<std::string>{c.message});
  EXPECT_EQ(
      std::vector<int64_t>({m.active[3], m.sampleMemory[3] != nullptr, m.lengthBytes[3] * loads}),
      std::vector<int64_t>({loads, loads, c.lengthBytes}));
}

const LoadCase kCorpus[] = {
    {"Plain", PcmWave(2, 16, 11025, kData), "", 400},
    {"Fmt14IsSixteenBit", Riff({Chunk("fmt ", Fmt(1, 2, 11025, 8, 14)), kDataChunk}), "", 400},
    {"Fmt18", Riff({Chunk("fmt ", Fmt(1, 2, 11025, 16, 18)), kDataChunk}), "", 400},
    {"OddChunksArePadded",
     Cat({Chunk("JUNK", Pattern(3)),
          Riff({Chunk("LIST", Pattern(5)), kFmt, Chunk("INFO", Pattern(1)), kDataChunk})}),
     "", 400},
    {"MonoRoundedToWholeFrames", PcmWave(1, 16, 44100, Pattern(4006)), "", 2000},
    {"EightBitMonoAtHalfRate", PcmWave(1, 8, 5512, Pattern(101)), "", 101 * 2 * 2 * 2},
    {"EmptyFile", Bytes{}, "Error reading file (1)", 0},
    {"OtherForm", Riff({kFmt, kDataChunk}, "AVI "), "Error reading file (1)", 0},
    {"NoRiff", Chunk("JUNK", Pattern(40)), "Error reading file (1)", 0},
    {"NoFmt", Riff({kDataChunk}), "Error reading file (2)", 0},
    {"FmtPastTheDeclaredEnd", Riff({kFmt, kDataChunk}, "WAVE", 4), "Error reading file (2)", 0},
    {"FmtBodyCutShort", Riff({Bytes{'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0}}, "WAVE", 24),
     "Error reading file (3)", 0},
    {"Fmt2HasNoRate", Riff({Chunk("fmt ", Bytes{1, 0}), kDataChunk}),
     "The wave must have a sample rate", 0},
    {"FloatFormat", Riff({Chunk("fmt ", Fmt(3, 2, 11025, 32)), kDataChunk}),
     "The wave must be a PCM wave", 0},
    {"EmptyFmt", Riff({Chunk("fmt ", {}), kDataChunk}), "The wave must be a PCM wave", 0},
    {"DataBeforeFmt", Riff({kDataChunk, kFmt}), "Error reading file (4)", 0},
    {"NoData", Riff({kFmt, Chunk("LIST", Pattern(8))}), "Error reading file (4)", 0},
    {"DataLongerThanTheFile", Riff({kFmt, Chunk("data", kData, 401)}), "Error reading file (5)", 0},
    {"DataClaimsTwoGigabytes", Riff({kFmt, Chunk("data", kData, 0x7FFFFFF0)}),
     "Error reading file (5)", 0},
    {"EmptyData", Riff({kFmt, Chunk("data", {})}), "Error locking memory", 0},
    {"NoSampleRate", PcmWave(2, 16, 0, kData), "The wave must have a sample rate", 0},
    {"NoWholeFrame", PcmWave(2, 16, 44100, Pattern(12)), "The wave is too short", 0},
    {"NoLoadRecord", PcmWave(2, 16, 11025, kData), "Memory problem", 0, 1},
    {"NoRawDataBlock", PcmWave(2, 16, 11025, kData), "Error allocating memory", 0, 2},
    {"NoSampleBlock", PcmWave(2, 16, 11025, kData), "Memory Error", 0, 3},
};
INSTANTIATE_TEST_SUITE_P(Waves, LoaderCorpus, ::testing::ValuesIn(kCorpus),
                         [](const auto& p) { return std::string(p.param.name); });

// The lowest other loaded channel's position, wrapped into the new length; alone, its own.
TEST_F(Engine, StartReadPositionJoinsTheLoadedChannelsInStep) {
  const struct {
    int reference;     // -1: no other channel loaded
    int32_t position;  // of the reference, or the slot's own
    int32_t newFrames;
    int32_t expected;
  } cases[] = {{1, 12000, 2000, 4000}, {1, 12000, 1500, 0}, {1, 400, 2000, 400},
               {1, 8000, 2000, 0},     {6, 8, 3, 8},        {-1, 10000, 1000, 2000},
               {-1, 36, 10, 36}};
  for (const auto& c : cases) {
    Mixer fresh;
    for (int ch : {c.reference, 7}) {
      if (ch < 0) continue;
      ASSERT_EQ(test::Load(fresh, PcmWave(2, 16, 11025, Bytes(4 * 4000)), ch), 1);
    }
    if (c.reference >= 0) fresh.readPosBytes[c.reference] = c.position;
    fresh.readPosBytes[3] = c.reference < 0 ? c.position : 123 * 4;
    fresh.readPosBytes[7] = 4 * 999;  // a higher channel is never the reference
    if (c.reference < 0) UnloadChannel(fresh, 7);
    const Bytes file = PcmWave(2, 16, 11025, Bytes(4 * static_cast<size_t>(c.newFrames)));
    ASSERT_EQ(test::Load(fresh, file, 3), 1);
    EXPECT_EQ(fresh.readPosBytes[3], c.expected) << c.reference << " " << c.position;
  }
}

// Through a file: the slot's name, label, flags and square after a success and a failure.
TEST_F(Engine, LoadWaveIntoSlotNamesLabelsAndRedrawsTheSlot) {
  // Relative names: the upper-cased name must name the same file on every file system.
  WriteFile("mixkick.wav", PcmWave(1, 8, 11025, Pattern(50)));
  WriteFile("MIXKICK.WAV", PcmWave(1, 8, 11025, Pattern(50)));
  m.locked[1] = 1;
  m.volume[1] = 200;
  LoadWaveIntoSlot(m, "mixkick.wav", 1);
  EXPECT_STREQ(m.slotName[1], "MIXKICK.WAV");
  EXPECT_EQ(m.locked[1] * 1000 + m.volume[1], 200);  // a success leaves the volume alone
  LoadWaveIntoSlot(m, m.slotName[1], 1);             // its own name, as at start-up
  m.muted[1] = 1;
  LoadWaveIntoSlot(m, "mixkick.missing", 1);
  EXPECT_EQ(ui.calls, (std::vector<std::string>{"label:1:MIXKICK.", "square:1", "label:1:MIXKICK.",
                                                "square:1", "info:Error opening file",
                                                "label:1:", "square:1"}));
  EXPECT_STREQ(m.slotName[1], "");
  EXPECT_EQ(m.volume[1] + m.muted[1], 1);
  EXPECT_EQ(m.sampleMemory[1], nullptr);
}

TEST(SlotLabel, FilePartWithoutTheLastThreeCharacters) {
  const std::pair<const char*, const char*> cases[] = {{"C:\\SOUNDS\\KICK.WAV", "KICK."},
                                                       {"BD7525.WAV", "BD7525."},
                                                       {"D:/LOOPS/A.WAV", "A."},
                                                       {"AB", ""},
                                                       {"ABCD", "A"},
                                                       {"X\\.WAV", "."}};
  for (auto [name, label] : cases) {
    char out[kPathBytes];
    SlotLabelText(name, out);
    EXPECT_STREQ(out, label) << name;
  }
}

}  // namespace
}  // namespace mixorama::test
