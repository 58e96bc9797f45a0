// The tick on its own thread against the GUI thread's loads, unloads, syncs, moves, stops, starts
// and rate changes: no race report, a consistent table, no write into a stopped ring.
#include <atomic>
#include <thread>

#include "engine/mixer_tick.h"
#include "engine/playback.h"
#include "ui/map_rules.h"
#include "ui/rate_change.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

// Moves on by a varying amount from just below the 32-bit wrap; now and then the query fails.
class RunningDevice : public Device {
 public:
  DeviceStatus Position(uint32_t& bytes) override {
    if (++queries_ % 997 == 0) return DeviceStatus::kError;
    bytes = position_ += 4 * (1 + queries_ * 2654435761u % 64) + (queries_ % 13 == 0 ? 2 : 0);
    return DeviceStatus::kOk;
  }

 private:
  uint32_t queries_ = 0;
  uint32_t position_ = 0xFFF00000u;
};

// Timer and user interface calls come from both threads: this keeps no state.
class Quiet : public PlaybackTimer, public UiSeam, public RateChangeUi {
  TimerId StartPeriodic(uint32_t, TimerCallbackFn, void*) override { return 1; }
  TimerId StartOneShot(uint32_t, uint32_t, TimerCallbackFn, void*) override { return 2; }
  void Kill(TimerId) override {}
  void InfoBox(const char*) override {}
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
  void SetPlayCaption(const char*) override {}
  void UpdateRateChecks() override {}
};

TEST(StressTest, TickAgainstTheGuiThread) {
  Mixer m;
  RunningDevice device;
  Quiet ui;
  m.device = &device;
  m.timer = &ui;
  m.ui = &ui;
  m.engineReady = EngineInit(m);
  const Bytes waves[] = {PcmWave(2, 16, 11025, Pattern(4000, 1)),
                         PcmWave(1, 8, 22050, Pattern(777, 2)),
                         PcmWave(2, 8, 44100, Pattern(9000, 3))};
  std::atomic<bool> done{false};
  std::thread tick([&] {  // and the deferred menu step's read of the rate
    while (!done) MixerTick(m), CheckedRateItem(m);
  });
  MapMouseMove(m, 100, 100);
  StartPlayback(m);
  for (int i = 0; i < 20000; ++i) {
    const int slot = i % kChannelCount;
    if (i % 50 == 49 || i % 500 == 250) {
      if (i % 500 == 250) {
        ApplyOutputRate(m, i % 1000 == 250 ? 22050 : 11025, ui);
      } else {
        StopPlayback(m);
        // Stopped, the ring is silence and stays so whatever the tick thread does.
        std::lock_guard<std::mutex> hold(m.lock);
        for (uint32_t b = 0; m.outputRing != nullptr && b < m.ringSizeBytes; b += 2) {
          ASSERT_EQ(m.outputRing[b] + 256 * m.outputRing[b + 1], 0x80) << i;
        }
      }
      StartPlayback(m);
    } else if (i % 6 < 2) {
      Load(m, waves[i % 3], slot);
    } else if (i % 6 == 2) {
      UnloadChannel(m, slot);
    } else if (i % 6 == 3) {
      Sync(m);
    } else {
      MapMouseMove(m, i % 351, i * 3 % 351);
    }
    if (i % 64 != 0) continue;  // checking takes the lock, which orders the threads
    std::lock_guard<std::mutex> hold(m.lock);
    for (int c = 0; c < kChannelCount; ++c) {
      const int32_t pos = m.readPosBytes[c];
      ASSERT_TRUE(!m.active[c] ||
                  (m.sampleData[c] && pos >= 0 && pos < m.lengthBytes[c] && pos % 4 == 0));
    }
    ASSERT_LT(m.writeIndexBytes, m.ringSizeBytes);
  }
  done = true;
  tick.join();
  StopPlayback(m);
  for (int c = 0; c < kChannelCount; ++c) UnloadChannel(m, c);
}

}  // namespace
}  // namespace mixorama::test
