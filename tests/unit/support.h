// Wave files built in memory, scripts, a digest for golden outputs, and stand-ins for the user
// interface, the sound device and the timer that record every call the engine makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/byte_reader.h"
#include "engine/mixer.h"
#include "engine/platform.h"
#include "engine/slot.h"
#include "engine/texts.h"
#include "engine/wave_chunks.h"
#include "engine/wave_loader.h"
#include "engine/wave_writer.h"
#include "ui/script.h"

namespace mixorama::test {

using Bytes = std::vector<uint8_t>;

// A chunk: identifier, size field (the body's size unless given), body, pad byte if odd.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t sizeField = -1) {
  Bytes b(id, id + 4);
  PutLe32(b, sizeField < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(sizeField));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) b.push_back(0);
  return b;
}

// A fmt chunk's body, cut or zero-extended to bytes.
inline Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t bytes = 16) {
  Bytes b;
  PutLe16(b, tag);
  PutLe16(b, channels);
  PutLe32(b, rate);
  PutLe32(b, rate * channels * bits / 8);
  PutLe16(b, channels * bits / 8);
  PutLe16(b, bits);
  b.resize(bytes, 0);
  return b;
}

inline Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE",
                  int64_t sizeField = -1) {
  Bytes body(form, form + 4);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body, sizeField);
}

inline Bytes PcmWave(uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& data) {
  return WaveFile(static_cast<int32_t>(rate), data, channels, bits);
}

// n bytes of a pattern that differs from frame to frame and side to side.
inline Bytes Pattern(size_t n, uint32_t seed = 1) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>(x >> 16);
  }
  return b;
}

// FNV-1a, 64 bits: a golden output is kept as its digest.
inline uint64_t Digest(const Bytes& b) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t v : b) h = (h ^ v) * 1099511628211ull;
  return h;
}

// The events of a script that must parse.
inline std::vector<ScriptEvent> Script(const std::string& text) {
  std::vector<ScriptEvent> events;
  std::string error;
  EXPECT_TRUE(ParseScript(text, events, error)) << error;
  return events;
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

// Records the engine's calls into the user interface: "info:TEXT", "label:S:TEXT",
// "square:S". onInfo runs while the (modal) box shows.
class Ui : public UiSeam {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> messages;
  std::function<void(const std::string&)> onInfo;
  std::function<void(const std::string&)> onCall;  // runs at every call but messages

  void InfoBox(const char* text) override {
    messages.emplace_back(text);
    calls.push_back("info:" + std::string(text));
    if (onInfo) onInfo(text);
  }
  void SetSlotLabel(int slot, const char* text) override {
    calls.push_back("label:" + std::to_string(slot) + ":" + text);
    if (onCall) onCall(calls.back());
  }
  void DrawSlotSquare(int slot) override {
    calls.push_back("square:" + std::to_string(slot));
    if (onCall) onCall(calls.back());
  }
};

// A device that answers from a script and logs each call: "count", "caps:N", "open",
// "prepare", "write", "position", "reset", "unprepare", "close".
class Device : public OutputDevice {
 public:
  uint32_t count = 1;
  static constexpr DeviceCaps kNoAnswer{0xFFFFFFFFu, 0xFFFF};  // that device's query fails
  std::vector<DeviceCaps> caps = std::vector<DeviceCaps>(1, DeviceCaps{0xFFFFF, 2});
  int failingStep = 0;  // 1: open, 2: prepare, 3: write answers with an error
  DeviceStatus positionStatus = DeviceStatus::kOk;
  uint32_t position = 0;
  std::function<void()> onPosition;  // what another thread does while the tick waits
  std::vector<std::string> log;
  OutputFormat format{};
  LoopBuffer buffer{};
  bool open = false;

  uint32_t DeviceCount() override { return Log("count"), count; }
  DeviceStatus Capabilities(uint32_t n, DeviceCaps& out) override {
    Log("caps:" + std::to_string(n));
    if (n >= caps.size() || caps[n].channels == kNoAnswer.channels)
      return DeviceStatus::kBadDeviceId;
    out = caps[n];
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat& f) override {
    return Log("open"), format = f, open = failingStep != 1, Answer(1);
  }
  DeviceStatus Prepare(const LoopBuffer& b) override {
    return Log("prepare"), buffer = b, Answer(2);
  }
  DeviceStatus Write() override { return Log("write"), Answer(3); }
  DeviceStatus Position(uint32_t& bytes) override {
    Log("position");
    if (onPosition) onPosition();
    bytes = position;
    return positionStatus;
  }
  void Reset() override { Log("reset"); }
  void Unprepare() override { Log("unprepare"); }
  void Close() override { Log("close"), open = false; }
  bool IsOpen() const override { return open; }

 private:
  void Log(const std::string& s) { log.push_back(s); }
  DeviceStatus Answer(int step) const {
    return failingStep == step ? DeviceStatus::kError : DeviceStatus::kOk;
  }
};

// A timer that never fires; logs "start:PERIOD" and "kill:ID", also into alsoLog if set.
class Timer : public PlaybackTimer {
 public:
  std::vector<std::string> log;
  std::vector<std::string>* alsoLog = nullptr;
  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn, void*) override {
    log.push_back("start:" + std::to_string(periodMs));
    if (alsoLog != nullptr) alsoLog->push_back(log.back());
    return 41;
  }
  TimerId StartOneShot(uint32_t, uint32_t, TimerCallbackFn, void*) override { return 0; }
  void Kill(TimerId id) override {
    log.push_back("kill:" + std::to_string(id));
    if (alsoLog != nullptr) alsoLog->push_back(log.back());
  }
};

// Loads file bytes into slot through the loader's memory path; returns its result.
inline int Load(Mixer& m, const Bytes& file, int slot) {
  MemoryWaveSource source(file.data(), file.size());
  return LoadWaveFromSource(m, source, slot);
}

// A channel table wired to the stand-ins.
struct Engine : ::testing::Test {
  Mixer m;
  Device device;
  Timer timer;
  Ui ui;
  Engine() {
    m.device = &device;
    m.timer = &timer;
    m.ui = &ui;
  }
  int Load(const Bytes& file, int slot) { return test::Load(m, file, slot); }
  // A 16-bit stereo wave at the output rate whose frames are the given (left, right) values.
  int LoadFrames(const std::vector<std::pair<int16_t, int16_t>>& frames, int slot) {
    Bytes data;
    for (auto [l, r] : frames) {
      PutLe16(data, static_cast<uint16_t>(l));
      PutLe16(data, static_cast<uint16_t>(r));
    }
    return Load(PcmWave(2, 16, static_cast<uint32_t>(m.outputRate), data), slot);
  }
};

}  // namespace mixorama::test
