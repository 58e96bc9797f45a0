// Engine init's device check and messages, device open failures, start and stop playback.
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

const std::string kMono = "info:Well ! This is not a stereo card, ? What ?";

// Counting allocator: shows the old ring is released first, and can fail.
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
  int InitAndStore() { return m.engineReady = EngineInit(m); }
  void FillRing(uint8_t value) { std::memset(m.outputRing, value, m.ringSizeBytes); }
  bool RingIs(uint8_t even, uint8_t odd) const {
    for (uint32_t i = 0; i < m.ringSizeBytes; i += 2) {
      if (m.outputRing[i] != even || m.outputRing[i + 1] != odd) return false;
    }
    return true;
  }
  Mixer m;
  FakeDevice dev;
  RecordingTimer timer;
  RecordingUi ui;
  Log log;
};

class EngineInitRateTest : public OutputTest,
                           public ::testing::WithParamInterface<std::pair<int32_t, uint32_t>> {};

TEST_P(EngineInitRateTest, RingSizeFollowsTheRateAndStartsAsZeros) {
  m.outputRate = GetParam().first;
  m.ringSizeBytes = RingSizeForRate(m.outputRate);
  ASSERT_EQ(m.ringSizeBytes, GetParam().second);
  ASSERT_EQ(EngineInit(m), 1);
  EXPECT_EQ(m.format.avgBytesPerSec, static_cast<uint32_t>(m.outputRate) * 4);
  EXPECT_EQ(m.loopBuffer.lengthBytes, GetParam().second);
  EXPECT_TRUE(RingIs(0, 0));
}

INSTANTIATE_TEST_SUITE_P(ThreeRates, EngineInitRateTest,
                         ::testing::Values(std::make_pair(11025, 11024u),
                                           std::make_pair(22050, 22048u),
                                           std::make_pair(44100, 44100u)));

TEST_F(OutputTest, SecondInitReleasesTheOldRingBeforeAllocating) {
  ASSERT_EQ(EngineInit(m), 1);
  FillRing(0x55);
  ASSERT_EQ(EngineInit(m), 1);
  EXPECT_EQ(g_allocs, 2);
  EXPECT_EQ(g_releasesAtLastAlloc, 1);  // never two rings at once
  EXPECT_EQ(m.loopBuffer.data, m.outputRing);
  EXPECT_TRUE(RingIs(0, 0));
}

TEST_F(OutputTest, RingAllocationFailureLeavesNoRingAndNotReady) {
  ASSERT_EQ(InitAndStore(), 1);
  g_failAlloc = true;
  log.clear();
  EXPECT_EQ(EngineInit(m), 0);
  EXPECT_EQ(m.engineReady, 0);
  EXPECT_EQ(m.outputRing, nullptr);
  EXPECT_EQ(g_releases, 1);
  EXPECT_EQ(log, (Log{"info:Impossible to initialize Blendora"}));
  StartPlayback(m);
  EXPECT_EQ(m.playing, 0);
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
  EXPECT_EQ(log, (Log{"count", "info:Impossible to detect an audio card"}));
}

TEST_F(OutputTest, DevicesWithoutBitZeroRefuseTheFormatButLeaveReadyToTheCaller) {
  m.engineReady = 1;
  dev.deviceCount = 3;
  dev.caps = {DeviceCaps{0xFFFFE, 2}, std::nullopt, DeviceCaps{0x2, 2}};
  EXPECT_EQ(EngineInit(m), 0);
  EXPECT_EQ(m.engineReady, 1);
  EXPECT_EQ(log, (Log{"count", "caps:0", "caps:1", "caps:2",
                      "info:The audio-card does not support the required format"}));
}

TEST_F(OutputTest, FirstSuitableDeviceEndsTheCheckAndItsRecordIsUsed) {
  dev.deviceCount = 4;
  dev.caps = {std::nullopt, DeviceCaps{0x2, 2}, DeviceCaps{0x1, 1}, DeviceCaps{0xFFFFF, 2}};
  EXPECT_EQ(EngineInit(m), 1);
  EXPECT_EQ(log, (Log{"count", "caps:0", "caps:1", "caps:2", kMono}));
  EXPECT_EQ(m.format.channels, 1);
  EXPECT_EQ(m.format.blockAlign, 2);
}

TEST_F(OutputTest, FailingCapabilitiesCallsLeaveNoJunkRecord) {
  dev.deviceCount = 3;
  dev.caps = {};
  EXPECT_EQ(EngineInit(m), 1);
  EXPECT_EQ(log, (Log{"count", "caps:0", "caps:1", "caps:2"}));
  EXPECT_EQ(m.format.channels, 2);
}

TEST_F(OutputTest, CapabilitiesRecordIsKeptAcrossInits) {
  dev.caps = {DeviceCaps{0x1, 1}};
  ASSERT_EQ(EngineInit(m), 1);
  dev.caps = {std::nullopt};
  log.clear();
  ASSERT_EQ(EngineInit(m), 1);
  EXPECT_EQ(log, (Log{"count", "caps:0", kMono}));
  EXPECT_EQ(m.format.channels, 1);
}

struct OpenFailure {
  const char* name;
  DeviceStatus open;
  DeviceStatus prepare;
  DeviceStatus write;
  Log calls;
};

class DeviceOpenFailureTest : public OutputTest,
                              public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(DeviceOpenFailureTest, ClosesAgainShowsItsMessageAndTicksDoNothing) {
  const OpenFailure& c = GetParam();
  ASSERT_EQ(InitAndStore(), 1);
  dev.openStatus = c.open;
  dev.prepareStatus = c.prepare;
  dev.writeStatus = c.write;
  log.clear();
  DeviceOpen(m);
  EXPECT_EQ(log, c.calls);
  EXPECT_FALSE(dev.IsOpen());
  StartPlayback(m);
  EXPECT_EQ(m.playing, 1);
  m.live = 1;
  timer.Fire();
  EXPECT_EQ(dev.positionQueries, 0);
  EXPECT_EQ(m.tickGuard, 0);
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

TEST_F(OutputTest, StartPlaybackWithEngineNotReadyChangesNothing) {
  ASSERT_EQ(EngineInit(m), 1);
  m.engineReady = 0;
  m.mapHover = 1;
  m.readPosBytes[3] = 40;
  m.writeIndexBytes = 8;
  log.clear();
  StartPlayback(m);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(m.live, 0);
  EXPECT_EQ(m.readPosBytes[3], 40);
  EXPECT_EQ(m.writeIndexBytes, 8u);
}

TEST_F(OutputTest, StartPlaybackSyncsCopiesHoverResetsIndexesOpensAndStartsTheTimer) {
  ASSERT_EQ(InitAndStore(), 1);
  m.mapHover = 1;
  for (int c = 0; c < kChannelCount; ++c) m.readPosBytes[c] = 4 * (c + 1);
  m.peakLevel = -300;
  m.writeIndexBytes = 44;
  m.lastPlayPosBytes = 44;
  log.clear();
  StartPlayback(m);
  EXPECT_EQ(log, (Log{"open", "prepare", "write", "timer:start"}));
  EXPECT_EQ(m.playing, 1);
  EXPECT_EQ(m.live, 1);
  for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(m.readPosBytes[c], 0) << c;
  EXPECT_EQ(m.peakLevel, 0);
  EXPECT_EQ(m.writeIndexBytes, 0u);
  EXPECT_EQ(m.lastPlayPosBytes, 0);
  ASSERT_EQ(timer.starts.size(), 1u);
  EXPECT_EQ(timer.starts[0].periodMs, 50u);
  EXPECT_EQ(m.timerId, timer.starts[0].id);
}

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
  EXPECT_TRUE(RingIs(0x80, 0x00));
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
  EXPECT_EQ(log, (Log{"timer:kill:" + std::to_string(id)}));  // no device call
  EXPECT_TRUE(RingIs(0x80, 0x00));
  EXPECT_EQ(m.live, 0);
}

TEST_F(OutputTest, StopWithEngineNotReadyOnlyClearsPlaying) {
  ASSERT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  m.engineReady = 0;
  FillRing(0x22);
  log.clear();
  StopPlayback(m);
  EXPECT_EQ(m.playing, 0);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(RingIs(0x22, 0x22));
}

TEST_F(OutputTest, StopWithTheRingReleasedDoesNotTouchIt) {
  ASSERT_EQ(InitAndStore(), 1);
  StartPlayback(m);
  StopPlayback(m);
  ReleaseOutputRing(m);
  EXPECT_EQ(m.loopBuffer.data, nullptr);
  StopPlayback(m);
  ReleaseOutputRing(m);
  EXPECT_EQ(g_releases, 1);
}

}  // namespace
}  // namespace mixorama
