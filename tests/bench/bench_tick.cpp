// The mixer tick at 44100 frames a second, each case beside a plain loop that decodes and sums
// the same buffers into a 16-bit stereo block (same read-position wraps, no volume, no
// divisor): the floor any mixer of this data pays. Every figure is per frame of output
// (items are frames), so the program's tick (2205 frames) and the live one (128) compare.
//
//   BM_MixerTick/F/C/W       MixerTick on C active channels, F frames a tick, through a device
//                            whose position moves on by one tick at every query: the lock,
//                            the position query and the per-channel set-up included.
//   BM_PlainSum/F/C/W        the plain loop on the same buffers, F frames at a time.
//   W = 0: waves of 2205 to 44100 frames (all eight: 1.2 MB, in the cache); W = 1: eight
//   60-second waves (85 MB, far beyond the 32 MiB last-level cache).
//   BM_MixerTickShortWavesRamping  every wave 37 frames long (a wrap every 37 frames) and
//                            every target moved to the other end of the range before each tick.
//   BM_ReferenceFrameByFrame the plain MixOneFrame called 2205 times, the reference twin.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/slot.h"

namespace mixorama {
namespace {

constexpr int32_t kRate = 44100;
constexpr uint32_t kProgramTickFrames = 2205;  // 50 ms at 44100
constexpr int kCachedWaveFrames[kChannelCount] = {44100, 22050, 11025, 8820,
                                                  33075, 4410,  17640, 2205};
constexpr int kLongWaveFrames = 60 * kRate;

// Moves its position on by tickFrames frames at every query.
class TickClockDevice : public OutputDevice {
 public:
  explicit TickClockDevice(uint32_t tickFrames) : tickBytes_(tickFrames * kFrameBytes) {}
  uint32_t DeviceCount() override { return 1; }
  DeviceStatus Capabilities(uint32_t, DeviceCaps& caps) override {
    caps = DeviceCaps{0xFFFFF, 2};
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat&) override { return DeviceStatus::kOk; }
  DeviceStatus Prepare(const LoopBuffer&) override { return DeviceStatus::kOk; }
  DeviceStatus Write() override { return DeviceStatus::kOk; }
  DeviceStatus Position(uint32_t& bytesPlayed) override {
    position_ += tickBytes_;
    bytesPlayed = position_;
    return DeviceStatus::kOk;
  }
  void Reset() override {}
  void Unprepare() override {}
  void Close() override {}
  bool IsOpen() const override { return true; }

 private:
  uint32_t tickBytes_;
  uint32_t position_ = 0;
};

// channels loaded channels of drum-like material at different volumes, at 44100 in the timing
// whose tick is tickFrames long (the live one for 128 frames).
void SetUpTable(Mixer& m, TickClockDevice& dev, uint32_t tickFrames, int channels, bool longWaves) {
  SetOutputTiming(m, kRate,
                  tickFrames == kLiveTickFrames ? OutputTiming::kLive : OutputTiming::kProgram);
  m.outputRing = static_cast<uint8_t*>(m.allocator.allocZeroed(m.ringSizeBytes));
  for (int c = 0; c < channels; ++c) {
    const int frames = longWaves ? kLongWaveFrames : kCachedWaveFrames[c];
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
  const auto tickFrames = static_cast<uint32_t>(state.range(0));
  Mixer m;
  TickClockDevice dev(tickFrames);
  SetUpTable(m, dev, tickFrames, static_cast<int>(state.range(1)), state.range(2) != 0);
  for (auto _ : state) {
    MixerTick(m);
    benchmark::DoNotOptimize(m.outputRing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * tickFrames);
}

// The same buffers, frame count and read-position wraps: decode, add, write.
void BM_PlainSum(benchmark::State& state) {
  const auto tickFrames = static_cast<uint32_t>(state.range(0));
  const int channels = static_cast<int>(state.range(1));
  Mixer m;
  TickClockDevice dev(tickFrames);
  SetUpTable(m, dev, tickFrames, channels, state.range(2) != 0);
  std::vector<int16_t> out(tickFrames * 2);
  int32_t pos[kChannelCount] = {};
  for (auto _ : state) {
    for (uint32_t f = 0; f < tickFrames; ++f) {
      int32_t left = 0;
      int32_t right = 0;
      for (int c = 0; c < channels; ++c) {
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
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * tickFrames);
}

// Ticks of both sizes on eight cached channels; 1, 2 and 4 channels and the long waves at the
// program's tick.
void TickCases(benchmark::internal::Benchmark* b) {
  b->Args({kProgramTickFrames, 8, 0})->Args({kLiveTickFrames, 8, 0});
  for (int channels : {1, 2, 4}) b->Args({kProgramTickFrames, channels, 0});
  b->Args({kProgramTickFrames, 8, 1});
  b->ArgNames({"frames", "channels", "long"})->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_MixerTick)->Apply(TickCases);
BENCHMARK(BM_PlainSum)->Apply(TickCases);

void BM_MixerTickShortWavesRamping(benchmark::State& state) {
  Mixer m;
  TickClockDevice dev(kProgramTickFrames);
  SetUpTable(m, dev, kProgramTickFrames, kChannelCount, false);
  for (int c = 0; c < kChannelCount; ++c) m.lengthBytes[c] = 37 * 4;
  int32_t target = 350;
  for (auto _ : state) {
    target = target == 350 ? 1 : 350;
    for (int c = 0; c < kChannelCount; ++c) m.targetVolume[c] = target;
    MixerTick(m);
    benchmark::DoNotOptimize(m.outputRing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kProgramTickFrames);
}
BENCHMARK(BM_MixerTickShortWavesRamping)->Unit(benchmark::kMicrosecond);

void BM_ReferenceFrameByFrame(benchmark::State& state) {
  Mixer m;
  TickClockDevice dev(kProgramTickFrames);
  SetUpTable(m, dev, kProgramTickFrames, kChannelCount, false);
  for (auto _ : state) {
    for (uint32_t f = 0; f < kProgramTickFrames; ++f) MixOneFrame(m);
    benchmark::DoNotOptimize(m.outputRing);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kProgramTickFrames);
}
BENCHMARK(BM_ReferenceFrameByFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mixorama

BENCHMARK_MAIN();
