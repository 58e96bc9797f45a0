#include "engine/output_timing.h"

#include <mutex>

#include "engine/mixer.h"

namespace mixorama {

uint64_t FramesByTime(int32_t rate, int64_t ms) {
  if (ms <= 0) return 0;
  return static_cast<uint64_t>(ms) * static_cast<uint64_t>(rate) / 1000u;
}

uint64_t TickFrames(int32_t rate, OutputTiming timing, int64_t k) {
  if (timing == OutputTiming::kLive) return static_cast<uint64_t>(k) * kLiveTickFrames;
  return FramesByTime(rate, k * static_cast<int64_t>(kTickPeriodMs));
}

int64_t FirstTickAtOrAfter(int32_t rate, OutputTiming timing, uint64_t frames) {
  int64_t k = 0;
  if (timing == OutputTiming::kLive) {
    k = static_cast<int64_t>((frames + kLiveTickFrames - 1) / kLiveTickFrames);
  } else {
    // Tick floor(ms / 50) of the whole milliseconds that frames take has played at most
    // frames frames; the ticks after it are counted up to the answer (one or two steps).
    const uint64_t ms = frames * 1000u / static_cast<uint64_t>(rate);
    k = static_cast<int64_t>(ms / kTickPeriodMs);
    while (TickFrames(rate, timing, k) < frames) ++k;
  }
  return k < 1 ? 1 : k;
}

uint32_t TickPeriodMs(int32_t rate, OutputTiming timing) {
  if (timing == OutputTiming::kProgram) return kTickPeriodMs;
  const uint32_t ms = kLiveTickFrames * 1000u / static_cast<uint32_t>(rate);
  return ms < 1 ? 1 : ms;
}

void SetOutputTiming(Mixer& m, int32_t rate, OutputTiming timing) {
  std::lock_guard<std::mutex> hold(m.lock);
  m.outputRate = rate;
  m.ringSizeBytes = RingSizeFor(rate, timing);
  m.timing = timing;
}

}  // namespace mixorama
