// One 50 ms mixer tick at 44100 samples per second (2205 frames) with 8 active channels,
// beside a plain loop that sums the same 8 buffers into a 16-bit stereo block: the floor that
// any mixer of this data has to pay. Goals: under 50 us a tick, within 3x of the plain sum.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/slot.h"

namespace mixorama {
namespace {

constexpr int32_t kRate = 44100;
constexpr uint32_t kTickFrames = 2205;  // 50 ms at 44100
constexpr int kWaveFrames[kChannelCount] = {44100, 22050, 11025, 8820, 33075, 4410, 17640, 2205};

// Moves its position on by one tick's worth of bytes at every query.
class TickClockDevice : public OutputDevice {
 public:
  uint32_t DeviceCount() override { return 1; }
  DeviceStatus Capabilities(uint32_t, DeviceCaps& caps) override {
    caps = DeviceCaps{0xFFFFF, 2};
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat&) override { return DeviceStatus::kOk; }
  DeviceStatus Prepare(const LoopBuffer&) override { return DeviceStatus::kOk; }
  DeviceStatus Write() override { return DeviceStatus::kOk; }
  DeviceStatus Position(uint32_t& bytesPlayed) override {
    position_ += kTickFrames * 4;
    bytesPlayed = position_;
    return DeviceStatus::kOk;
  }
  void Reset() override {}
  void Unprepare() override {}
  void Close() override {}
  bool IsOpen() const override { return true; }

 private:
  uint32_t position_ = 0;
};

// Eight loaded channels of drum-like material at different volumes, playing at 44100.
void SetUpTable(Mixer& m, TickClockDevice& dev) {
  SetOutputTiming(m, kRate, OutputTiming::kProgram);
  m.outputRing = static_cast<uint8_t*>(m.allocator.allocZeroed(m.ringSizeBytes));
  for (int c = 0; c < kChannelCount; ++c) {
    const int frames = kWaveFrames[c];
    auto* data = static_cast<uint8_t*>(m.allocator.allocZeroed(static_cast<size_t>(frames) * 4));
    uint32_t seed = 12345u + static_cast<uint32_t>(c);
    for (int i = 0; i < frames; ++i) {
      seed = seed * 1664525u + 1013904223u;
      // A decaying noise burst every 5512 frames: loud starts, quiet tails.
      const int32_t envelope = 32767 - (i % 5512) * 5;
      const int32_t noise = static_cast<int32_t>(seed >> 16) - 32768;
      const auto s = static_cast<int16_t>(noise * envelope / 32768);
      const auto u = static_cast<uint16_t>(s);
      data[4 * i + 0] = data[4 * i + 2] = static_cast<uint8_t>(u >> 8);
      data[4 * i + 1] = data[4 * i + 3] = static_cast<uint8_t>(u & 0xFF);
    }
    InstallFrames(m, c, data, frames * 4);
    m.volume[c] = 40 + 40 * c;
    m.targetVolume[c] = 350 - 30 * c;  // ramping during the first ticks, steady later
  }
  m.device = &dev;
  m.playing = 1;
  m.live = 1;
}

void BM_MixerTick(benchmark::State& state) {
  Mixer m;
  TickClockDevice dev;
  SetUpTable(m, dev);
  for (auto _ : state) {
    MixerTick(m);
    benchmark::DoNotOptimize(m.outputRing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTickFrames);
}
BENCHMARK(BM_MixerTick)->Unit(benchmark::kMicrosecond);

// A harder tick: every wave 37 frames long (a wrap every 37 frames) and every target moved to
// the other end of the range before each tick, so every channel ramps all through it.
void BM_MixerTickShortWavesRamping(benchmark::State& state) {
  Mixer m;
  TickClockDevice dev;
  SetUpTable(m, dev);
  for (int c = 0; c < kChannelCount; ++c) m.lengthBytes[c] = 37 * 4;
  int32_t target = 350;
  for (auto _ : state) {
    target = target == 350 ? 1 : 350;
    for (int c = 0; c < kChannelCount; ++c) m.targetVolume[c] = target;
    MixerTick(m);
    benchmark::DoNotOptimize(m.outputRing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTickFrames);
}
BENCHMARK(BM_MixerTickShortWavesRamping)->Unit(benchmark::kMicrosecond);

// The plain one-frame-at-a-time mixing that the tick's fast path must match byte for byte.
void BM_ReferenceFrameByFrame(benchmark::State& state) {
  Mixer m;
  TickClockDevice dev;
  SetUpTable(m, dev);
  for (auto _ : state) {
    for (uint32_t f = 0; f < kTickFrames; ++f) MixOneFrame(m);
    benchmark::DoNotOptimize(m.outputRing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTickFrames);
}
BENCHMARK(BM_ReferenceFrameByFrame)->Unit(benchmark::kMicrosecond);

// The same 8 buffers, same frame count, same read-position wraps: decode, add, write.
void BM_PlainSumOfEightBuffers(benchmark::State& state) {
  Mixer m;
  TickClockDevice dev;
  SetUpTable(m, dev);
  std::vector<int16_t> out(kTickFrames * 2);
  int32_t pos[kChannelCount] = {};
  for (auto _ : state) {
    for (uint32_t f = 0; f < kTickFrames; ++f) {
      int32_t left = 0;
      int32_t right = 0;
      for (int c = 0; c < kChannelCount; ++c) {
        const uint8_t* p = m.sampleData[c] + pos[c];
        left += static_cast<int8_t>(p[0]) * 256 + p[1];
        right += static_cast<int8_t>(p[2]) * 256 + p[3];
        pos[c] += 4;
        if (pos[c] >= m.lengthBytes[c]) pos[c] = 0;
      }
      out[2 * f] = static_cast<int16_t>(left >> 3);
      out[2 * f + 1] = static_cast<int16_t>(right >> 3);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTickFrames);
}
BENCHMARK(BM_PlainSumOfEightBuffers)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mixorama

BENCHMARK_MAIN();
