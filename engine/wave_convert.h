// Conversion of PCM wave data into the engine's sample data: 16-bit stereo frames, high byte
// first, at the output rate. Each output frame is a copy of one whole input frame (no
// interpolation); the source position advances by a 32-bit float accumulator, so the result
// is reproduced byte for byte wherever float arithmetic is IEEE single precision without
// excess precision or fused multiply-add (SSE2 on 32-bit Windows, any x86-64).
#pragma once

#include <cstddef>
#include <cstdint>

namespace mixorama {

// The first 16 bytes of a fmt chunk, in file order. A shorter chunk leaves fields zero.
struct WaveFormat {
  uint16_t formatTag = 0;  // 1 = PCM
  uint16_t channels = 0;   // exactly 1 = mono; any other value is read as stereo
  uint32_t sampleRate = 0;
  uint32_t avgBytesPerSec = 0;  // not used
  uint16_t blockAlign = 0;      // not used
  uint16_t bitsPerSample = 0;   // exactly 8 = 8-bit; any other value is read as 16-bit
};

// Fills a WaveFormat from the 16 bytes of a fmt chunk (little-endian fields).
WaveFormat ParseWaveFormat(const uint8_t (&fmt)[16]);

// num / den rounded to the nearest 32-bit float (ties to even), exactly, for any den > 0:
// a double division followed by a narrowing would round twice.
float FloatQuotient(uint32_t num, uint32_t den);

// bytes x factor, the exact product truncated toward zero. factor must be finite and >= 0.
// Saturates at UINT64_MAX (never reached by 32-bit sizes and factors below 2^31).
uint64_t TruncatedProduct(uint32_t bytes, float factor);

// How one wave converts at one output rate.
struct ConversionPlan {
  float ratio = 0.0f;            // output rate / input rate, rounded to float
  float step = 0.0f;             // input rate / output rate, rounded to float; halved for mono
  float jumpUnit = 0.0f;         // bytes the source position moves per whole step: 2 (8-bit), 4
  uint32_t inputFrameBytes = 0;  // 1, 2 or 4
  bool eightBit = false;
  bool mono = false;
  uint64_t rawLengthBytes = 0;  // data size x ratio, x2 for 8-bit, x2 again for mono
  uint64_t lengthBytes = 0;     // rawLengthBytes rounded down to whole frames
  // The source position is held in double instead of float. A float position stops moving
  // once its spacing reaches twice the smallest jump (2^24 jump units of raw data: 64 MiB for
  // 16-bit data, 32 MiB for 8-bit); below that size the float sequence is kept exactly.
  bool wideSourcePosition = false;
};

// The plan for data of dataSize bytes in format at outputRate. The caller has ruled out a
// sample rate of 0 (no ratio exists); outputRate must be > 0.
ConversionPlan PlanConversion(const WaveFormat& format, uint32_t dataSize, int32_t outputRate);

// Raw data size from which the source position must be held in double, for a jump unit.
uint64_t WideSourceThresholdBytes(float jumpUnit);

// Writes frames into out (lengthBytes bytes, zero-filled by the caller) from the raw data,
// by the plan, stopping when the next input frame is not wholly inside the raw data or the
// next output frame does not fit. Frames not reached keep their zero bytes. Returns the bytes
// written. Takes the same-rate 16-bit stereo fast path when the plan allows it.
uint64_t ConvertWave(const ConversionPlan& plan, const uint8_t* raw, uint32_t dataSize,
                     uint8_t* out, uint64_t lengthBytes);

// The plain frame-by-frame loop, never a fast path: the reference twin of ConvertWave.
uint64_t ConvertWaveReference(const ConversionPlan& plan, const uint8_t* raw, uint32_t dataSize,
                              uint8_t* out, uint64_t lengthBytes);

// True when ConvertWave copies with the byte-swapping fast path for this plan.
bool UsesSameRateFastPath(const ConversionPlan& plan);

}  // namespace mixorama
