// The WINMM device and the multimedia timer for real, under Wine with a PulseAudio null sink.
//
// Run by device_test.sh, which records the sink while the playback case runs and checks the
// recording (pitch, level, continuity, silence after the stop) with device_test_analyse.py.
// Options after the GoogleTest flags:
//   --rate=N       output rate of the playback cases: 11025, 22050 or 44100 (default 44100)
//   --play-ms=N    how long the tone case plays before it stops playback (default 2000)
// The tone case prints one line "TIMELINE {json}" with what the analysis needs to know.
#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/output.h"
#include "engine/win/mm_timer.h"
#include "engine/win/winmm_device.h"
#include "tests/unit/recording_ui.h"

namespace mixorama {
namespace {

struct Options {
  int32_t rate = 44100;
  int playMs = 2000;
};
Options g_options;

// The test tone: a different frequency and level on each side, so a swapped or mis-ordered
// byte shows in the recording. Whole periods fit in the one-second wave at every rate, and no
// likely shift (whole periods of 100 frames, ring sizes) is near a whole number of periods of
// both, so a stretch played twice or skipped moves the phase.
constexpr double kLeftHz = 437.0;
constexpr double kRightHz = 619.0;
constexpr int kLeftAmplitude = 8000;
constexpr int kRightAmplitude = 4000;

double NowSeconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Stores one second of the test tone in channel c as the loader would leave it: 16-bit
// stereo frames at the output rate, each sample high byte first.
void LoadTone(Mixer& m, int c) {
  const int32_t frames = m.outputRate;
  const int32_t bytes = frames * kFrameBytes;
  auto* block = static_cast<uint8_t*>(m.allocator.allocZeroed(static_cast<size_t>(bytes)));
  ASSERT_NE(block, nullptr);
  const double pi = std::acos(-1.0);
  for (int32_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / m.outputRate;
    const auto left =
        static_cast<int16_t>(std::lround(kLeftAmplitude * std::sin(2 * pi * kLeftHz * t)));
    const auto right =
        static_cast<int16_t>(std::lround(kRightAmplitude * std::sin(2 * pi * kRightHz * t)));
    uint8_t* frame = block + n * kFrameBytes;
    frame[0] = static_cast<uint8_t>(static_cast<uint16_t>(left) >> 8);
    frame[1] = static_cast<uint8_t>(static_cast<uint16_t>(left) & 0xFF);
    frame[2] = static_cast<uint8_t>(static_cast<uint16_t>(right) >> 8);
    frame[3] = static_cast<uint8_t>(static_cast<uint16_t>(right) & 0xFF);
  }
  std::lock_guard<std::mutex> hold(m.lock);
  m.sampleMemory[c] = block;
  m.sampleData[c] = block;
  m.lengthBytes[c] = bytes;
  m.readPosBytes[c] = 0;
  m.volume[c] = kUnityVolume;
  m.targetVolume[c] = kUnityVolume;
  m.active[c] = 1;
}

// Reads the device position the way the tick does: under the device lock.
uint32_t QueryPosition(Mixer& m) {
  std::lock_guard<std::mutex> device(m.deviceLock);
  uint32_t bytes = 0;
  EXPECT_EQ(m.device->Position(bytes), DeviceStatus::kOk);
  return bytes;
}

// The engine on the real device and timer, at the rate the run was asked for.
class EngineOnWinmm : public ::testing::Test {
 protected:
  void SetUp() override {
    m.device = &device;
    m.timer = &timer;
    m.ui = &ui;
    m.outputRate = g_options.rate;
    m.ringSizeBytes = RingSizeForRate(g_options.rate);
  }
  void TearDown() override {
    if (m.playing != 0) StopPlayback(m);
    // A tick that was already running when the timer was killed is not waited for.
    Sleep(200);
  }

  // The information box texts so far, for failure output.
  std::string Messages() const {
    std::string all;
    for (const std::string& text : ui.messages) all += "[" + text + "] ";
    return all;
  }

  Mixer m;
  WinmmDevice device;
  MmTimer timer;
  RecordingUi ui;
};

using DeviceCheck = EngineOnWinmm;

TEST_F(DeviceCheck, EngineInitAcceptsThePulseAudioCardAsStereo) {
  // Wine's PulseAudio driver: the wave mapper's own entry plus the sink, every format.
  EXPECT_EQ(device.DeviceCount(), 2u);
  m.engineReady = EngineInit(m);  // the caller keeps the result, as the program does
  ASSERT_EQ(m.engineReady, 1);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  EXPECT_EQ(m.caps.formats, 0xFFFFFu);
  EXPECT_EQ(m.caps.channels, 2);
  EXPECT_EQ(m.format.formatTag, 1);
  EXPECT_EQ(m.format.channels, 2);
  EXPECT_EQ(m.format.samplesPerSec, static_cast<uint32_t>(g_options.rate));
  EXPECT_EQ(m.format.avgBytesPerSec, static_cast<uint32_t>(g_options.rate) * 4);
  EXPECT_EQ(m.format.blockAlign, 4);
  EXPECT_EQ(m.format.bitsPerSample, 16);
  EXPECT_EQ(m.loopBuffer.data, m.outputRing);
  EXPECT_EQ(m.loopBuffer.lengthBytes, RingSizeForRate(g_options.rate));
  EXPECT_EQ(m.loopBuffer.loops, kRingLoops);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(DeviceCheck, CapabilitiesAnswerForEveryDeviceAndRefuseAnUnknownOne) {
  const uint32_t count = device.DeviceCount();
  ASSERT_GT(count, 0u);
  for (uint32_t n = 0; n < count; ++n) {
    DeviceCaps caps;
    EXPECT_EQ(device.Capabilities(n, caps), DeviceStatus::kOk) << "device " << n;
    EXPECT_NE(caps.formats & 1u, 0u) << "device " << n;
  }
  DeviceCaps untouched{0x1234, 7};
  EXPECT_EQ(device.Capabilities(count + 5, untouched), DeviceStatus::kBadDeviceId);
  EXPECT_EQ(untouched.formats, 0x1234u);
  EXPECT_EQ(untouched.channels, 7);
}

TEST_F(DeviceCheck, CallsWithoutAnOpenDeviceReportAnInvalidHandle) {
  uint32_t bytes = 77;
  EXPECT_EQ(device.Position(bytes), DeviceStatus::kInvalidHandle);
  EXPECT_EQ(bytes, 77u);
  EXPECT_EQ(device.Write(), DeviceStatus::kInvalidHandle);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(DeviceCheck, AFormatTheMapperCannotPlayIsRefusedAndLeavesNothingOpen) {
  OutputFormat odd;
  odd.formatTag = 0x7777;  // no such format tag
  odd.channels = 2;
  odd.samplesPerSec = 44100;
  odd.bitsPerSample = 16;
  odd.blockAlign = 4;
  odd.avgBytesPerSec = 176400;
  EXPECT_EQ(device.Open(odd), DeviceStatus::kBadFormat);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(DeviceCheck, OpenAndCloseTwiceRestartsThePositionFromZero) {
  m.engineReady = EngineInit(m);  // the caller keeps the result, as the program does
  ASSERT_EQ(m.engineReady, 1);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(device.Open(m.format), DeviceStatus::kOk);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.waveFormat().cbSize, 0);
    EXPECT_EQ(device.waveFormat().nAvgBytesPerSec, m.format.avgBytesPerSec);
    ASSERT_EQ(device.Prepare(m.loopBuffer), DeviceStatus::kOk);
    ASSERT_EQ(device.Write(), DeviceStatus::kOk);
    Sleep(300);
    uint32_t bytes = 0;
    ASSERT_EQ(device.Position(bytes), DeviceStatus::kOk);
    // Well under one second's worth: the count started again at this open.
    EXPECT_LT(bytes, m.format.avgBytesPerSec);
    EXPECT_EQ(bytes % m.format.blockAlign, 0u);
    device.Reset();
    device.Unprepare();
    device.Close();
    EXPECT_FALSE(device.IsOpen());
  }
}

// Run by the wrapper with the sound server out of reach (PULSE_SERVER pointing nowhere):
// Wine then has no wave-output device at all. Skipped otherwise.
using NoSoundServer = EngineOnWinmm;

TEST_F(NoSoundServer, EngineInitFindsNoCardAndPlaybackStaysOff) {
  const char* expected = std::getenv("MIXORAMA_EXPECT_NO_SOUND");
  if (expected == nullptr || std::strcmp(expected, "1") != 0) {
    GTEST_SKIP() << "needs the sound server out of reach";
  }
  EXPECT_EQ(device.DeviceCount(), 0u);
  m.engineReady = EngineInit(m);
  EXPECT_EQ(m.engineReady, 0);
  ASSERT_EQ(ui.messages.size(), 1u) << Messages();
  EXPECT_EQ(ui.messages[0], "Impossible to detect an audio card");
  EXPECT_NE(m.outputRing, nullptr);  // the ring stays allocated
  StartPlayback(m);
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(m.timerId, 0u);
  EXPECT_FALSE(device.IsOpen());
}

using Playback = EngineOnWinmm;

TEST_F(Playback, PositionAdvancesAtTheByteRate) {
  m.engineReady = EngineInit(m);  // the caller keeps the result, as the program does
  ASSERT_EQ(m.engineReady, 1);
  StartPlayback(m);
  ASSERT_TRUE(device.IsOpen()) << Messages();
  ASSERT_EQ(m.playing, 1);
  Sleep(300);  // past the start-up of the stream
  const double t0 = NowSeconds();
  const uint32_t p0 = QueryPosition(m);
  Sleep(2000);
  const double t1 = NowSeconds();
  const uint32_t p1 = QueryPosition(m);
  const double rate = (p1 - p0) / (t1 - t0);
  std::printf("position rate %.0f bytes/s (format %u bytes/s)\n", rate,
              static_cast<unsigned>(m.format.avgBytesPerSec));
  // Loose: on a loaded machine Wine may fall behind in feeding the sound server, and its
  // position (what it has handed over) lags while it does.
  EXPECT_NEAR(rate, m.format.avgBytesPerSec, 0.1 * m.format.avgBytesPerSec);
  StopPlayback(m);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(m.playing, 0);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
}

// Plays the tone through the whole engine (start playback, the 50 ms tick on the multimedia
// timer, stop playback); the recording of the sink is checked by the wrapper.
TEST_F(Playback, ToneReachesTheSinkUntilStopped) {
  m.engineReady = EngineInit(m);  // the caller keeps the result, as the program does
  ASSERT_EQ(m.engineReady, 1);
  LoadTone(m, 2);
  m.mapHover = 1;  // the mouse is over the map: mixing starts with the playback

  const double start = NowSeconds();
  StartPlayback(m);
  ASSERT_TRUE(device.IsOpen()) << Messages();
  ASSERT_EQ(m.live, 1);
  Sleep(static_cast<DWORD>(g_options.playMs));
  const uint32_t bytesAtStop = QueryPosition(m);
  const double stop = NowSeconds();
  StopPlayback(m);
  const double stopped = NowSeconds();

  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(m.live, 0);
  EXPECT_TRUE(ui.messages.empty()) << Messages();
  // The tick mixed every frame the device played: the channel moved on with the ring.
  const uint32_t expectedRead = bytesAtStop % static_cast<uint32_t>(m.lengthBytes[2]);
  const uint32_t tolerance = m.format.avgBytesPerSec / 5;  // the last tick may lag the query
  const uint32_t readPos = static_cast<uint32_t>(m.readPosBytes[2]);
  const uint32_t lag = (expectedRead + m.lengthBytes[2] - readPos) % m.lengthBytes[2];
  EXPECT_LT(lag, tolerance) << "read position " << readPos << ", device at " << expectedRead;
  for (uint32_t i = 0; i < m.ringSizeBytes; i += 2) {
    ASSERT_EQ(m.outputRing[i], 0x80) << i;
    ASSERT_EQ(m.outputRing[i + 1], 0x00) << i;
  }

  std::printf(
      "TIMELINE {\"rate\": %d, \"play_s\": %.4f, \"stop_call_s\": %.4f, \"stop_return_s\": "
      "%.4f, \"bytes_at_stop\": %u, \"ring_bytes\": %u, \"left_hz\": %.1f, \"right_hz\": %.1f, "
      "\"left_amplitude\": %d, \"right_amplitude\": %d}\n",
      static_cast<int>(m.outputRate), 0.0, stop - start, stopped - start,
      static_cast<unsigned>(bytesAtStop), static_cast<unsigned>(m.ringSizeBytes), kLeftHz, kRightHz,
      kLeftAmplitude, kRightAmplitude);
  std::fflush(stdout);
  Sleep(800);  // silence after the stop, for the recording
}

// ---- The multimedia timer ---------------------------------------------------------------

struct Counter {
  std::atomic<int> calls{0};
  std::atomic<DWORD> threadId{0};
};

void Count(void* context) {
  auto* counter = static_cast<Counter*>(context);
  counter->threadId = GetCurrentThreadId();
  ++counter->calls;
}

TEST(MmTimerTest, PeriodicTimerCallsOnItsOwnThreadUntilKilled) {
  MmTimer timer;
  Counter counter;
  const TimerId id = timer.StartPeriodic(50, &Count, &counter);
  ASSERT_NE(id, 0u);
  Sleep(1000);
  timer.Kill(id);
  const int atKill = counter.calls;
  // About 20 calls in one second; loose bounds, the machine may be busy.
  EXPECT_GE(atKill, 10);
  EXPECT_LE(atKill, 30);
  EXPECT_NE(counter.threadId.load(), GetCurrentThreadId());
  Sleep(300);
  EXPECT_LE(counter.calls - atKill, 1) << "calls after the kill";
}

TEST(MmTimerTest, OneShotTimerCallsOnceWithItsContext) {
  MmTimer timer;
  Counter counter;
  const TimerId id = timer.StartOneShot(100, 0, &Count, &counter);
  ASSERT_NE(id, 0u);
  Sleep(600);
  EXPECT_EQ(counter.calls, 1);
  timer.Kill(id);  // already fired: harmless
  EXPECT_EQ(counter.calls, 1);
}

TEST(MmTimerTest, PeriodicAndOneShotPendingTogetherEachReachTheirOwnCallback) {
  MmTimer timer;
  Counter periodic;
  Counter oneShot;
  const TimerId periodicId = timer.StartPeriodic(50, &Count, &periodic);
  const TimerId oneShotId = timer.StartOneShot(100, 0, &Count, &oneShot);
  ASSERT_NE(periodicId, 0u);
  ASSERT_NE(oneShotId, 0u);
  EXPECT_NE(periodicId, oneShotId);
  Sleep(600);
  timer.Kill(periodicId);
  EXPECT_EQ(oneShot.calls, 1);
  EXPECT_GE(periodic.calls, 5);
}

TEST(MmTimerTest, KilledOneShotNeverCalls) {
  MmTimer timer;
  Counter counter;
  const TimerId id = timer.StartOneShot(300, 0, &Count, &counter);
  ASSERT_NE(id, 0u);
  timer.Kill(id);
  Sleep(600);
  EXPECT_EQ(counter.calls, 0);
}

TEST(MmTimerTest, FirstEngineCallbackRunsTheDeferredMenuStepInsteadOfATick) {
  Mixer m;
  WinmmDevice device;
  MmTimer timer;
  RecordingUi ui;
  m.device = &device;
  m.timer = &timer;
  m.ui = &ui;
  m.menuSetup = 1;
  m.live = 1;
  m.timerId = timer.StartOneShot(100, 0, &TimerCallback, &m);
  ASSERT_NE(m.timerId, 0u);
  Sleep(600);
  EXPECT_EQ(ui.menuSteps, 1);
  EXPECT_EQ(m.menuSetup, 0);
  EXPECT_EQ(m.tickGuard, 0);
}

bool ParseIntOption(const char* arg, const char* name, int& value) {
  const size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0) return false;
  value = std::atoi(arg + n);
  return true;
}

}  // namespace
}  // namespace mixorama

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    int value = 0;
    if (mixorama::ParseIntOption(argv[i], "--rate=", value)) {
      mixorama::g_options.rate = value;
    } else if (mixorama::ParseIntOption(argv[i], "--play-ms=", value)) {
      mixorama::g_options.playMs = value;
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  const int32_t rate = mixorama::g_options.rate;
  if (rate != 11025 && rate != 22050 && rate != 44100) {
    std::fprintf(stderr, "--rate must be 11025, 22050 or 44100\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
