// A tick thread running back to back against a GUI thread that loads, unloads, syncs, changes
// volumes, stops, starts and changes the rate. The table must stay consistent (and clean under
// ThreadSanitizer), and once stopped no tick may write into the ring again. Bounded by counts.
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

// Position moves on by a varying amount at every query, from just below the 32-bit wrap.
class AdvancingDevice : public OutputDevice {
 public:
  explicit AdvancingDevice(uint32_t failEvery) : failEvery_(failEvery) {}
  uint32_t DeviceCount() override { return 2; }
  DeviceStatus Capabilities(uint32_t, DeviceCaps& caps) override {
    caps = DeviceCaps{0xFFFFF, 2};
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat&) override { return (open_ = true, DeviceStatus::kOk); }
  DeviceStatus Prepare(const LoopBuffer&) override { return DeviceStatus::kOk; }
  DeviceStatus Write() override { return DeviceStatus::kOk; }
  DeviceStatus Position(uint32_t& bytesPlayed) override {
    ++queries_;
    if (failEvery_ != 0 && queries_ % failEvery_ == 0) return DeviceStatus::kError;
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

class CountingTimer : public PlaybackTimer {
 public:
  TimerId StartPeriodic(uint32_t, TimerCallbackFn, void*) override { return ++lastId_; }
  TimerId StartOneShot(uint32_t, uint32_t, TimerCallbackFn, void*) override { return ++lastId_; }
  void Kill(TimerId) override {}

 private:
  std::atomic<TimerId> lastId_{0};
};

class CountingUi : public UiSeam {
 public:
  void InfoBox(const char* text) override {
    std::lock_guard<std::mutex> hold(lock_);
    messages_.emplace_back(text);
  }
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
  void DeferredMenuStep() override {}
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

// A PCM wave whose left and right samples are equal, so every mixed frame has equal sides.
std::string WriteWave(const std::string& path, uint32_t rate, uint16_t channels, uint32_t frames) {
  std::vector<uint8_t> data;
  for (uint32_t i = 0; i < frames; ++i) {
    const int32_t v = static_cast<int32_t>((i * 7919u) % 65536u) - 32768;
    for (uint16_t c = 0; c < channels; ++c) PutLe(data, static_cast<uint32_t>(v), 2);
  }
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  PutLe(file, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size()), 4);
  for (char ch : std::string("WAVEfmt ")) file.push_back(static_cast<uint8_t>(ch));
  PutLe(file, 16, 4);
  PutLe(file, 1, 2);
  PutLe(file, channels, 2);
  PutLe(file, rate, 4);
  PutLe(file, rate * channels * 2, 4);
  PutLe(file, channels * 2u, 2);
  PutLe(file, 16, 2);
  for (char ch : std::string("data")) file.push_back(static_cast<uint8_t>(ch));
  PutLe(file, static_cast<uint32_t>(data.size()), 4);
  file.insert(file.end(), data.begin(), data.end());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr) << path;
  if (f == nullptr) return path;
  EXPECT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
  std::fclose(f);
  return path;
}

// The first fault of the table, checked under the engine lock.
std::string TableFault(Mixer& m) {
  std::lock_guard<std::mutex> hold(m.lock);
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.active[c] == 0) continue;
    const std::string ch = "channel " + std::to_string(c);
    if (m.sampleMemory[c] == nullptr || m.sampleData[c] == nullptr) return ch + " without memory";
    const int32_t pos = m.readPosBytes[c];
    if (pos < 0 || pos >= m.lengthBytes[c] || pos % 4 != 0) return ch + " read position";
  }
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.volume[c] < 1 || m.volume[c] > 350) return "volume out of range";
  }
  if (m.outputRing == nullptr) return "";
  if (m.playing != 0 &&
      (m.writeIndexBytes >= m.ringSizeBytes || m.writeIndexBytes % 4 != 0 ||
       m.lastPlayPosBytes < 0 || static_cast<uint32_t>(m.lastPlayPosBytes) >= m.ringSizeBytes)) {
    return "index out of the ring";
  }
  // A frame half written by the silence fill and half by a tick has unequal sides.
  for (uint32_t i = 0; i < m.ringSizeBytes; i += 4) {
    const uint8_t* f = m.outputRing + i;
    if (f[0] != f[2] || f[1] != f[3]) return "torn ring frame at " + std::to_string(i);
  }
  return "";
}

// Parameter: every n-th position query fails (0: never).
class StressTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(StressTest, TickAgainstGuiThreadKeepsTheTableConsistent) {
  const std::string dir = ::testing::TempDir();
  const std::string tag = "stress" + std::to_string(GetParam()) + "_";
  const std::vector<std::string> files = {
      WriteWave(dir + tag + "stereo.wav", 11025, 2, 700),
      WriteWave(dir + tag + "mono.wav", 22050, 1, 1500),
      WriteWave(dir + tag + "one.wav", 11025, 1, 1),
      dir + tag + "missing.wav",
  };

  AdvancingDevice dev(GetParam());
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
    LoadWaveIntoSlot(m, files[s % 3].c_str(), s);
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
  for (uint32_t i = 0; i < 1500; ++i) {
    const int slot = static_cast<int>((i * 5u) % kChannelCount);
    switch ((i * 2654435761u >> 7) % 9) {
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
        m.volume[(slot + 1) % kChannelCount] = 1;
        break;
      }
      case 5:
        if (m.playing != 0) StopPlayback(m);
        break;
      case 6:
        if (i % 10 == 9) ApplyOutputRate(m, rates[(i / 12) % 3], panel);
        break;
      default:
        if (m.playing == 0) StartPlayback(m);
        m.live = 1;
        std::this_thread::yield();
        break;
    }
  }

  // Hand-over 1: playing until the tick thread has mixed 100 times.
  for (int s = 0; s < kChannelCount; ++s) LoadWaveIntoSlot(m, files[s % 2].c_str(), s);
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

  // Hand-over 2: stopped; later ticks must leave the silence pattern alone.
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
  for (const std::string& text : ui.messages_) {
    EXPECT_TRUE(text == "Impossible to read the position in the wave" ||
                text == "Error opening file")
        << text;
  }
  for (const std::string& f : files) std::remove(f.c_str());
}

INSTANTIATE_TEST_SUITE_P(SteadyAndFailingDevice, StressTest, ::testing::Values(0u, 97u));

}  // namespace
}  // namespace mixorama
