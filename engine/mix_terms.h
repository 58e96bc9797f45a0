// The arithmetic of one channel's contribution to a mixed frame, in the forms the tick's fast
// loops use. A stored sample s (-32768..32767, high byte first) at volume v (1..350) adds
// v * (s - 32768) / 350, truncated toward zero, to its side of the frame: a value <= 0. The
// tick keeps these as magnitudes, the term
//     floor(v * u / 350)  with  u = 32768 - s = w + 1,  w = 32767 - s  (0..65535),
// which is at most 65536. Written with 16-bit operations only, so that a compiler can run
// eight samples at once in one 128-bit register (SSE2) or fall back to plain integer code
// anywhere else; the "Wide" forms use 32-bit lanes and no byte shuffles, which suits
// WebAssembly SIMD (the browser build's tick uses them).
#pragma once

#include <cstdint>
#include <cstring>

namespace mixorama {

// w = 32767 - s of the stored sample at p, 0..65535: the sample's two bytes swapped into host
// order, then every bit but the top one flipped (32767 - s = ~s + 32768 in 16 bits).
inline uint16_t SampleComplement(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint16_t stored;
  std::memcpy(&stored, p, 2);
  const auto s = static_cast<uint16_t>(stored >> 8 | stored << 8);
#else
  const auto s = static_cast<uint16_t>(p[0] << 8 | p[1]);
#endif
  return static_cast<uint16_t>(s ^ 0x7FFFu);
}

// u = w + 1 = 32768 - s of the stored sample at p (1..65536), in 32-bit operations that a
// vector unit runs without shuffling bytes (V8 builds WebAssembly's two-input byte shuffles
// from several instructions each). On a little-endian host the two bytes read as
// x = high | low << 8, and x * (2^8 + 2^24) places the high byte, the low byte and the high
// byte again in bytes 1 to 3 (the parts do not overlap), so an arithmetic shift by 16 takes
// out s with its sign.
inline uint32_t SampleMagnitude(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint16_t stored;
  std::memcpy(&stored, p, 2);
  const uint32_t placed = static_cast<uint32_t>(stored) * 0x01000100u;
  return static_cast<uint32_t>(32768 - (static_cast<int32_t>(placed) >> 16));
#else
  return static_cast<uint32_t>(32768 - static_cast<int16_t>(p[0] << 8 | p[1]));
#endif
}

// The multiplier of a steady volume v (1..349) for SteadyTerm: ceil(v * 65536 / 350), which
// is below 65536.
constexpr uint16_t SteadyMultiplier(int32_t volume) {
  return static_cast<uint16_t>((static_cast<uint32_t>(volume) * 65536u + 349u) / 350u);
}

// floor(v * (w + 1) / 350) for a volume v of 1..349 (never 65536 or more, so it fits), with
// multiplier = SteadyMultiplier(v). The estimate q = floor(w * multiplier / 65536) exceeds
// w * v / 350 by less than w / 65536 < 1, so it lies within one of the result. The remainder
// v * (w + 1) - 350 q is then in -350..699, so its low 16 bits, taken as a signed value, are
// the remainder itself, and its sign and size give the one-step correction.
inline uint16_t SteadyTerm(uint16_t w, uint16_t volume, uint16_t multiplier) {
  const auto q =
      static_cast<uint16_t>((static_cast<uint32_t>(w) * static_cast<uint32_t>(multiplier)) >> 16);
  const auto productLow = static_cast<uint16_t>(w * volume + volume);
  const auto remainder = static_cast<int16_t>(static_cast<uint16_t>(productLow - q * 350u));
  return static_cast<uint16_t>(q + (remainder >= 350) - (remainder < 0));
}

// The same term in 32-bit arithmetic, for vector units that multiply 32-bit lanes but have
// no 16 x 16-bit high product (WebAssembly SIMD: there the 16-bit form costs two widening
// multiplies and shuffles per eight samples). With a multiplier of 25 bits the estimate needs
// no correction: M = ceil(v * 2^25 / 350) exceeds v * 2^25 / 350 by less than one, so
// u * M / 2^25 exceeds v * u / 350 by less than u / 2^25 <= 2^-9, less than the 1/350 by which
// a quotient by 350 that is not whole falls short of the next integer: floor(u * M / 2^25) is
// the term. The product has 41 bits; it is taken in two parts of 32 (M's high 9 bits and its
// low 16), as floor((u * high + floor(u * low / 2^16)) / 2^9), the same floor.
constexpr uint32_t WideMultiplier(int32_t volume) {
  return static_cast<uint32_t>(((static_cast<uint64_t>(volume) << 25) + 349u) / 350u);
}

// floor(v * u / 350) for u = w + 1 (1..65536) and a volume v of 1..349, with high and low the
// parts of WideMultiplier(v): its bits from 16 up, and its low 16 bits.
inline uint32_t SteadyTermWide(uint32_t u, uint32_t high, uint32_t low) {
  return (u * high + ((u * low) >> 16)) >> 9;
}

// The division of a frame's sum (a magnitude below 2^20) by the gain divisor d, for a whole
// block while the peak holds. inverse = DivisorInverse(d), d >= 1. (x + 0.5) / d lies at
// least 0.5 / d away from the integers, and the two roundings (of 1 / d, and of the product)
// move it by less than (x + 0.5) * 2^-23 / d < 0.5 / d: the truncated product is floor(x / d).
// Single-precision float, as IEEE rounds it without excess precision (SSE2, WebAssembly).
inline float DivisorInverse(int32_t divisor) {
  return 1.0f / static_cast<float>(divisor);
}
// The product is below 2^21: converted as a signed value, which vector units do in one
// instruction (an unsigned conversion takes several).
inline uint32_t HeldPeakQuotient(uint32_t sum, float inverse) {
  return static_cast<uint32_t>(
      static_cast<int32_t>((static_cast<float>(static_cast<int32_t>(sum)) + 0.5f) * inverse));
}

// The output sample 32768 - q, saturated, of a quotient q below 65536 (while the peak holds,
// every quotient is below 64000, so the lower limit is never reached): in 16 bits, q - 1 (0
// for q = 0, whose 32768 is held at 32767) with every bit but the top one flipped.
inline uint16_t HeldPeakOutput(uint32_t quotient) {
  const auto q = static_cast<uint16_t>(quotient);
  return static_cast<uint16_t>((q > 0 ? q - 1 : 0) ^ 0x7FFFu);
}

// HeldPeakOutput(HeldPeakQuotient(sum, inverse)) for a sum whose quotient is below 64000, in
// the operations WebAssembly SIMD has cheaply (its float-to-integer conversion takes several
// instructions, and its 16-bit narrowing is the saturating one). The product y = (sum + 0.5) *
// inverse is never an integer, so floor(y) is y - 0.5 rounded to the nearest integer, which
// adding 1.5 * 2^23 does (from 2^23 to 2^24 the floats are the integers): the bits of that
// sum less those of 1.5 * 2^23 are the quotient. The last clamp changes nothing; it lets the
// narrowing be the saturating one.
inline uint16_t HeldPeakOutputWide(uint32_t sum, float inverse) {
  const float y = (static_cast<float>(static_cast<int32_t>(sum)) + 0.5f) * inverse;
  const float rounded = (y - 0.5f) + 12582912.0f;
  int32_t bits;
  std::memcpy(&bits, &rounded, sizeof bits);
  const int32_t quotient = bits - 0x4B400000;  // the bits of 12582912.0f
  const int32_t output = ((quotient > 1 ? quotient : 1) - 1) ^ 0x7FFF;
  return static_cast<uint16_t>(output < 0 ? 0 : (output > 0xFFFF ? 0xFFFF : output));
}

}  // namespace mixorama
