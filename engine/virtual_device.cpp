#include "engine/virtual_device.h"

namespace mixorama {

DeviceStatus VirtualDevice::Capabilities(uint32_t deviceNumber, DeviceCaps& caps) {
  if (deviceNumber >= options_.deviceCount) return DeviceStatus::kBadDeviceId;
  caps = options_.caps;
  return DeviceStatus::kOk;
}

DeviceStatus VirtualDevice::Open(const OutputFormat& format) {
  if (open_) return DeviceStatus::kError;  // the engine never opens twice
  if (format.formatTag != 1 || format.blockAlign == 0) return DeviceStatus::kBadFormat;
  format_ = format;
  open_ = true;
  framesPlayed_ = 0;
  ++openCount_;
  return DeviceStatus::kOk;
}

DeviceStatus VirtualDevice::Prepare(const LoopBuffer& buffer) {
  if (!open_) return DeviceStatus::kInvalidHandle;
  if (buffer.data == nullptr || buffer.lengthBytes == 0) return DeviceStatus::kError;
  buffer_ = buffer;
  prepared_ = true;
  return DeviceStatus::kOk;
}

DeviceStatus VirtualDevice::Write() {
  if (!open_) return DeviceStatus::kInvalidHandle;
  if (!prepared_) return DeviceStatus::kError;
  writing_ = true;
  return DeviceStatus::kOk;
}

DeviceStatus VirtualDevice::Position(uint32_t& bytesPlayed) {
  if (!open_) return DeviceStatus::kInvalidHandle;
  // A 32-bit byte count since the open that wraps, as the platform reports it.
  bytesPlayed = static_cast<uint32_t>(options_.positionStartBytes +
                                      framesPlayed_ * static_cast<uint64_t>(format_.blockAlign));
  return DeviceStatus::kOk;
}

void VirtualDevice::Close() {
  open_ = false;
  prepared_ = false;
  writing_ = false;
}

void VirtualDevice::AdvanceTo(uint64_t totalFrames, const PlayedFrames& played) {
  if (!open_ || !writing_ || totalFrames <= framesPlayed_) return;
  // The device stops once every loop is played: after the frames that start within them.
  const uint64_t loopBytes = static_cast<uint64_t>(buffer_.lengthBytes) * buffer_.loops;
  const uint32_t frameBytes = format_.blockAlign;
  const uint64_t lastFrames = (loopBytes + frameBytes - 1) / frameBytes;
  const uint64_t end = totalFrames < lastFrames ? totalFrames : lastFrames;
  while (framesPlayed_ < end) {
    // Up to the ring's end at most, in whole frames (a ring is whole frames of either format).
    const uint64_t at = framesPlayed_ * frameBytes % buffer_.lengthBytes;
    uint64_t run = (buffer_.lengthBytes - at) / frameBytes;
    if (run > end - framesPlayed_) run = end - framesPlayed_;
    if (played) played(buffer_.data + at, static_cast<size_t>(run * frameBytes));
    framesPlayed_ += run;
  }
}

TimerId ManualTimer::Start(uint32_t periodMs, bool oneShot, TimerCallbackFn callback,
                           void* context) {
  liveId_ = nextId_++;
  oneShot_ = oneShot;
  periodMs_ = periodMs;
  callback_ = callback;
  context_ = context;
  return liveId_;
}

TimerId ManualTimer::StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) {
  return Start(periodMs, false, callback, context);
}

TimerId ManualTimer::StartOneShot(uint32_t delayMs, uint32_t /*resolutionMs*/,
                                  TimerCallbackFn callback, void* context) {
  return Start(delayMs, true, callback, context);
}

void ManualTimer::Kill(TimerId id) {
  ++killCount_;
  if (id != 0 && id == liveId_) liveId_ = 0;
}

void ManualTimer::Fire() {
  if (liveId_ == 0) return;
  if (oneShot_) liveId_ = 0;
  callback_(context_);
}

}  // namespace mixorama
