// A sound device and a timer that exist only in memory, with a clock the caller moves. The
// renderer plays the engine on them; tests use them to check the tick's position, wrap and
// refill arithmetic without a sound card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/platform.h"

namespace mixorama {

class VirtualDevice : public OutputDevice {
 public:
  struct Options {
    uint32_t deviceCount = 1;
    DeviceCaps caps{0xFFFFF, 2};  // every standard format, stereo
    // Byte count the position starts from at each open: lets tests cross the 32-bit wrap.
    uint32_t positionStartBytes = 0;
  };

  VirtualDevice() = default;
  explicit VirtualDevice(const Options& options) : options_(options) {}

  // Receives frames as they are played, in device format: bytes, count of bytes.
  using PlayedFrames = std::function<void(const uint8_t* bytes, size_t count)>;

  // Plays the ring up to totalFrames frames since the open (no-op when not playing or when
  // already there) and sends what it played to played, if given: frame n is byte
  // (n * blockAlign) mod ring length, as the ring holds it now. Not to be called while a tick
  // runs on another thread.
  void AdvanceTo(uint64_t totalFrames, const PlayedFrames& played = nullptr);

  uint64_t framesPlayed() const { return framesPlayed_; }
  const OutputFormat& openedFormat() const { return format_; }
  int openCount() const { return openCount_; }

  uint32_t DeviceCount() override { return options_.deviceCount; }
  DeviceStatus Capabilities(uint32_t deviceNumber, DeviceCaps& caps) override;
  DeviceStatus Open(const OutputFormat& format) override;
  DeviceStatus Prepare(const LoopBuffer& buffer) override;
  DeviceStatus Write() override;
  DeviceStatus Position(uint32_t& bytesPlayed) override;
  void Reset() override { writing_ = false; }
  void Unprepare() override { prepared_ = false; }
  void Close() override;
  bool IsOpen() const override { return open_; }

 private:
  Options options_;
  OutputFormat format_{};
  LoopBuffer buffer_{};
  bool open_ = false;
  bool prepared_ = false;
  bool writing_ = false;
  uint64_t framesPlayed_ = 0;
  int openCount_ = 0;
};

// A timer that never fires by itself: it records what was asked, and the caller runs the
// callback when its own clock says so.
class ManualTimer : public PlaybackTimer {
 public:
  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) override;
  TimerId StartOneShot(uint32_t delayMs, uint32_t resolutionMs, TimerCallbackFn callback,
                       void* context) override;
  void Kill(TimerId id) override;

  // Runs the callback of the live timer, if any (a one-shot timer is gone afterwards).
  void Fire();
  bool running() const { return liveId_ != 0; }
  uint32_t periodMs() const { return periodMs_; }
  int killCount() const { return killCount_; }

 private:
  TimerId Start(uint32_t periodMs, bool oneShot, TimerCallbackFn callback, void* context);
  TimerId nextId_ = 1;
  TimerId liveId_ = 0;
  bool oneShot_ = false;
  uint32_t periodMs_ = 0;
  TimerCallbackFn callback_ = nullptr;
  void* context_ = nullptr;
  int killCount_ = 0;
};

}  // namespace mixorama
