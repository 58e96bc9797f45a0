#include "engine/mixer_tick.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "engine/byte_reader.h"
#include "engine/mix_terms.h"
#include "engine/playback.h"
#include "engine/texts.h"

namespace mixorama {

namespace {

// A stored frame sample (high byte first) read as its value minus 32768: -65536 .. -1.
inline int32_t OffsetSample(const uint8_t* p) {
  return static_cast<int8_t>(p[0]) * 256 + p[1] - 32768;
}

// Output values are saturated to 16 bits: writing only the low 16 bits would turn +32768
// (a silent mix at low volumes) into -32768, a full-scale click.
inline int32_t Saturate16(int32_t v) {
  return v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
}

// Frames are mixed in blocks of this many: the block's sums stay in the first-level cache.
constexpr int32_t kBlockFrames = 256;

// The loops below run over samples (two a frame) of one channel, adding each sample's term
// (engine/mix_terms.h) to the block's sums. Sums and sample data never overlap.

// A volume that moves by step (+1 or -1) after every frame, from volume on.
void AddRampingTerms(const uint8_t* __restrict frame, int32_t frames, int32_t volume, int32_t step,
                     uint32_t* __restrict sums) {
  for (int32_t j = 0; j < frames; ++j) {
    const auto v = static_cast<uint32_t>(volume + step * j);
    sums[2 * j] += v * (SampleComplement(frame + 4 * j) + 1u) / kUnityVolume;
    sums[2 * j + 1] += v * (SampleComplement(frame + 4 * j + 2) + 1u) / kUnityVolume;
  }
}

// Unity volume: the term is the sample's magnitude w + 1 itself.
void AddUnityTerms(const uint8_t* __restrict samples, int32_t count, uint32_t* __restrict sums) {
  for (int32_t j = 0; j < count; ++j) sums[j] += SampleComplement(samples + 2 * j) + 1u;
}

#if defined(__wasm_simd128__)
// A steady volume of 1..349, in 32-bit arithmetic throughout: WebAssembly SIMD multiplies
// 32-bit lanes but has no 16-bit high product, and widening 16-bit lanes costs shuffles.
void AddSteadyTerms(const uint8_t* __restrict samples, int32_t count, int32_t volume,
                    uint32_t* __restrict sums) {
  const uint32_t multiplier = WideMultiplier(volume);
  const uint32_t high = multiplier >> 16;
  const uint32_t low = multiplier & 0xFFFFu;
  for (int32_t j = 0; j < count; ++j) {
    sums[j] += SteadyTermWide(SampleMagnitude(samples + 2 * j), high, low);
  }
}
#else
// SteadyMultiplier of every volume below unity. Read from a table, the multiplier is to the
// compiler any 16-bit value, and it takes the 16 x 16-bit high product for what it is (one
// instruction for eight samples); computed in place, its narrower range hides that.
constexpr std::array<uint16_t, kUnityVolume> kSteadyMultipliers = [] {
  std::array<uint16_t, kUnityVolume> table{};
  for (int32_t v = 0; v < kUnityVolume; ++v) table[v] = SteadyMultiplier(v);
  return table;
}();

// A steady volume of 1..349: 16-bit arithmetic throughout but for the sums (SSE2 has the
// 16-bit high product).
void AddSteadyTerms(const uint8_t* __restrict samples, int32_t count, int32_t volume,
                    uint32_t* __restrict sums) {
  const auto v = static_cast<uint16_t>(volume);
  const uint16_t multiplier = kSteadyMultipliers[volume];
  for (int32_t j = 0; j < count; ++j) {
    sums[j] += SteadyTerm(SampleComplement(samples + 2 * j), v, multiplier);
  }
}
#endif

// Adds n frames of channel c to sums (left and right of each frame), advancing its read
// position and ramping its volume, in runs that neither cross the wave's end nor change
// the kind of volume step.
void AddChannel(Mixer& m, int c, int32_t n, uint32_t* sums) {
  const uint8_t* const data = m.sampleData[c];
  const int32_t length = m.lengthBytes[c];
  const int32_t target = m.targetVolume[c];
  int32_t readPos = m.readPosBytes[c];
  int32_t volume = m.volume[c];
  for (int32_t i = 0; i < n;) {
    int32_t run = (length - readPos) / kFrameBytes;  // frames up to the wave's end
    if (run < 1) run = 1;
    if (run > n - i) run = n - i;
    const uint8_t* const frame = data + readPos;
    uint32_t* const runSums = sums + 2 * i;
    if (volume != target) {
      const int32_t rampFrames = volume < target ? target - volume : volume - target;
      if (run > rampFrames) run = rampFrames;
      const int32_t step = volume < target ? 1 : -1;
      AddRampingTerms(frame, run, volume, step, runSums);
      volume += step * run;
    } else if (volume == kUnityVolume) {
      AddUnityTerms(frame, 2 * run, runSums);
    } else if (volume >= 1 && volume < kUnityVolume) {
      AddSteadyTerms(frame, 2 * run, volume, runSums);
    } else {  // a volume outside 1..350, which the engine never sets: the 32-bit loop
      AddRampingTerms(frame, run, volume, 0, runSums);
    }
    i += run;
    readPos += run * kFrameBytes;
    if (readPos >= length) readPos = 0;
  }
  m.readPosBytes[c] = readPos;
  m.volume[c] = volume;
}

// Whether a sum of the block's n frames exceeds the peak. Sums are below 2^20, so they
// compare as signed values; the comparisons are or-ed, with no chain of maxima to wait for.
bool PeakRises(const uint32_t* sums, int32_t n, int32_t peak) {
  int32_t rises = 0;
  for (int32_t i = 0; i < 2 * n; ++i) rises |= static_cast<int32_t>(sums[i]) > peak;
  return rises != 0;
}

// Output of n frames of sums while the peak, at least as large as every sum, stays as it is:
// one divisor d = floor(peak / 32000) for the whole block. Then peak < 32000 (d + 1), so
// every quotient is below peak / d < 64000 (HeldPeakOutput).
void DivideSteadyPeak(const uint32_t* __restrict sums, int32_t n, int32_t divisor,
                      uint16_t* __restrict output) {
  const int32_t count = 2 * n;
  if (divisor == 0) {  // below a peak of 32000 the output is silent
    std::memset(output, 0, static_cast<size_t>(count) * sizeof(uint16_t));
  } else if (divisor == 1) {
    for (int32_t i = 0; i < count; ++i) output[i] = HeldPeakOutput(sums[i]);
  } else {
    const float inverse = DivisorInverse(divisor);
#if defined(__wasm_simd128__)
#pragma clang loop vectorize_width(8) interleave_count(1)  // one saturating narrowing each step
    for (int32_t i = 0; i < count; ++i) output[i] = HeldPeakOutputWide(sums[i], inverse);
#else
    for (int32_t i = 0; i < count; ++i) {
      output[i] = HeldPeakOutput(HeldPeakQuotient(sums[i], inverse));
    }
#endif
  }
}

// Output of n frames of sums while the peak rises: peak and divisor frame by frame, as
// MixOneFrame has them. Each sum is at most the peak once the peak has taken it in, so the
// held-peak arithmetic applies frame by frame. Returns the new peak.
int32_t DivideRisingPeak(const uint32_t* sums, int32_t n, int32_t peak, uint16_t* output) {
  int32_t cachedDivisor = 0;
  float inverse = 0.0f;
  for (int32_t i = 0; i < 2 * n; i += 2) {
    if (static_cast<int32_t>(sums[i]) > peak) peak = static_cast<int32_t>(sums[i]);
    if (static_cast<int32_t>(sums[i + 1]) > peak) peak = static_cast<int32_t>(sums[i + 1]);
    const int32_t divisor = peak / 32000;
    if (divisor == 0) {  // below a peak of 32000 the output is silent
      output[i] = output[i + 1] = 0;
      continue;
    }
    if (divisor != cachedDivisor) {
      cachedDivisor = divisor;
      inverse = DivisorInverse(divisor);
    }
    output[i] = HeldPeakOutput(HeldPeakQuotient(sums[i], inverse));
    output[i + 1] = HeldPeakOutput(HeldPeakQuotient(sums[i + 1], inverse));
  }
  return peak;
}

// Copies n frames of output samples into the ring from write on, wrapping at its end, as
// 16-bit little-endian values. Returns the write index after them.
uint32_t StoreFrames(Mixer& m, uint32_t write, const uint16_t* output, int32_t n) {
  const uint32_t ringSize = m.ringSizeBytes;
  auto bytes = static_cast<uint32_t>(n) * kFrameBytes;
  while (bytes > 0) {
    const uint32_t chunk = bytes < ringSize - write ? bytes : ringSize - write;
    uint8_t* const out = m.outputRing + write;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, output, chunk);
#else
    for (uint32_t i = 0; i < chunk / 2; ++i) WriteLe16(out + 2 * i, output[i]);
#endif
    output += chunk / 2;
    bytes -= chunk;
    write += chunk;
    if (write >= ringSize) write = 0;
  }
  return write;
}

// Ends the playback whose position query failed: timer killed, playing flag 0, device closed,
// message. Unless the user stopped it meanwhile (then the failure is nobody's) or stopped and
// started again (then the timer and the device are the new playback's and live on). The device
// lock is held from the check to the close, so a start that follows the check opens its device
// only after this close.
void FailedPositionQuery(Mixer& m, uint32_t session) {
  {
    std::lock_guard<std::mutex> device(m.deviceLock);
    TimerId timer = 0;
    {
      std::lock_guard<std::mutex> hold(m.lock);
      if (m.playing == 0 || m.playSession != session) return;
      timer = m.timerId;
    }
    m.timer->Kill(timer);
    m.playing = 0;
    CloseDeviceHeld(m);
  }
  InfoBox(m, Msg::kNoPosition);
}

}  // namespace

int32_t PlayedBytesSince(uint32_t bytesPlayed, uint32_t ringSize, int32_t& lastPos) {
  const uint32_t p = bytesPlayed % ringSize;
  int32_t d = static_cast<int32_t>(p) - lastPos;
  lastPos = static_cast<int32_t>(p);
  if (d < 0) d += static_cast<int32_t>(ringSize);
  return d;
}

void MixOneFrame(Mixer& m) {
  int32_t left = 0;
  int32_t right = 0;
  bool anyActive = false;
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.active[c] == 0) continue;
    anyActive = true;
    const uint8_t* frame = m.sampleData[c] + m.readPosBytes[c];
    const int32_t leftValue = OffsetSample(frame);
    const int32_t rightValue = OffsetSample(frame + 2);
    m.readPosBytes[c] += kFrameBytes;
    if (m.readPosBytes[c] >= m.lengthBytes[c]) m.readPosBytes[c] = 0;

    const int32_t v = m.volume[c];
    left += v * leftValue / kUnityVolume;
    right += v * rightValue / kUnityVolume;
    if (v < m.targetVolume[c]) {
      m.volume[c] = v + 1;
    } else if (v > m.targetVolume[c]) {
      m.volume[c] = v - 1;
    }
    // The peak follows the partial sums, so it rises with every channel added.
    if (std::abs(left) > m.peakLevel) m.peakLevel = std::abs(left);
    if (std::abs(right) > m.peakLevel) m.peakLevel = std::abs(right);
  }

  const int32_t divisor = m.peakLevel / 32000;
  int32_t leftOut = 0;
  int32_t rightOut = 0;
  // A frame with no active channel is silence (the offset has nothing to cancel).
  if (divisor != 0 && anyActive) {
    leftOut = Saturate16(left / divisor + 32768);
    rightOut = Saturate16(right / divisor + 32768);
  }
  uint8_t* out = m.outputRing + m.writeIndexBytes;
  out[0] = static_cast<uint8_t>(leftOut & 0xFF);
  out[1] = static_cast<uint8_t>((leftOut >> 8) & 0xFF);
  out[2] = static_cast<uint8_t>(rightOut & 0xFF);
  out[3] = static_cast<uint8_t>((rightOut >> 8) & 0xFF);
  m.writeIndexBytes += kFrameBytes;
  if (m.writeIndexBytes >= m.ringSizeBytes) m.writeIndexBytes = 0;
}

void MixFrames(Mixer& m, int32_t frames) {
  // Every offset value is -65536..-1 and every volume 1..350, so each product divided by 350
  // is <= 0 and a frame's sums only fall as channels are added. The sums are kept as
  // magnitudes (each product's magnitude truncated as '/' truncates the negative product),
  // and the largest partial magnitude of a frame is its final one: the peak needs only the
  // finished sums. So the frames are mixed a block at a time, channel by channel with each
  // channel's state in registers, then peak, divisor and output follow for the block.
  uint32_t magnitude[2 * kBlockFrames];  // left and right of each frame, as the ring holds them
  uint16_t output[2 * kBlockFrames];
  int channels[kChannelCount];
  int channelCount = 0;
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.active[c] != 0) channels[channelCount++] = c;
  }
  uint32_t write = m.writeIndexBytes;
  int32_t peak = m.peakLevel;

  for (int32_t done = 0; done < frames;) {
    const int32_t n = frames - done < kBlockFrames ? frames - done : kBlockFrames;
    done += n;
    if (channelCount == 0) {  // nothing to mix: silence, peak untouched
      std::memset(output, 0, static_cast<size_t>(n) * kFrameBytes);
      write = StoreFrames(m, write, output, n);
      continue;
    }
    std::memset(magnitude, 0, static_cast<size_t>(n) * 2 * sizeof(uint32_t));
    for (int k = 0; k < channelCount; ++k) AddChannel(m, channels[k], n, magnitude);

    if (PeakRises(magnitude, n, peak)) {
      peak = DivideRisingPeak(magnitude, n, peak, output);
    } else {
      DivideSteadyPeak(magnitude, n, peak / 32000, output);
    }
    write = StoreFrames(m, write, output, n);
  }
  m.writeIndexBytes = write;
  m.peakLevel = peak;
}

void MixerTick(Mixer& m) {
  if (m.tickGuard != 0) return;
  if (m.live == 0) return;
  if (m.tickGuard.exchange(1) != 0) return;  // lost a race with another tick
  if (m.playing == 0) {
    m.tickGuard = 0;
    return;
  }

  uint32_t bytesPlayed = 0;
  bool open = false;
  DeviceStatus status = DeviceStatus::kOk;
  uint32_t session = 0;
  {
    std::lock_guard<std::mutex> hold(m.lock);
    session = m.playSession;
  }
  {
    std::lock_guard<std::mutex> device(m.deviceLock);
    open = m.device->IsOpen();
    if (open) status = m.device->Position(bytesPlayed);
  }
  // Whether a device is open is asked of the device itself; any failed answer from an open
  // device, whatever its status, ends playback below.
  if (!open) {
    m.tickGuard = 0;
    return;
  }
  if (status != DeviceStatus::kOk) {
    FailedPositionQuery(m, session);
    m.tickGuard = 0;
    return;
  }

  {
    std::lock_guard<std::mutex> hold(m.lock);
    // Re-checked under the lock: once stop playback has cleared the flag and taken the lock
    // for its silence fill, no tick writes into the ring again.
    // A stop and a new start may have run since the query: its position means nothing now.
    if (m.playing != 0 && m.outputRing != nullptr && m.playSession == session) {
      const int32_t d = PlayedBytesSince(bytesPlayed, m.ringSizeBytes, m.lastPlayPosBytes);
      // d / 4 frames, rounded up: a partial frame of progress is mixed whole.
      MixFrames(m, (d + kFrameBytes - 1) / kFrameBytes);
    }
  }
  m.tickGuard = 0;
}

void TimerCallback(void* context) {
  MixerTick(*static_cast<Mixer*>(context));
}

}  // namespace mixorama
