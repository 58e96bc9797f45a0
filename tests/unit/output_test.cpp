// The output device and the output ring: the engine init's device check and its messages,
// the formats and ring sizes at the three output rates, device open / close call order and
// failure paths, start and stop playback.
#include "engine/output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "tests/unit/fake_device.h"
#include "tests/unit/recording_ui.h"

namespace mixorama {
namespace {

using Log = std::vector<std::string>;

const char kNoRing[] = "Impossible to initialize Blendora";
const char kNoCard[] = "Impossible to detect an audio card";
const char kNoFormat[] = "The audio-card does not support the required format";
const char kMono[] = "Well ! This is not a stereo card, ? What ?";
const char kNoDriver[] = "Impossible to open the audio-driver";

// Counting allocator: lets a test see that the old ring is released and make allocation fail.
int g_allocs = 0;
int g_releases = 0;
int g_releasesAtLastAlloc = 0;
bool g_failAlloc = false;
void* CountingAlloc(size_t bytes) {
  g_releasesAtLastAlloc = g_releases;
  if (g_failAlloc) return nullptr;
  ++g_allocs;
  return std::calloc(bytes, 1);
}
void CountingRelease(void* block) {
  if (block != nullptr) ++g_releases;
  std::free(block);
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_allocs = g_releases = 0;
    g_failAlloc = false;
    m.allocator.allocZeroed = &CountingAlloc;
    m.allocator.release = &CountingRelease;
    m.device = &dev;
    m.timer = &timer;
    m.ui = &ui;
    dev.log = &log;
    timer.log = &log;
    ui.onInfoBox = [this](const std::string& text) { log.push_back("info:" + text); };
  }

  // Engine init whose result goes into the engine-ready flag, as the program's callers do.
  int InitAndStore() {
    const int ok = EngineInit(m);
    m.engineReady = ok;
    return ok;
  }

  void FillRing(uint8_t value) { std::memset(m.outputRing, value, m.ringSizeBytes); }

  bool RingIsSilencePattern() const {
    for (uint32_t i = 0; i < m.ringSizeBytes; i += 2) {
      if (m.outputRing[i] != 0x80 || m.outputRing[i + 1] != 0x00) return false;
    }
    return true;
  }

  Mixer m;
  FakeDevice dev;
  RecordingTimer timer;
  RecordingUi ui;
  Log log;
};

// ---- Engine init ------------------------------------------------------------------------

struct RateCase {
  int32_t rate;
  uint32_t ringBytes;
  uint32_t avgBytesPerSec;
};

class EngineInitRateTest : public OutputTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(EngineInitRateTest, RingAndStereoFormatFollowTheRate) {
  const RateCase c = GetParam();
  m.outputRate = c.rate;
  m.ringSizeBytes = RingSizeForRate(c.rate);
  ASSERT_EQ(m.ringSizeBytes, c.ringBytes);

  ASSERT_EQ(EngineInit(m), 1);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(m.format.formatTag, 1);
  EXPECT_EQ(m.format.channels, 2);
  EXPECT_EQ(m.format.samplesPerSec, static_cast<uint32_t>(c.rate));
  EXPECT_EQ(m.format.bitsPerSample, 16);
  EXPECT_EQ(m.format.blockAlign, 4);
  EXPECT_EQ(m.format.avgBytesPerSec, c.avgBytesPerSec);
  ASSERT_NE(m.outputRing, nullptr);
  EXPECT_EQ(m.loopBuffer.data, m.outputRing);
  EXPECT_EQ(m.loopBuffer.lengthBytes, c.ringBytes);
  EXPECT_EQ(m.loopBuffer.loops, 10000000u);
  // A new ring is true silence, every byte zero.
  for (uint32_t i = 0; i < m.ringSizeBytes; ++i) ASSERT_EQ(m.outputRing[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(ThreeRates, EngineInitRateTest,
                         ::testing::Values(RateCase{11025, 11024, 44100},
                                           RateCase{22050, 22048, 88200},
                                           RateCase{44100, 44100, 176400}));

TEST_F(OutputTest, SecondInitReleasesTheOldRingBeforeAllocating) {
  ASSERT_EQ(EngineInit(m), 1);
  FillRing(0x55);
  ASSERT_EQ(EngineInit(m), 1);
  EXPECT_EQ(g_allocs, 2);
  EXPECT_EQ(g_releases, 1);
  EXPECT_EQ(g_releasesAtLastAlloc, 1);  // never two rings held at once
  EXPECT_EQ(m.loopBuffer.data, m.outputRing);
  // Whether or not the allocator handed back the same block, it is zero again.
  for (uint32_t i = 0; i < m.ringSizeBytes; ++i) ASSERT_EQ(m.outputRing[i], 0) << i;
}

TEST_F(OutputTest, RingAllocationFailureLeavesNoRingAndNotReady) {
  ASSERT_EQ(InitAndStore(), 1);
  g_failAlloc = true;
  log.clear();
  EXPECT_EQ(EngineInit(m), 0);
  EXPECT_EQ(m.engineReady, 0);  // cleared by the init itself
  EXPECT_EQ(m.outputRing, nullptr);
  EXPECT_EQ(g_releases, 1);                               // the old ring went first
  EXPECT_EQ(log, (Log{std::string("info:") + kNoRing}));  // no device call at all

  // Start playback does nothing until a later init succeeds.
  StartPlayback(m);
  EXPECT_EQ(m.playing, 0);
  EXPECT_TRUE(timer.starts.empty());
  g_failAlloc = false;
  EXPECT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  EXPECT_EQ(m.playing, 1);
}

TEST_F(OutputTest, NoDeviceKeepsTheRingAndClearsReady) {
  m.engineReady = 1;
  dev.deviceCount = 0;
  EXPECT_EQ(EngineInit(m), 0);
  EXPECT_EQ(m.engineReady, 0);
  EXPECT_NE(m.outputRing, nullptr);
  EXPECT_EQ(log, (Log{"count", std::string("info:") + kNoCard}));
}

TEST_F(OutputTest, DevicesWithoutBitZeroRefuseTheFormatButLeaveReadyToTheCaller) {
  m.engineReady = 1;
  dev.deviceCount = 3;
  dev.caps = {DeviceCaps{0xFFFFE, 2}, std::nullopt, DeviceCaps{0x2, 2}};
  EXPECT_EQ(EngineInit(m), 0);
  EXPECT_EQ(m.engineReady, 1);  // the caller stores the 0, not the device check
  EXPECT_NE(m.outputRing, nullptr);
  EXPECT_EQ(log, (Log{"count", "caps:0", "caps:1", "caps:2", std::string("info:") + kNoFormat}));
}

TEST_F(OutputTest, FirstSuitableDeviceEndsTheCheckAndItsRecordIsUsed) {
  dev.deviceCount = 4;
  // Device 0 fails, 1 answers without bit 0, 2 is a suitable mono card, 3 is never asked.
  dev.caps = {std::nullopt, DeviceCaps{0x2, 2}, DeviceCaps{0x1, 1}, DeviceCaps{0xFFFFF, 2}};
  EXPECT_EQ(EngineInit(m), 1);
  EXPECT_EQ(log, (Log{"count", "caps:0", "caps:1", "caps:2", std::string("info:") + kMono}));
  EXPECT_EQ(m.format.channels, 1);
}

TEST_F(OutputTest, UnsuitableDeviceBeforeASuitableOneIsFine) {
  dev.deviceCount = 2;
  dev.caps = {DeviceCaps{0x2, 1}, DeviceCaps{0x1, 2}};
  EXPECT_EQ(EngineInit(m), 1);
  EXPECT_TRUE(ui.messages.empty());  // the mono record of device 0 was replaced by device 1's
  EXPECT_EQ(m.format.channels, 2);
}

TEST_F(OutputTest, NoDeviceAnsweringOnFirstInitGoesOnAsStereo) {
  dev.deviceCount = 3;
  dev.caps = {};  // every capabilities call fails (and scribbles a mono record)
  EXPECT_EQ(EngineInit(m), 1);
  EXPECT_EQ(log, (Log{"count", "caps:0", "caps:1", "caps:2"}));
  EXPECT_EQ(m.format.channels, 2);
  EXPECT_EQ(m.format.blockAlign, 4);
}

TEST_F(OutputTest, CapabilitiesRecordIsKeptAcrossInits) {
  dev.caps = {DeviceCaps{0x1, 1}};
  ASSERT_EQ(EngineInit(m), 1);
  ASSERT_EQ(ui.messages, (std::vector<std::string>{kMono}));
  // The next init finds no device answering: the mono record of the first is still used.
  dev.caps = {std::nullopt};
  ui.Clear();
  ASSERT_EQ(EngineInit(m), 1);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{kMono}));
  EXPECT_EQ(m.format.channels, 1);
}

TEST_F(OutputTest, MonoCardWarnsAndSucceedsWithAMonoFormat) {
  m.outputRate = 22050;
  m.ringSizeBytes = RingSizeForRate(22050);
  dev.caps = {DeviceCaps{0xFFFFF, 1}};
  EXPECT_EQ(EngineInit(m), 1);
  EXPECT_EQ(ui.messages, (std::vector<std::string>{kMono}));
  EXPECT_EQ(m.format.channels, 1);
  EXPECT_EQ(m.format.blockAlign, 2);
  EXPECT_EQ(m.format.avgBytesPerSec, 44100u);
  EXPECT_EQ(m.format.samplesPerSec, 22050u);
  // The ring and the loop buffer do not change with the format.
  EXPECT_EQ(m.loopBuffer.lengthBytes, 22048u);
  EXPECT_EQ(m.loopBuffer.data, m.outputRing);
}

// ---- Device open and close ----------------------------------------------------------------

TEST_F(OutputTest, DeviceOpenHandsTheRingToTheDeviceAsOneLoopingBuffer) {
  ASSERT_EQ(EngineInit(m), 1);
  log.clear();
  DeviceOpen(m);
  EXPECT_EQ(log, (Log{"open", "prepare", "write"}));
  EXPECT_TRUE(dev.IsOpen());
  EXPECT_EQ(dev.preparedBuffer.data, m.outputRing);
  EXPECT_EQ(dev.preparedBuffer.lengthBytes, m.ringSizeBytes);
  EXPECT_EQ(dev.preparedBuffer.loops, 10000000u);
  EXPECT_EQ(dev.openedFormat.channels, 2);
  EXPECT_EQ(dev.openedFormat.samplesPerSec, 11025u);
  EXPECT_EQ(dev.openedFormat.avgBytesPerSec, 44100u);
}

struct OpenFailure {
  const char* name;
  DeviceStatus open;
  DeviceStatus prepare;
  DeviceStatus write;
  Log calls;  // device calls then the message, in order
};

class DeviceOpenFailureTest : public OutputTest,
                              public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(DeviceOpenFailureTest, ClosesAgainAndShowsItsMessage) {
  const OpenFailure& c = GetParam();
  ASSERT_EQ(InitAndStore(), 1);
  dev.openStatus = c.open;
  dev.prepareStatus = c.prepare;
  dev.writeStatus = c.write;
  log.clear();
  DeviceOpen(m);
  EXPECT_EQ(log, c.calls);
  EXPECT_FALSE(dev.IsOpen());

  // Start playback goes on regardless: timer and playing flag; its ticks do nothing.
  log.clear();
  StartPlayback(m);
  EXPECT_EQ(m.playing, 1);
  ASSERT_EQ(timer.starts.size(), 1u);
  m.live = 1;
  timer.Fire();
  EXPECT_EQ(dev.positionQueries, 0);
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_EQ(m.playing, 1);
  EXPECT_EQ(m.writeIndexBytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, DeviceOpenFailureTest,
    ::testing::Values(
        OpenFailure{"Open", DeviceStatus::kBadFormat, DeviceStatus::kOk, DeviceStatus::kOk,
                    Log{"open", "info:Impossible to open the audio-driver"}},
        OpenFailure{"Prepare", DeviceStatus::kOk, DeviceStatus::kNoMemory, DeviceStatus::kOk,
                    Log{"open", "prepare", "unprepare", "close", "info:Memory Error 2"}},
        OpenFailure{"Write", DeviceStatus::kOk, DeviceStatus::kOk, DeviceStatus::kError,
                    Log{"open", "prepare", "write", "unprepare", "close", "info:Memory Error 3"}}),
    [](const ::testing::TestParamInfo<OpenFailure>& i) { return std::string(i.param.name); });

TEST_F(OutputTest, DeviceCloseResetsUnpreparesAndClosesOnlyAnOpenDevice) {
  ASSERT_EQ(EngineInit(m), 1);
  DeviceClose(m);
  EXPECT_EQ(log, (Log{"count", "caps:0"}));  // nothing open: no call
  DeviceOpen(m);
  log.clear();
  DeviceClose(m);
  EXPECT_EQ(log, (Log{"reset", "unprepare", "close"}));
  EXPECT_FALSE(dev.IsOpen());
  log.clear();
  DeviceClose(m);
  EXPECT_TRUE(log.empty());
}

TEST_F(OutputTest, MemoryErrorMessageAppendsTheSuffix) {
  ShowMemoryError(m, "2");
  ShowMemoryError(m, "");
  EXPECT_EQ(ui.messages, (std::vector<std::string>{"Memory Error 2", "Memory Error "}));
}

// ---- Start and stop playback --------------------------------------------------------------

TEST_F(OutputTest, StartPlaybackWithEngineNotReadyChangesNothing) {
  ASSERT_EQ(EngineInit(m), 1);
  m.engineReady = 0;
  m.mapHover = 1;
  m.readPosBytes[3] = 40;
  m.peakLevel = 777;
  m.writeIndexBytes = 8;
  m.lastPlayPosBytes = 12;
  log.clear();
  StartPlayback(m);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(m.live, 0);
  EXPECT_EQ(m.readPosBytes[3], 40);
  EXPECT_EQ(m.peakLevel, 777);
  EXPECT_EQ(m.writeIndexBytes, 8u);
  EXPECT_EQ(m.lastPlayPosBytes, 12);
  EXPECT_FALSE(dev.IsOpen());
}

class StartPlaybackHoverTest : public OutputTest, public ::testing::WithParamInterface<int> {};

TEST_P(StartPlaybackHoverTest, SyncsCopiesHoverResetsIndexesOpensAndStartsTheTimer) {
  ASSERT_EQ(InitAndStore(), 1);
  m.mapHover = GetParam();
  m.live = 1 - GetParam();
  for (int c = 0; c < kChannelCount; ++c) m.readPosBytes[c] = 4 * (c + 1);
  m.peakLevel = -300;
  m.writeIndexBytes = 44;
  m.lastPlayPosBytes = 44;
  int playingAtTimerStart = -1;
  timer.onStart = [&] { playingAtTimerStart = m.playing; };
  log.clear();

  StartPlayback(m);
  EXPECT_EQ(log, (Log{"open", "prepare", "write", "timer:start"}));
  EXPECT_EQ(playingAtTimerStart, 0);  // the timer exists before the playing flag is set
  EXPECT_EQ(m.playing, 1);
  EXPECT_EQ(m.live, GetParam());
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(m.readPosBytes[c], 0) << c;
  EXPECT_EQ(m.peakLevel, 0);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.lastPlayPosBytes, 0);
  ASSERT_EQ(timer.starts.size(), 1u);
  EXPECT_TRUE(timer.starts[0].periodic);
  EXPECT_EQ(timer.starts[0].periodMs, 50u);
  EXPECT_EQ(m.timerId, timer.starts[0].id);
  EXPECT_EQ(timer.callback, &TimerCallback);
  EXPECT_EQ(timer.context, &m);
}

INSTANTIATE_TEST_SUITE_P(HoverOffAndOn, StartPlaybackHoverTest, ::testing::Values(0, 1));

TEST_F(OutputTest, StopPlaybackClosesThenKillsThenFillsTheSilencePattern) {
  ASSERT_EQ(InitAndStore(), 1);
  m.mapHover = 1;
  StartPlayback(m);
  const TimerId id = m.timerId;
  FillRing(0x33);
  log.clear();
  StopPlayback(m);
  EXPECT_EQ(log, (Log{"reset", "unprepare", "close", "timer:kill:" + std::to_string(id)}));
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(m.live, 0);
  EXPECT_TRUE(RingIsSilencePattern());
  // Read as 16-bit little-endian samples, every sample is 128.
  int16_t sample = 0;
  std::memcpy(&sample, m.outputRing + m.ringSizeBytes - 2, 2);
  EXPECT_EQ(sample, 128);
}

TEST_F(OutputTest, StopWhileStoppedKillsTheLastTimerAgainAndRefills) {
  ASSERT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  const TimerId id = m.timerId;
  StopPlayback(m);
  FillRing(0x11);
  m.live = 1;
  log.clear();
  StopPlayback(m);
  EXPECT_EQ(log, (Log{"timer:kill:" + std::to_string(id)}));  // no device call: none is open
  EXPECT_EQ(timer.kills, (std::vector<TimerId>{id, id}));
  EXPECT_TRUE(RingIsSilencePattern());
  EXPECT_EQ(m.live, 0);
  EXPECT_EQ(m.playing, 0);
}

TEST_F(OutputTest, StopWithEngineNotReadyOnlyClearsPlaying) {
  ASSERT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  m.engineReady = 0;
  m.live = 1;
  FillRing(0x22);
  log.clear();
  StopPlayback(m);
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(m.live, 1);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(dev.IsOpen());
  for (uint32_t i = 0; i < m.ringSizeBytes; ++i) ASSERT_EQ(m.outputRing[i], 0x22) << i;
}

TEST_F(OutputTest, StopWithTheRingReleasedDoesNotTouchIt) {
  // The program end stops playback once more after the ring is gone.
  ASSERT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  StopPlayback(m);
  ReleaseOutputRing(m);
  EXPECT_EQ(m.outputRing, nullptr);
  EXPECT_EQ(m.loopBuffer.data, nullptr);
  StopPlayback(m);
  EXPECT_EQ(m.playing, 0);
  ReleaseOutputRing(m);  // twice is harmless
  EXPECT_EQ(g_releases, 1);
}

TEST_F(OutputTest, EachStartOpensAnewAndRestartsFromTheFirstFrame) {
  ASSERT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  StopPlayback(m);
  m.readPosBytes[0] = 400;
  m.peakLevel = 64000;
  log.clear();
  StartPlayback(m);
  EXPECT_EQ(log, (Log{"open", "prepare", "write", "timer:start"}));
  EXPECT_EQ(m.readPosBytes[0], 0);
  EXPECT_EQ(m.peakLevel, 0);
  EXPECT_EQ(timer.starts.size(), 2u);
  EXPECT_NE(timer.starts[0].id, timer.starts[1].id);
  EXPECT_EQ(m.timerId, timer.starts[1].id);
}

}  // namespace
}  // namespace mixorama
