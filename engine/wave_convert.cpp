#include "engine/wave_convert.h"

#include <cmath>
#include <cstring>

#include "engine/byte_reader.h"

namespace mixorama {

namespace {

// The four input kinds, by (8-bit?, mono?). The value is the input frame size in bytes, so
// the loops below see it as a constant.
enum class Kind { kEightMono, kEightStereo, kSixteenMono, kSixteenStereo };

template <Kind kKind>
constexpr uint64_t FrameBytesOf() {
  return kKind == Kind::kEightMono ? 1 : (kKind == Kind::kSixteenStereo ? 4 : 2);
}

// One output frame (left high, left low, right high, right low) from the input frame at f.
// 8-bit samples are unsigned around 128: flipping the top bit gives the signed high byte.
template <Kind kKind>
inline void StoreFrame(const uint8_t* f, uint8_t* o) {
  if (kKind == Kind::kEightMono) {
    o[0] = static_cast<uint8_t>(f[0] ^ 0x80);
    o[1] = 0;
    o[2] = static_cast<uint8_t>(f[0] ^ 0x80);
    o[3] = 0;
  } else if (kKind == Kind::kEightStereo) {
    o[0] = static_cast<uint8_t>(f[0] ^ 0x80);
    o[1] = 0;
    o[2] = static_cast<uint8_t>(f[1] ^ 0x80);
    o[3] = 0;
  } else if (kKind == Kind::kSixteenMono) {
    o[0] = f[1];
    o[1] = f[0];
    o[2] = f[1];
    o[3] = f[0];
  } else {
    o[0] = f[1];
    o[1] = f[0];
    o[2] = f[3];
    o[3] = f[2];
  }
}

// The conversion loop. Pos is float (the exact sequence) or double (large raw data). The
// frame is taken before the step is added, so output frame 0 is always input frame 0; the
// position holds until the accumulated step reaches 1 and then jumps by all of it.
template <Kind kKind, typename Pos>
uint64_t ConvertLoop(const ConversionPlan& plan, const uint8_t* raw, uint32_t dataSize,
                     uint8_t* out, uint64_t lengthBytes) {
  constexpr uint64_t kFrameIn = FrameBytesOf<kKind>();
  const float step = plan.step;
  const float jumpUnit = plan.jumpUnit;
  Pos src = 0;
  float acc = 0.0f;
  uint64_t w = 0;
  for (;;) {
    uint64_t b = static_cast<uint64_t>(src);
    b -= b % kFrameIn;
    if (b + kFrameIn > dataSize || w + 4 > lengthBytes) break;
    StoreFrame<kKind>(raw + b, out + w);
    acc = acc + step;
    if (acc >= 1.0f) {
      const float jump = acc * jumpUnit;
      src = src + static_cast<Pos>(jump);
      acc = 0.0f;
    }
    w += 4;
  }
  return w;
}

template <Kind kKind>
uint64_t ConvertKind(const ConversionPlan& plan, const uint8_t* raw, uint32_t dataSize,
                     uint8_t* out, uint64_t lengthBytes) {
  if (plan.wideSourcePosition) {
    return ConvertLoop<kKind, double>(plan, raw, dataSize, out, lengthBytes);
  }
  return ConvertLoop<kKind, float>(plan, raw, dataSize, out, lengthBytes);
}

// Same rate, 16-bit stereo: every step is exactly 1, so output frame i is input frame i with
// each sample's two bytes swapped. Word-wise so the compiler can vectorise it.
uint64_t SwapCopy16Stereo(const uint8_t* raw, uint32_t dataSize, uint8_t* out,
                          uint64_t lengthBytes) {
  uint64_t frames = dataSize / 4;
  if (lengthBytes / 4 < frames) frames = lengthBytes / 4;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (uint64_t i = 0; i < frames; ++i) {
    uint32_t v;
    std::memcpy(&v, raw + 4 * i, 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v << 8) & 0xFF00FF00u);
    std::memcpy(out + 4 * i, &v, 4);
  }
#else
  for (uint64_t i = 0; i < frames; ++i) StoreFrame<Kind::kSixteenStereo>(raw + 4 * i, out + 4 * i);
#endif
  return frames * 4;
}

}  // namespace

WaveFormat ParseWaveFormat(const uint8_t (&fmt)[16]) {
  WaveFormat f;
  f.formatTag = ReadLe16(fmt + 0);
  f.channels = ReadLe16(fmt + 2);
  f.sampleRate = ReadLe32(fmt + 4);
  f.avgBytesPerSec = ReadLe32(fmt + 8);
  f.blockAlign = ReadLe16(fmt + 12);
  f.bitsPerSample = ReadLe16(fmt + 14);
  return f;
}

float FloatQuotient(uint32_t num, uint32_t den) {
  if (num == 0 || den == 0) return 0.0f;
  // Long division in integers: normalise so that n / d lies in [1, 2), then take 24
  // mantissa bits, one rounding bit and a sticky remainder.
  uint64_t n = num;
  uint64_t d = den;
  int exponent = 0;
  while (n < d) {
    n <<= 1;
    --exponent;
  }
  while (n >= 2 * d) {
    d <<= 1;
    ++exponent;
  }
  uint32_t bits = 0;
  for (int i = 0; i < 25; ++i) {
    bits <<= 1;
    if (n >= d) {
      bits |= 1;
      n -= d;
    }
    n <<= 1;
  }
  const bool roundBit = (bits & 1) != 0;
  const bool sticky = n != 0;
  bits >>= 1;
  if (roundBit && (sticky || (bits & 1) != 0)) ++bits;  // may carry to 2^24: still exact
  return std::ldexp(static_cast<float>(bits), exponent - 23);
}

uint64_t TruncatedProduct(uint32_t bytes, float factor) {
  if (!(factor > 0.0f) || bytes == 0) return 0;
  // factor = mantissa x 2^shift with a 24-bit integer mantissa; the 56-bit product is exact.
  int exponent = 0;
  const float fraction = std::frexp(factor, &exponent);  // [0.5, 1)
  const uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 24));
  const int shift = exponent - 24;
  const uint64_t product = static_cast<uint64_t>(bytes) * mantissa;
  if (shift >= 0) {
    if (shift >= 64 || product > (UINT64_MAX >> shift)) return UINT64_MAX;
    return product << shift;
  }
  if (-shift >= 64) return 0;
  return product >> -shift;
}

uint64_t WideSourceThresholdBytes(float jumpUnit) {
  return static_cast<uint64_t>(jumpUnit) << 24;
}

ConversionPlan PlanConversion(const WaveFormat& format, uint32_t dataSize, int32_t outputRate) {
  ConversionPlan p;
  p.eightBit = format.bitsPerSample == 8;
  p.mono = format.channels == 1;
  const uint32_t rateOut = static_cast<uint32_t>(outputRate);
  p.ratio = FloatQuotient(rateOut, format.sampleRate);
  p.step = FloatQuotient(format.sampleRate, rateOut);
  if (p.mono) p.step = p.step / 2.0f;
  p.jumpUnit = p.eightBit ? 2.0f : 4.0f;
  p.inputFrameBytes = (p.mono ? 1u : 2u) * (p.eightBit ? 1u : 2u);
  uint64_t raw = TruncatedProduct(dataSize, p.ratio);
  // raw < 2^32 x 2^31, so the doublings below cannot overflow 64 bits.
  if (p.eightBit) raw *= 2;
  if (p.mono) raw *= 2;
  p.rawLengthBytes = raw;
  p.lengthBytes = raw & ~uint64_t{3};
  p.wideSourcePosition = dataSize >= WideSourceThresholdBytes(p.jumpUnit);
  return p;
}

bool UsesSameRateFastPath(const ConversionPlan& plan) {
  return !plan.eightBit && !plan.mono && plan.step == 1.0f && plan.jumpUnit == 4.0f;
}

uint64_t ConvertWaveReference(const ConversionPlan& plan, const uint8_t* raw, uint32_t dataSize,
                              uint8_t* out, uint64_t lengthBytes) {
  if (plan.eightBit) {
    return plan.mono ? ConvertKind<Kind::kEightMono>(plan, raw, dataSize, out, lengthBytes)
                     : ConvertKind<Kind::kEightStereo>(plan, raw, dataSize, out, lengthBytes);
  }
  return plan.mono ? ConvertKind<Kind::kSixteenMono>(plan, raw, dataSize, out, lengthBytes)
                   : ConvertKind<Kind::kSixteenStereo>(plan, raw, dataSize, out, lengthBytes);
}

uint64_t ConvertWave(const ConversionPlan& plan, const uint8_t* raw, uint32_t dataSize,
                     uint8_t* out, uint64_t lengthBytes) {
  if (UsesSameRateFastPath(plan)) return SwapCopy16Stereo(raw, dataSize, out, lengthBytes);
  return ConvertWaveReference(plan, raw, dataSize, out, lengthBytes);
}

}  // namespace mixorama
