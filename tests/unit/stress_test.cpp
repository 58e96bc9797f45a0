// Two threads on one channel table, as in the program: a timer thread running the tick back to
// back against a GUI thread that loads waves from files, empties slots, syncs, changes volumes,
// stops and starts playback and changes the output rate. Built under ThreadSanitizer it must
// run without a report; in every build the table must stay consistent throughout, and once
// playback is stopped no tick may write into the ring again.
//
// Bounded by iteration counts; the two threads only wait for each other at two hand-over points.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/output.h"
#include "engine/wave_loader.h"
#include "ui/rate_change.h"

namespace mixorama {
namespace {

// A device whose position moves on by a varying amount at every query, starting just below
// the 32-bit wrap. Every call comes in under the engine's device lock.
class AdvancingDevice : public OutputDevice {
 public:
  explicit AdvancingDevice(uint32_t failEvery) : failEvery_(failEvery) {}
  uint32_t DeviceCount() override { return 2; }
  DeviceStatus Capabilities(uint32_t, DeviceCaps& caps) override {
    caps = DeviceCaps{0xFFFFF, 2};
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat&) override {
    open_ = true;
    return DeviceStatus::kOk;
  }
  DeviceStatus Prepare(const LoopBuffer&) override { return DeviceStatus::kOk; }
  DeviceStatus Write() override { return DeviceStatus::kOk; }
  DeviceStatus Position(uint32_t& bytesPlayed) override {
    ++queries_;
    if (failEvery_ != 0 && queries_ % failEvery_ == 0) return DeviceStatus::kError;
    // Mostly whole frames, now and then a half frame (a mono device's step).
    position_ += 4 * (1 + (queries_ * 2654435761u) % 900) + ((queries_ % 17 == 0) ? 2 : 0);
    bytesPlayed = position_;
    return DeviceStatus::kOk;
  }
  void Reset() override {}
  void Unprepare() override {}
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }

 private:
  uint32_t failEvery_;
  bool open_ = false;
  uint32_t queries_ = 0;
  uint32_t position_ = 0xFFF00000u;
};

// Timer calls come from both threads (kill after a failed query runs on the tick thread).
class CountingTimer : public PlaybackTimer {
 public:
  TimerId StartPeriodic(uint32_t, TimerCallbackFn, void*) override { return ++lastId_; }
  TimerId StartOneShot(uint32_t, uint32_t, TimerCallbackFn, void*) override { return ++lastId_; }
  void Kill(TimerId) override { ++kills_; }
  int kills() const { return kills_; }

 private:
  std::atomic<TimerId> lastId_{0};
  std::atomic<int> kills_{0};
};

// Message boxes come from both threads as well.
class CountingUi : public UiSeam {
 public:
  void InfoBox(const char* text) override {
    std::lock_guard<std::mutex> hold(lock_);
    messages_.emplace_back(text);
  }
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
  void DeferredMenuStep() override {}
  std::vector<std::string> messages() {
    std::lock_guard<std::mutex> hold(lock_);
    return messages_;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> messages_;
};

class NoPanel : public RateChangeUi {
 public:
  void SetPlayCaption(const char*) override {}
  void UpdateRateChecks() override {}
};

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A PCM wave file whose left and right samples are always equal, so every frame the tick mixes
// from such material has equal sides as well.
std::string WriteWave(const std::string& path, uint32_t rate, uint16_t channels, uint16_t bits,
                      uint32_t frames) {
  std::vector<uint8_t> data;
  for (uint32_t i = 0; i < frames; ++i) {
    const int32_t v = static_cast<int32_t>((i * 7919u) % 65536u) - 32768;
    for (uint16_t c = 0; c < channels; ++c) {
      if (bits == 8) {
        PutLe(data, static_cast<uint32_t>((v >> 8) + 128), 1);
      } else {
        PutLe(data, static_cast<uint32_t>(v), 2);
      }
    }
  }
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  PutLe(file, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size()), 4);
  for (char ch : std::string("WAVEfmt ")) file.push_back(static_cast<uint8_t>(ch));
  PutLe(file, 16, 4);
  PutLe(file, 1, 2);
  PutLe(file, channels, 2);
  PutLe(file, rate, 4);
  PutLe(file, rate * channels * bits / 8, 4);
  PutLe(file, channels * bits / 8, 2);
  PutLe(file, bits, 2);
  for (char ch : std::string("data")) file.push_back(static_cast<uint8_t>(ch));
  PutLe(file, static_cast<uint32_t>(data.size()), 4);
  file.insert(file.end(), data.begin(), data.end());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr) << path;
  if (f != nullptr) {
    EXPECT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
  }
  return path;
}

// Checks the table with the engine lock held; returns a description of the first fault.
std::string TableFault(Mixer& m) {
  std::lock_guard<std::mutex> hold(m.lock);
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.active[c] == 0) continue;
    if (m.sampleMemory[c] == nullptr || m.sampleData[c] == nullptr) {
      return "active channel " + std::to_string(c) + " without memory";
    }
    const int32_t pos = m.readPosBytes[c];
    if (pos < 0 || pos >= m.lengthBytes[c] || pos % 4 != 0) {
      return "channel " + std::to_string(c) + " read position " + std::to_string(pos) + " of " +
             std::to_string(m.lengthBytes[c]);
    }
  }
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.volume[c] < 1 || m.volume[c] > 350) return "volume out of range";
  }
  // The indexes are reset by start playback; a rate change in between leaves them behind.
  if (m.outputRing != nullptr && m.playing != 0) {
    if (m.writeIndexBytes >= m.ringSizeBytes || m.writeIndexBytes % 4 != 0) {
      return "write index " + std::to_string(m.writeIndexBytes);
    }
    if (m.lastPlayPosBytes < 0 || static_cast<uint32_t>(m.lastPlayPosBytes) >= m.ringSizeBytes) {
      return "last play position " + std::to_string(m.lastPlayPosBytes);
    }
  }
  if (m.outputRing != nullptr) {
    // Zeros, the silence pattern and mixes of equal-sided material all have equal sides; a
    // frame half filled by the silence fill and half by a tick does not.
    for (uint32_t i = 0; i < m.ringSizeBytes; i += 4) {
      const uint8_t* f = m.outputRing + i;
      if (f[0] != f[2] || f[1] != f[3]) return "torn ring frame at " + std::to_string(i);
    }
  }
  return "";
}

struct StressCase {
  const char* name;
  uint32_t failEvery;  // every n-th position query fails (0: never)
};

class StressTest : public ::testing::TestWithParam<StressCase> {};

TEST_P(StressTest, TickAgainstGuiThreadKeepsTheTableConsistent) {
  const std::string dir = ::testing::TempDir();
  const std::string tag = std::string(GetParam().name) + "_";
  const std::vector<std::string> files = {
      WriteWave(dir + tag + "s16.wav", 11025, 2, 16, 700),
      WriteWave(dir + tag + "m8.wav", 22050, 1, 8, 1500),
      WriteWave(dir + tag + "m16.wav", 44100, 1, 16, 333),
      WriteWave(dir + tag + "one.wav", 11025, 1, 16, 1),
      dir + tag + "missing.wav",
  };

  AdvancingDevice dev(GetParam().failEvery);
  CountingTimer timer;
  CountingUi ui;
  NoPanel panel;
  Mixer m;
  m.device = &dev;
  m.timer = &timer;
  m.ui = &ui;
  m.engineReady = EngineInit(m);
  ASSERT_EQ(m.engineReady, 1);
  for (int s = 0; s < kChannelCount; ++s) {
    LoadWaveIntoSlot(m, files[s % 4].c_str(), s);
  }
  m.mapHover = 1;
  StartPlayback(m);

  std::atomic<int> phase{0};  // 0: mixed run, 1: playing calmly, 2: stopped for good, 3: done
  std::atomic<int> mixedInPhase1{0};
  std::atomic<int> ticksInPhase2{0};
  std::string tickThreadFault;

  std::thread tickThread([&] {
    uint32_t lastWrite = 0;
    for (long i = 0;; ++i) {
      const int p = phase.load();
      if (p == 3) break;
      TimerCallback(&m);
      bool mixed = false;
      {
        std::lock_guard<std::mutex> hold(m.lock);
        mixed = m.writeIndexBytes != lastWrite;
        lastWrite = m.writeIndexBytes;
      }
      if (p == 1 && mixed) ++mixedInPhase1;
      if (p == 2) ++ticksInPhase2;
      if (i % 64 == 0 && tickThreadFault.empty()) tickThreadFault = TableFault(m);
    }
  });

  const int32_t rates[] = {11025, 22050, 44100};
  for (uint32_t i = 0; i < 3000; ++i) {
    const int slot = static_cast<int>((i * 5u) % kChannelCount);
    switch ((i * 2654435761u >> 7) % 12) {
      case 0:
      case 1:
        LoadWaveIntoSlot(m, files[(i / 7) % files.size()].c_str(), slot);
        break;
      case 2:
        UnloadChannel(m, slot);
        break;
      case 3:
        Sync(m);
        break;
      case 4: {
        std::lock_guard<std::mutex> hold(m.lock);
        m.targetVolume[slot] = static_cast<int32_t>(1 + (i * 37u) % 350);
        break;
      }
      case 5: {
        std::lock_guard<std::mutex> hold(m.lock);
        m.volume[slot] = 1;
        break;
      }
      case 6:
        m.live = 1;
        break;
      case 7:
        if (m.playing != 0) StopPlayback(m);
        break;
      case 8:
        if (m.playing == 0) StartPlayback(m);
        break;
      case 9:
        if (i % 10 == 9) ApplyOutputRate(m, rates[(i / 12) % 3], panel);
        break;
      default:
        if (m.playing == 0) StartPlayback(m);
        m.live = 1;
        std::this_thread::yield();
        break;
    }
  }

  // Hand-over 1: playing with waves loaded (started again after any failed query) until the
  // tick thread has mixed a fixed number of times, so mixing is seen whatever the scheduling.
  for (int s = 0; s < kChannelCount; ++s) LoadWaveIntoSlot(m, files[s % 3].c_str(), s);
  m.live = 1;
  phase = 1;
  long waits = 0;
  while (mixedInPhase1.load() < 100 && ++waits < 200000000) {
    if (m.playing == 0) {
      StartPlayback(m);
      m.live = 1;
    }
    std::this_thread::yield();
  }

  EXPECT_GE(mixedInPhase1.load(), 100) << "the tick never mixed while playing";

  // Hand-over 2: stopped; the ticks that follow must leave the silence pattern alone.
  StopPlayback(m);
  phase = 2;
  waits = 0;
  while (ticksInPhase2.load() < 200 && ++waits < 200000000) std::this_thread::yield();
  phase = 3;
  tickThread.join();

  EXPECT_EQ(tickThreadFault, "");
  EXPECT_EQ(TableFault(m), "");
  EXPECT_EQ(m.tickGuard, 0);
  EXPECT_EQ(m.live, 0);
  ASSERT_NE(m.outputRing, nullptr);
  for (uint32_t i = 0; i < m.ringSizeBytes; i += 2) {
    ASSERT_EQ(m.outputRing[i], 0x80) << i;
    ASSERT_EQ(m.outputRing[i + 1], 0x00) << i;
  }
  for (const std::string& text : ui.messages()) {
    EXPECT_TRUE(text == "Impossible to read the position in the wave" ||
                text == "Error opening file")
        << text;
  }
  for (const std::string& f : files) std::remove(f.c_str());
}

INSTANTIATE_TEST_SUITE_P(Devices, StressTest,
                         ::testing::Values(StressCase{"SteadyDevice", 0},
                                           StressCase{"FailingDevice", 97}),
                         [](const ::testing::TestParamInfo<StressCase>& i) {
                           return std::string(i.param.name);
                         });

}  // namespace
}  // namespace mixorama
