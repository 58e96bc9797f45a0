// A scripted output device and a recording timer; both log every call in order.
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
  uint32_t deviceCount = 1;
  // nullopt, or a number past the end, makes that device's capabilities call fail.
  std::vector<std::optional<DeviceCaps>> caps = {DeviceCaps{0xFFFFF, 2}};
  DeviceStatus openStatus = DeviceStatus::kOk;
  DeviceStatus prepareStatus = DeviceStatus::kOk;
  DeviceStatus writeStatus = DeviceStatus::kOk;
  std::deque<PositionAnswer> positionScript;  // when empty: kOk with `position`
  uint32_t position = 0;
  std::function<void()> onPosition;  // runs inside the query: another thread's doing
  std::vector<std::string> ownLog;
  std::vector<std::string>* log = &ownLog;
  int positionQueries = 0;

  uint32_t DeviceCount() override {
    log->emplace_back("count");
    return deviceCount;
  }
  DeviceStatus Capabilities(uint32_t n, DeviceCaps& out) override {
    log->push_back("caps:" + std::to_string(n));
    if (n >= caps.size() || !caps[n].has_value()) {
      out = DeviceCaps{0xDEAD0000, 7};  // junk a failing driver may leave
      return DeviceStatus::kBadDeviceId;
    }
    out = *caps[n];
    return DeviceStatus::kOk;
  }
  DeviceStatus Open(const OutputFormat&) override {
    log->emplace_back("open");
    open_ = openStatus == DeviceStatus::kOk;
    return openStatus;
  }
  DeviceStatus Prepare(const LoopBuffer&) override {
    log->emplace_back("prepare");
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
    PositionAnswer a{DeviceStatus::kOk, position};
    if (!positionScript.empty()) {
      a = positionScript.front();
      positionScript.pop_front();
    }
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

 private:
  bool open_ = false;
};

// A timer that never fires by itself; records starts and kills.
class RecordingTimer : public PlaybackTimer {
 public:
  struct Start {
    TimerId id;
    uint32_t periodMs;
  };
  std::vector<Start> starts;
  std::vector<TimerId> kills;
  std::vector<std::string>* log = nullptr;
  TimerId nextId = 41;
  TimerCallbackFn callback = nullptr;
  void* context = nullptr;

  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn fn, void* ctx) override {
    starts.push_back({nextId, periodMs});
    if (log != nullptr) log->emplace_back("timer:start");
    callback = fn;
    context = ctx;
    return nextId++;
  }
  TimerId StartOneShot(uint32_t, uint32_t, TimerCallbackFn, void*) override { return 0; }
  void Kill(TimerId id) override {
    kills.push_back(id);
    if (log != nullptr) log->push_back("timer:kill:" + std::to_string(id));
  }
  void Fire() {
    if (callback != nullptr) callback(context);
  }
};

}  // namespace mixorama
