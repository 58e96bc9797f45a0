// The output timing of a channel table: the output rate, the size of the output ring and when
// the tick runs, set together by SetOutputTiming and nowhere else.
//
// Two timings:
//   program  the Windows program's: a quarter-second ring (RingSizeForRate) refilled by a
//            tick every 50 ms; tick k runs when the device has played floor(50 k rate / 1000)
//            frames. What is mixed is heard one ring later, about 250 ms.
//   live     a ring of 256 frames (1024 bytes) at every rate and a tick every 128 frames (the
//            browser's render quantum); tick k runs when the device has played 128 k frames.
//            An input is heard at most 256 frames later.
// In both, an input at t ms runs just before the first tick k >= 1 whose frame count is at
// least floor(t rate / 1000) (FirstTickAtOrAfter).
#pragma once

#include <cstdint>

namespace mixorama {

struct Mixer;

enum class OutputTiming : int32_t { kProgram, kLive };

inline constexpr uint32_t kTickPeriodMs = 50;     // program timing: one tick every 50 ms
inline constexpr uint32_t kLiveRingBytes = 1024;  // live timing: 256 frames at every rate
inline constexpr uint32_t kLiveTickFrames = 128;  // live timing: one tick every 128 frames

// Ring size rule of the program timing: output rate + 1 with the two lowest bits cleared.
// 11025 -> 11024, 22050 -> 22048, 44100 -> 44100 bytes: a quarter of a second of 4-byte frames.
constexpr uint32_t RingSizeForRate(int32_t outputRate) {
  return (static_cast<uint32_t>(outputRate) + 1u) & ~3u;
}

// The ring size of a timing at rate, in bytes.
constexpr uint32_t RingSizeFor(int32_t outputRate, OutputTiming timing) {
  return timing == OutputTiming::kLive ? kLiveRingBytes : RingSizeForRate(outputRate);
}

// Frames the device has played by time ms at rate: floor(ms * rate / 1000), 0 for ms <= 0.
uint64_t FramesByTime(int32_t rate, int64_t ms);

// Frames the device has played when tick k (1, 2, ...) runs.
uint64_t TickFrames(int32_t rate, OutputTiming timing, int64_t k);

// The first tick k >= 1 that runs once the device has played at least frames frames.
int64_t FirstTickAtOrAfter(int32_t rate, OutputTiming timing, uint64_t frames);

// The platform timer's period for a playback in this timing, in whole milliseconds: 50 for the
// program; for the live timing, which its device's own clock drives, 128 frames rounded down
// to whole milliseconds, at least 1.
uint32_t TickPeriodMs(int32_t rate, OutputTiming timing);

// Sets the output rate (one of kOutputRates), the ring size and the timing of m together,
// under the engine lock. Call with playback stopped and no ring held (before EngineInit, which
// allocates the ring of the new size). GUI thread.
void SetOutputTiming(Mixer& m, int32_t rate, OutputTiming timing);

}  // namespace mixorama
