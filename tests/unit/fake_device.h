// A scriptable output device and a recording timer for the engine's failure paths. The device
// answers each call from a script the test sets up (device count, capabilities per device,
// open / prepare / write results, a queue of position answers) and logs every call in order,
// so a test can check the exact call sequence, e.g. "prepare fails -> unprepare, close".
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/platform.h"

namespace mixorama {

class FakeDevice : public OutputDevice {
 public:
  struct PositionAnswer {
    DeviceStatus status = DeviceStatus::kOk;
    uint32_t bytes = 0;
  };

  // ---- Script ----------------------------------------------------------------------------
  uint32_t deviceCount = 1;
  // One entry per device number; nullopt makes that device's capabilities call fail. A device
  // number past the end fails as a bad device id.
  std::vector<std::optional<DeviceCaps>> caps = {DeviceCaps{0xFFFFF, 2}};
  DeviceStatus openStatus = DeviceStatus::kOk;
  DeviceStatus prepareStatus = DeviceStatus::kOk;
  DeviceStatus writeStatus = DeviceStatus::kOk;
  // Answers to successive position queries; when empty, the query answers kOk with
  // `position`, which the test may move itself.
  std::deque<PositionAnswer> positionScript;
  uint32_t position = 0;
  // Runs inside each position query, before it answers: what another thread may do while the
  // tick waits for the device.
  std::function<void()> onPosition;

  // ---- What happened -----------------------------------------------------------------------
  // Every call in order: "count", "caps:N", "open", "prepare", "write", "position", "reset",
  // "unprepare", "close". Points at `ownLog` unless a test shares one log between several
  // recorders (to see device calls and message boxes interleaved).
  std::vector<std::string> ownLog;
  std::vector<std::string>* log = &ownLog;
  OutputFormat openedFormat{};
  LoopBuffer preparedBuffer{};
  int positionQueries = 0;

  uint32_t DeviceCount() override {
    log->emplace_back("count");
    return deviceCount;
  }
  DeviceStatus Capabilities(uint32_t deviceNumber, DeviceCaps& out) override {
    log->push_back("caps:" + std::to_string(deviceNumber));
    if (deviceNumber >= caps.size() || !caps[deviceNumber].has_value()) {
      // What a failing driver may leave behind: the engine must not keep it.
      out = DeviceCaps{0xDEAD0000, 7};
      return DeviceStatus::kBadDeviceId;
    }
    out = *caps[deviceNumber];
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat& format) override {
    log->emplace_back("open");
    openedFormat = format;
    if (openStatus != DeviceStatus::kOk) return openStatus;
    open_ = true;
    return DeviceStatus::kOk;
  }
  DeviceStatus Prepare(const LoopBuffer& buffer) override {
    log->emplace_back("prepare");
    preparedBuffer = buffer;
    return prepareStatus;
  }
  DeviceStatus Write() override {
    log->emplace_back("write");
    return writeStatus;
  }
  DeviceStatus Position(uint32_t& bytesPlayed) override {
    log->emplace_back("position");
    ++positionQueries;
    if (onPosition) onPosition();
    if (positionScript.empty()) {
      bytesPlayed = position;
      return DeviceStatus::kOk;
    }
    const PositionAnswer a = positionScript.front();
    positionScript.pop_front();
    bytesPlayed = a.bytes;
    return a.status;
  }
  void Reset() override { log->emplace_back("reset"); }
  void Unprepare() override { log->emplace_back("unprepare"); }
  void Close() override {
    log->emplace_back("close");
    open_ = false;
  }
  bool IsOpen() const override { return open_; }

  // Opens the device directly, bypassing the log (for tick tests that start mid-playback).
  void ForceOpen() { open_ = true; }

 private:
  bool open_ = false;
};

// A timer that never fires by itself; it hands out ids and records starts and kills.
class RecordingTimer : public PlaybackTimer {
 public:
  struct Start {
    TimerId id;
    uint32_t periodMs;
    bool periodic;
  };
  std::vector<Start> starts;
  std::vector<TimerId> kills;
  std::vector<std::string>* log =
      nullptr;  // optional shared call log ("timer:start", "timer:kill:ID")
  TimerId nextId = 41;
  TimerCallbackFn callback = nullptr;
  void* context = nullptr;
  std::function<void()> onStart;  // runs inside StartPeriodic, before it returns the id

  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn fn, void* ctx) override {
    starts.push_back({nextId, periodMs, true});
    if (log != nullptr) log->emplace_back("timer:start");
    if (onStart) onStart();
    callback = fn;
    context = ctx;
    return nextId++;
  }
  TimerId StartOneShot(uint32_t delayMs, uint32_t /*resolutionMs*/, TimerCallbackFn fn,
                       void* ctx) override {
    starts.push_back({nextId, delayMs, false});
    if (log != nullptr) log->emplace_back("timer:oneshot");
    callback = fn;
    context = ctx;
    return nextId++;
  }
  void Kill(TimerId id) override {
    kills.push_back(id);
    if (log != nullptr) log->push_back("timer:kill:" + std::to_string(id));
  }
  void Fire() {
    if (callback != nullptr) callback(context);
  }
};

}  // namespace mixorama
