#include "engine/mixer_tick.h"

#include <cstdlib>

#include "engine/output.h"
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

// Division of a mix magnitude by the gain divisor without a divide instruction per frame. A
// magnitude is at most 8 * 65536 < 2^20. With r = floor(2^32 / d) + 1 = (2^32 + e) / d,
// 0 < e <= d, x * r / 2^32 exceeds x / d by x * e / (d * 2^32) < 1 / d when x * d < 2^32,
// which cannot carry it past the next integer: its floor is floor(x / d). That holds for every
// divisor up to 4096; the peak, made of such magnitudes, gives at most 16. Larger ones divide.
constexpr int32_t kLargestReciprocalDivisor = 4096;
inline uint64_t ReciprocalOf(uint32_t divisor) {
  return (uint64_t{1} << 32) / divisor + 1;
}
inline int32_t QuotientOf(uint32_t magnitude, int32_t divisor, uint64_t reciprocal) {
  if (divisor > kLargestReciprocalDivisor) {
    return static_cast<int32_t>(magnitude / static_cast<uint32_t>(divisor));
  }
  return static_cast<int32_t>((magnitude * reciprocal) >> 32);
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
  // channel's state in registers, then peak, divisor and output go frame by frame.
  constexpr int32_t kBlockFrames = 256;
  uint32_t leftMagnitude[kBlockFrames];
  uint32_t rightMagnitude[kBlockFrames];
  int channels[kChannelCount];
  int channelCount = 0;
  for (int c = 0; c < kChannelCount; ++c) {
    if (m.active[c] != 0) channels[channelCount++] = c;
  }
  uint8_t* const ring = m.outputRing;
  const uint32_t ringSize = m.ringSizeBytes;
  uint32_t write = m.writeIndexBytes;
  int32_t peak = m.peakLevel;
  int32_t cachedDivisor = 0;
  uint64_t reciprocal = 0;

  for (int32_t done = 0; done < frames;) {
    const int32_t n = frames - done < kBlockFrames ? frames - done : kBlockFrames;
    done += n;
    for (int32_t i = 0; i < n; ++i) leftMagnitude[i] = rightMagnitude[i] = 0;
    for (int k = 0; k < channelCount; ++k) {
      const int c = channels[k];
      const uint8_t* const data = m.sampleData[c];
      const int32_t length = m.lengthBytes[c];
      const int32_t target = m.targetVolume[c];
      int32_t readPos = m.readPosBytes[c];
      int32_t volume = m.volume[c];
      // Runs that neither cross the wave's end nor change the volume have a plain loop.
      for (int32_t i = 0; i < n;) {
        int32_t run = (length - readPos) / kFrameBytes;  // frames up to the wave's end
        if (run < 1) run = 1;
        if (run > n - i) run = n - i;
        const int32_t rampFrames = volume < target ? target - volume : volume - target;
        const uint8_t* frame = data + readPos;
        if (rampFrames != 0) {
          if (run > rampFrames) run = rampFrames;
          const int32_t step = volume < target ? 1 : -1;
          for (int32_t j = i; j < i + run; ++j, frame += kFrameBytes) {
            const auto v = static_cast<uint32_t>(volume);
            leftMagnitude[j] += v * static_cast<uint32_t>(-OffsetSample(frame)) / kUnityVolume;
            rightMagnitude[j] += v * static_cast<uint32_t>(-OffsetSample(frame + 2)) / kUnityVolume;
            volume += step;
          }
        } else {
          const auto v = static_cast<uint32_t>(volume);
          for (int32_t j = i; j < i + run; ++j, frame += kFrameBytes) {
            leftMagnitude[j] += v * static_cast<uint32_t>(-OffsetSample(frame)) / kUnityVolume;
            rightMagnitude[j] += v * static_cast<uint32_t>(-OffsetSample(frame + 2)) / kUnityVolume;
          }
        }
        i += run;
        readPos += run * kFrameBytes;
        if (readPos >= length) readPos = 0;
      }
      m.readPosBytes[c] = readPos;
      m.volume[c] = volume;
    }

    for (int32_t i = 0; i < n; ++i) {
      uint8_t* out = ring + write;
      write += kFrameBytes;
      if (write >= ringSize) write = 0;
      if (channelCount == 0) {  // nothing to mix: silence, peak untouched
        out[0] = out[1] = out[2] = out[3] = 0;
        continue;
      }
      const auto left = static_cast<int32_t>(leftMagnitude[i]);
      const auto right = static_cast<int32_t>(rightMagnitude[i]);
      if (left > peak) peak = left;
      if (right > peak) peak = right;
      const int32_t divisor = peak / 32000;
      int32_t leftOut = 0;
      int32_t rightOut = 0;
      if (divisor != 0) {
        if (divisor != cachedDivisor) {
          cachedDivisor = divisor;
          reciprocal = ReciprocalOf(static_cast<uint32_t>(divisor));
        }
        leftOut = Saturate16(32768 - QuotientOf(leftMagnitude[i], divisor, reciprocal));
        rightOut = Saturate16(32768 - QuotientOf(rightMagnitude[i], divisor, reciprocal));
      }
      out[0] = static_cast<uint8_t>(leftOut & 0xFF);
      out[1] = static_cast<uint8_t>((leftOut >> 8) & 0xFF);
      out[2] = static_cast<uint8_t>(rightOut & 0xFF);
      out[3] = static_cast<uint8_t>((rightOut >> 8) & 0xFF);
    }
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
