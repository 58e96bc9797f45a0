// Conversion throughput in bytes of input per second, each case beside a memcpy of the same
// input in the same run: 16-bit stereo 44100 -> 44100 (the byte-swapping fast path) and
// 22050 -> 44100, 8-bit mono 11025 -> 44100. The input is 4 MiB of noise; the output block is
// allocated once, as the loader's zero-filled block would be, outside the timed loop.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/wave_convert.h"

namespace {

using namespace mixorama;

constexpr uint32_t kInputBytes = 4u << 20;

std::vector<uint8_t> Noise(uint32_t bytes) {
  std::vector<uint8_t> v(bytes);
  uint32_t x = 0x12345678u;
  for (uint8_t& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

void RunConversion(benchmark::State& state, uint16_t channels, uint16_t bits, uint32_t rate,
                   bool reference) {
  const std::vector<uint8_t> input = Noise(kInputBytes);
  WaveFormat format;
  format.formatTag = 1;
  format.channels = channels;
  format.bitsPerSample = bits;
  format.sampleRate = rate;
  const ConversionPlan plan = PlanConversion(format, kInputBytes, 44100);
  std::vector<uint8_t> out(plan.lengthBytes);
  for (auto _ : state) {
    const uint64_t written =
        reference ? ConvertWaveReference(plan, input.data(), kInputBytes, out.data(), out.size())
                  : ConvertWave(plan, input.data(), kInputBytes, out.data(), out.size());
    benchmark::DoNotOptimize(written);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kInputBytes);
}

void BM_Memcpy(benchmark::State& state) {
  const std::vector<uint8_t> input = Noise(kInputBytes);
  std::vector<uint8_t> out(kInputBytes);
  for (auto _ : state) {
    std::memcpy(out.data(), input.data(), kInputBytes);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kInputBytes);
}

void BM_Stereo16_44100_to_44100(benchmark::State& s) {
  RunConversion(s, 2, 16, 44100, false);
}
void BM_Stereo16_44100_to_44100_reference(benchmark::State& s) {
  RunConversion(s, 2, 16, 44100, true);
}
void BM_Stereo16_22050_to_44100(benchmark::State& s) {
  RunConversion(s, 2, 16, 22050, false);
}
void BM_Mono8_11025_to_44100(benchmark::State& s) {
  RunConversion(s, 1, 8, 11025, false);
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Stereo16_44100_to_44100);
BENCHMARK(BM_Stereo16_44100_to_44100_reference);
BENCHMARK(BM_Stereo16_22050_to_44100);
BENCHMARK(BM_Mono8_11025_to_44100);

}  // namespace

BENCHMARK_MAIN();
