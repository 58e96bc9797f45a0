// Synthesis of the start-up set: seven one-bar drum loops that play together at one tempo.
//
// Every loop lasts exactly kBarFrames11025 frames at 11025 Hz, so a file at rate R holds
// kBarFrames11025 * R / 11025 input frames. The loader turns a wave of n input frames at R_in
// into n * R_out / R_in output frames (exact here: every rate ratio is a power of two), so all
// seven files convert to the same number of frames at 11025, 22050 and 44100 and stay in step
// however long they loop.
//
// The arithmetic is deterministic: only +, -, *, / and sqrt in double (all correctly rounded
// in IEEE 754 with SSE2 and no contraction), floor and ldexp (exact), and our own sine and
// exponential instead of the C library's, whose last bits differ between C libraries. The
// native and the Windows generator therefore write the same bytes.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/byte_reader.h"
#include "engine/mixer.h"
#include "engine/wave_writer.h"

namespace demo {

// One bar of 4/4 in 16 sixteenth steps of 1378 frames at 11025 Hz (2756 at 22050, 5512 at
// 44100): 22048 frames, 1.99982 s, 120.01 beats per minute. 22048 is also eight output rings
// (2756 frames each) at 11025.
inline constexpr int kStepsPerBar = 16;
inline constexpr int32_t kStepFrames11025 = 1378;
inline constexpr int32_t kBarFrames11025 = kStepsPerBar * kStepFrames11025;

// Number of input frames of a one-bar loop at the given rate (11025, 22050 or 44100).
constexpr int32_t BarFrames(int32_t rate) {
  return kBarFrames11025 * (rate / 11025);
}

// ---- Deterministic maths -------------------------------------------------------------------

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// e^x for -700 <= x <= 700: x = k ln2 + r with |r| <= ln2/2, a Taylor series for e^r (error
// below 1e-16 relative), scaled by 2^k exactly.
inline double DetExp(double x) {
  if (x < -700.0) return 0.0;
  const double kLn2 = 0.69314718055994530942;
  const double k = std::floor(x / kLn2 + 0.5);
  const double r = x - k * kLn2;
  double term = 1.0;
  double sum = 1.0;
  for (int i = 1; i <= 14; ++i) {
    term = term * r / i;
    sum += term;
  }
  return std::ldexp(sum, static_cast<int>(k));
}

// sin(x): reduced to [-pi/2, pi/2] and summed as a Taylor series to x^19 (error below 1e-15
// for the phases used here, which stay below a few thousand radians).
inline double DetSin(double x) {
  const double n = std::floor(x / kTwoPi + 0.5);
  double r = x - n * kTwoPi;  // [-pi, pi]
  if (r > kPi / 2) r = kPi - r;
  if (r < -kPi / 2) r = -kPi - r;
  const double r2 = r * r;
  double term = r;
  double sum = r;
  for (int i = 1; i <= 9; ++i) {
    term = -term * r2 / ((2.0 * i) * (2.0 * i + 1.0));
    sum += term;
  }
  return sum;
}

inline double DetCos(double x) {
  return DetSin(x + kPi / 2);
}

// xorshift32: a small PRNG whose sequence is fixed by its seed.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
  // Uniform in [-1, 1).
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(static_cast<int32_t>(state_)) / 2147483648.0;
  }

 private:
  uint32_t state_;
};

// One-pole low-pass with its corner at cutoffHz.
class OnePoleLowPass {
 public:
  OnePoleLowPass(double cutoffHz, double rate) : a_(1.0 - DetExp(-kTwoPi * cutoffHz / rate)) {}
  double Run(double x) {
    y_ += a_ * (x - y_);
    return y_;
  }

 private:
  double a_;
  double y_ = 0.0;
};

// One-pole high-pass: the input minus its low-passed part.
class OnePoleHighPass {
 public:
  OnePoleHighPass(double cutoffHz, double rate) : low_(cutoffHz, rate) {}
  double Run(double x) { return x - low_.Run(x); }

 private:
  OnePoleLowPass low_;
};

// Band-pass biquad (constant 0 dB peak gain), direct form I.
class BandPass {
 public:
  BandPass(double centreHz, double q, double rate) {
    const double w0 = kTwoPi * centreHz / rate;
    const double alpha = DetSin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    b0_ = alpha / a0;
    a1_ = -2.0 * DetCos(w0) / a0;
    a2_ = (1.0 - alpha) / a0;
  }
  double Run(double x) {
    const double y = b0_ * x - b0_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double b0_ = 0.0, a1_ = 0.0, a2_ = 0.0;
  double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

// Gentle saturation for |x| <= 1 (odd, monotonic, 1 at 1); values beyond are held at +-1.
inline double SoftClip(double x) {
  if (x >= 1.0) return 1.0;
  if (x <= -1.0) return -1.0;
  return x * (1.5 - 0.5 * x * x);
}

// ---- The loops -----------------------------------------------------------------------------

// A stereo bar being built: left and right samples at one rate, as doubles in [-1, 1].
struct Bar {
  int32_t rate = 11025;
  std::vector<double> left, right;
  explicit Bar(int32_t sampleRate)
      : rate(sampleRate),
        left(static_cast<size_t>(BarFrames(sampleRate)), 0.0),
        right(static_cast<size_t>(BarFrames(sampleRate)), 0.0) {}
  size_t Frames() const { return left.size(); }
  // Adds (l, r) to frame i of the loop, wrapping tails that run past the bar end into its start,
  // so the bar loops without a seam.
  void Add(size_t i, double l, double r) {
    i %= Frames();
    left[i] += l;
    right[i] += r;
  }
  size_t StepStart(int step) const {
    return static_cast<size_t>(step) * static_cast<size_t>(kStepFrames11025) *
           static_cast<size_t>(rate / 11025);
  }
};

// One hit of a pattern: the sixteenth step it starts on and its strength (0..1).
struct Hit {
  int step;
  double velocity;
};

// Kick drum: a sine falling from about 170 Hz to 48 Hz with a short click on top.
inline void AddKick(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.7 * fs);
  const size_t start = bar.StepStart(hit.step);
  Noise noise(seed);
  OnePoleLowPass clickTone(3500.0, fs);
  for (size_t i = 0; i < len; ++i) {
    const double t = i / fs;
    // Phase of f(t) = 48 + 120 e^(-t/0.03), integrated in closed form.
    const double phase = kTwoPi * (48.0 * t + 120.0 * 0.03 * (1.0 - DetExp(-t / 0.03)));
    const double body = DetSin(phase) * DetExp(-t / 0.28) * (1.0 - DetExp(-t / 0.0008));
    const double click = clickTone.Run(noise.Next()) * DetExp(-t / 0.004) * 0.5;
    const double v = SoftClip(1.15 * body + click) * hit.velocity;
    bar.Add(start + i, v, v);
  }
}

// Snare: two damped tones of the shell and a band of noise for the wires, the wires slightly
// different left and right for width.
inline void AddSnare(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.45 * fs);
  const size_t start = bar.StepStart(hit.step);
  Noise common(seed), sideL(seed * 3u + 1u), sideR(seed * 7u + 5u);
  OnePoleHighPass hpL(1400.0, fs), hpR(1400.0, fs);
  OnePoleLowPass lpL(7000.0, fs), lpR(7000.0, fs);
  for (size_t i = 0; i < len; ++i) {
    const double t = i / fs;
    const double shell = 0.55 * DetSin(kTwoPi * 185.0 * t) * DetExp(-t / 0.055) +
                         0.30 * DetSin(kTwoPi * 330.0 * t) * DetExp(-t / 0.035);
    const double c = common.Next();
    const double wiresEnv = DetExp(-t / 0.12) * (1.0 - DetExp(-t / 0.0005));
    const double wl = lpL.Run(hpL.Run(0.8 * c + 0.2 * sideL.Next())) * wiresEnv;
    const double wr = lpR.Run(hpR.Run(0.8 * c + 0.2 * sideR.Next())) * wiresEnv;
    bar.Add(start + i, (shell + 1.1 * wl) * hit.velocity, (shell + 1.1 * wr) * hit.velocity);
  }
}

// Clap: band-passed noise struck in four quick bursts, then a short diffuse tail.
inline void AddClap(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.45 * fs);
  const size_t start = bar.StepStart(hit.step);
  Noise noise(seed);
  BandPass band(1150.0, 1.6, fs);
  const double bursts[4] = {0.0, 0.010, 0.021, 0.031};
  for (size_t i = 0; i < len; ++i) {
    const double t = i / fs;
    double env = 0.0;
    for (double b : bursts) {
      if (t >= b) env += DetExp(-(t - b) / 0.0045);
    }
    if (t >= bursts[3]) env += 0.55 * DetExp(-(t - bursts[3]) / 0.11);
    const double v = band.Run(noise.Next()) * env * hit.velocity;
    bar.Add(start + i, v, v);
  }
}

// Hand claps: four players clapping a little apart, each a short band of noise at its own
// pitch, with a small room behind them.
inline void AddHandClaps(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.30 * fs);
  const size_t start = bar.StepStart(hit.step);
  const double offsets[4] = {0.0, 0.007, 0.012, 0.019};
  const double centres[4] = {1500.0, 1900.0, 1250.0, 2300.0};
  for (int p = 0; p < 4; ++p) {
    Noise noise(seed + 101u * static_cast<uint32_t>(p + 1));
    BandPass band(centres[p], 2.2, fs);
    const size_t at = static_cast<size_t>(offsets[p] * fs);
    const double weight = p == 0 ? 1.0 : 0.8;
    for (size_t i = 0; i + at < len; ++i) {
      const double t = i / fs;
      const double env = DetExp(-t / 0.018) + 0.12 * DetExp(-t / 0.09);
      const double v = band.Run(noise.Next()) * env * weight * hit.velocity;
      bar.Add(start + at + i, v, v);
    }
  }
}

// Maracas: bright noise with a soft attack, the hits alternating a little left and right.
inline void AddMaracas(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.12 * fs);
  const size_t start = bar.StepStart(hit.step);
  Noise noise(seed);
  OnePoleHighPass hp1(3800.0, fs), hp2(3800.0, fs);
  OnePoleLowPass lp(12000.0, fs);
  const double pan = (hit.step % 2 == 0) ? 0.38 : 0.62;  // share of the right side
  for (size_t i = 0; i < len; ++i) {
    const double t = i / fs;
    const double env = (1.0 - DetExp(-t / 0.0025)) * DetExp(-t / 0.028);
    const double v = lp.Run(hp2.Run(hp1.Run(noise.Next()))) * env * hit.velocity;
    bar.Add(start + i, v * 2.0 * (1.0 - pan), v * 2.0 * pan);
  }
}

// Low tom: a sine gliding from about 150 Hz down to 95 Hz with a soft thump of noise.
inline void AddLowTom(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.9 * fs);
  const size_t start = bar.StepStart(hit.step);
  Noise noise(seed);
  OnePoleLowPass thumpTone(1200.0, fs);
  for (size_t i = 0; i < len; ++i) {
    const double t = i / fs;
    // Phase of f(t) = 95 + 55 e^(-t/0.09), integrated in closed form.
    const double phase = kTwoPi * (95.0 * t + 55.0 * 0.09 * (1.0 - DetExp(-t / 0.09)));
    const double body = DetSin(phase) * DetExp(-t / 0.24) * (1.0 - DetExp(-t / 0.0015));
    const double thump = thumpTone.Run(noise.Next()) * DetExp(-t / 0.012) * 0.6;
    const double v = SoftClip(body + thump) * hit.velocity;
    bar.Add(start + i, v, v);
  }
}

// Closed hi-hat: six detuned square waves (a metallic cluster) and noise, band-passed high and
// cut short, placed a little to the right.
inline void AddClosedHat(Bar& bar, const Hit& hit, uint32_t seed) {
  const double fs = bar.rate;
  const size_t len = static_cast<size_t>(0.16 * fs);
  const size_t start = bar.StepStart(hit.step);
  Noise noise(seed);
  BandPass band(7800.0, 0.9, fs);
  OnePoleHighPass hp(5000.0, fs);
  const double freqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  for (size_t i = 0; i < len; ++i) {
    const double t = i / fs;
    double metal = 0.0;
    for (double f : freqs) {
      const double cycles = f * 1.7 * t;
      metal += (cycles - std::floor(cycles) < 0.5) ? 1.0 : -1.0;
    }
    const double raw = metal / 6.0 + 0.8 * noise.Next();
    const double env = DetExp(-t / 0.030) * (1.0 - DetExp(-t / 0.0004));
    const double v = hp.Run(band.Run(raw)) * env * hit.velocity;
    bar.Add(start + i, v * 0.85, v * 1.15);
  }
}

// ---- The files -----------------------------------------------------------------------------

enum class Instrument { kKick, kClap, kMaracas, kLowTom, kSnare, kClosedHat, kHandClaps };

// One file of the set: the slot it is named for, the format it is written in, what plays and
// how loud.
struct DemoFile {
  int slot;  // the first slot whose start-up name the file has (kStartupSet)
  Instrument instrument;
  int32_t rate;       // samples per second
  int bitsPerSample;  // 8 or 16
  int channels;       // 1 or 2
  double peakDbfs;    // the loudest sample of the bar, in dB below full scale
  double drive;       // saturation before levelling (0: none), thickens short noisy hits
  std::vector<Hit> pattern;
};

// The set, in the order of the slots that first use each file (slot 6 reuses slot 1's).
// The formats cover 8 and 16 bits, mono and stereo, and all three rates.
inline std::vector<DemoFile> DemoFiles() {
  return {
      {0, Instrument::kKick, 44100, 16, 1, -6.0, 0.0, {{0, 1.0}, {6, 0.75}, {8, 1.0}, {11, 0.55}}},
      {1, Instrument::kClap, 22050, 8, 1, -10.0, 2.0, {{4, 1.0}, {12, 1.0}}},
      {2,
       Instrument::kMaracas,
       44100,
       16,
       2,
       -15.0,
       1.5,
       {{0, 0.55},
        {1, 0.35},
        {2, 1.0},
        {3, 0.4},
        {4, 0.55},
        {5, 0.35},
        {6, 1.0},
        {7, 0.4},
        {8, 0.55},
        {9, 0.35},
        {10, 1.0},
        {11, 0.4},
        {12, 0.55},
        {13, 0.35},
        {14, 1.0},
        {15, 0.5}}},
      {3, Instrument::kLowTom, 11025, 8, 1, -10.0, 0.0, {{9, 0.7}, {14, 1.0}}},
      {4, Instrument::kSnare, 22050, 16, 2, -8.0, 2.0, {{4, 1.0}, {7, 0.25}, {12, 1.0}, {15, 0.3}}},
      {6,
       Instrument::kClosedHat,
       22050,
       8,
       2,
       -14.0,
       1.5,
       {{0, 1.0},
        {2, 0.6},
        {4, 0.9},
        {6, 0.6},
        {8, 1.0},
        {10, 0.6},
        {12, 0.9},
        {14, 0.6},
        {15, 0.4}}},
      {7, Instrument::kHandClaps, 11025, 16, 1, -10.0, 2.5, {{3, 0.7}, {7, 0.9}, {10, 0.8}}},
  };
}

inline double BarPeak(const Bar& bar) {
  double peak = 0.0;
  for (size_t i = 0; i < bar.Frames(); ++i) {
    peak = std::fmax(peak, std::fabs(bar.left[i]));
    peak = std::fmax(peak, std::fabs(bar.right[i]));
  }
  return peak;
}

// Renders the bar of one file, scaled so its loudest sample sits at the file's peak level.
inline Bar RenderBar(const DemoFile& file) {
  Bar bar(file.rate);
  uint32_t seed = 0x1234567u + static_cast<uint32_t>(file.instrument) * 0x10001u;
  for (const Hit& hit : file.pattern) {
    seed = seed * 1664525u + 1013904223u;
    switch (file.instrument) {
      case Instrument::kKick:
        AddKick(bar, hit, seed);
        break;
      case Instrument::kClap:
        AddClap(bar, hit, seed);
        break;
      case Instrument::kMaracas:
        AddMaracas(bar, hit, seed);
        break;
      case Instrument::kLowTom:
        AddLowTom(bar, hit, seed);
        break;
      case Instrument::kSnare:
        AddSnare(bar, hit, seed);
        break;
      case Instrument::kClosedHat:
        AddClosedHat(bar, hit, seed);
        break;
      case Instrument::kHandClaps:
        AddHandClaps(bar, hit, seed);
        break;
    }
  }
  if (file.channels == 1) {
    for (size_t i = 0; i < bar.Frames(); ++i) {
      bar.left[i] = 0.5 * (bar.left[i] + bar.right[i]);
      bar.right[i] = bar.left[i];
    }
  }
  if (file.drive > 0.0) {
    // d x / (1 + d |x|) on the bar scaled to a peak of 1: loud parts are squeezed, quiet
    // parts raised, so a noisy hit sounds fuller at the same peak level.
    const double peak = BarPeak(bar);
    const double d = file.drive;
    for (size_t i = 0; i < bar.Frames() && peak > 0.0; ++i) {
      const double l = bar.left[i] / peak, r = bar.right[i] / peak;
      bar.left[i] = d * l / (1.0 + d * std::fabs(l));
      bar.right[i] = d * r / (1.0 + d * std::fabs(r));
    }
  }
  const double peak = BarPeak(bar);
  if (peak > 0.0) {
    // 10^(dB/20) = e^(dB ln10 / 20)
    const double gain = DetExp(file.peakDbfs * 2.30258509299404568402 / 20.0) / peak;
    for (size_t i = 0; i < bar.Frames(); ++i) {
      bar.left[i] *= gain;
      bar.right[i] *= gain;
    }
  }
  return bar;
}

// ---- Sample encoding ------------------------------------------------------------------------

using ::mixorama::PutLe16;

// Rounds half away from zero and clamps to [lo, hi].
inline int32_t RoundClamp(double v, int32_t lo, int32_t hi) {
  const double r = v < 0.0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
  if (r < lo) return lo;
  if (r > hi) return hi;
  return static_cast<int32_t>(r);
}

// The sample bytes of a bar in a file's format: 8-bit unsigned (128 is silence) or 16-bit
// signed little-endian, channels interleaved left first.
inline std::vector<uint8_t> EncodeSamples(const Bar& bar, int bitsPerSample, int channels) {
  std::vector<uint8_t> data;
  data.reserve(bar.Frames() * static_cast<size_t>(channels * bitsPerSample / 8));
  for (size_t i = 0; i < bar.Frames(); ++i) {
    for (int c = 0; c < channels; ++c) {
      const double v = c == 0 ? bar.left[i] : bar.right[i];
      if (bitsPerSample == 8) {
        data.push_back(static_cast<uint8_t>(RoundClamp(v * 128.0, -128, 127) + 128));
      } else {
        PutLe16(data, static_cast<uint16_t>(RoundClamp(v * 32768.0, -32768, 32767)));
      }
    }
  }
  return data;
}

// The whole file: the bar in the file's format as a canonical PCM wave.
inline std::vector<uint8_t> MakeDemoWave(const DemoFile& file) {
  return ::mixorama::WaveFile(
      file.rate, EncodeSamples(RenderBar(file), file.bitsPerSample, file.channels),
      static_cast<uint16_t>(file.channels), static_cast<uint16_t>(file.bitsPerSample));
}

}  // namespace demo
