// The narrow seams between the portable engine and what the platform provides: the sound
// output device, the periodic timer, the three user-interface calls and zero-filled memory.
// Nothing here names a Windows type; the Windows program implements these interfaces in
// engine/win/ and ui/win/, tests and tools implement them with virtual or recording versions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mixorama {

// Result of a device call, translated once from the platform's own codes.
enum class DeviceStatus {
  kOk,
  kNotOpen,        // no device is open (closed meanwhile, or never opened)
  kBadDeviceId,    // no such device number
  kNoDriver,       // no driver or no device present
  kNoMemory,       // the driver could not get memory
  kBadFormat,      // the format is not supported
  kStillPlaying,   // a buffer is still queued
  kInvalidHandle,  // the handle is not (or no longer) valid
  kError,          // any other failure
};

// The two fields of a device's capabilities that the engine uses.
struct DeviceCaps {
  uint32_t formats = 0;   // bit 0: 11.025 kHz, mono, 8-bit
  uint16_t channels = 0;  // 1 for a mono card; 0 (never read) counts as stereo
};

// PCM output format, as the device is opened with it.
struct OutputFormat {
  uint16_t formatTag = 0;  // 1 = PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

// The single looping buffer handed to the device: played from its first byte, looped.
struct LoopBuffer {
  uint8_t* data = nullptr;
  uint32_t lengthBytes = 0;
  uint32_t loops = 0;  // how many times the device plays it before it stops
};

// A wave-output device, opened through the system's default device (the wave mapper).
// Calls mirror the platform's one by one so the engine keeps its exact call order. The
// engine serialises them with Mixer::deviceLock; implementations need no lock of their own
// against the engine, only against their own internal threads.
class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  virtual uint32_t DeviceCount() = 0;
  virtual DeviceStatus Capabilities(uint32_t deviceNumber, DeviceCaps& caps) = 0;
  virtual DeviceStatus Open(const OutputFormat& format) = 0;  // on failure nothing is open
  virtual DeviceStatus Prepare(const LoopBuffer& buffer) = 0;
  virtual DeviceStatus Write() = 0;  // starts playing the prepared buffer, looping
  // Bytes played since the open, counting every loop; a 32-bit count that wraps.
  virtual DeviceStatus Position(uint32_t& bytesPlayed) = 0;
  virtual void Reset() = 0;      // stops playback; result ignored by the engine
  virtual void Unprepare() = 0;  // result ignored by the engine
  virtual void Close() = 0;      // afterwards IsOpen() is false
  virtual bool IsOpen() const = 0;
};

using TimerId = uint32_t;  // 0 means no timer
using TimerCallbackFn = void (*)(void* context);

// Multimedia-style timers whose callbacks run on a thread of their own.
class PlaybackTimer {
 public:
  virtual ~PlaybackTimer() = default;
  // Calls callback(context) every periodMs until killed. Returns 0 on failure.
  virtual TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) = 0;
  // Calls callback(context) once after delayMs. Returns 0 on failure.
  virtual TimerId StartOneShot(uint32_t delayMs, uint32_t resolutionMs, TimerCallbackFn callback,
                               void* context) = 0;
  // No further callbacks after it returns. A callback already running is waited for, unless
  // Kill is called from inside a callback; so Kill must not be called holding a lock that a
  // callback takes.
  virtual void Kill(TimerId id) = 0;
};

// The calls the engine makes into the user interface.
class UiSeam {
 public:
  virtual ~UiSeam() = default;
  // Modal message with the program title as caption; returns once dismissed. Any thread.
  virtual void InfoBox(const char* text) = 0;
  // Text of the slot label control (id 125 + slot). GUI thread.
  virtual void SetSlotLabel(int slot, const char* text) = 0;
  // Redraws the slot's square on the map; drawing never changes the mix. GUI thread.
  virtual void DrawSlotSquare(int slot) = 0;
  // While the cursor is over the map, a loaded slot that is not muted takes its target from
  // the cursor, as a mouse move would give it (locked slots too). GUI thread. Without a
  // cursor there is nothing to follow.
  virtual void FollowCursor(int /*slot*/) {}
};

// Zero-filled memory blocks (what the program's movable global blocks stand for). Tests
// swap in failing versions to reach the memory-error paths.
struct BlockAllocator {
  void* (*allocZeroed)(size_t bytes) = nullptr;  // null when no block can be had
  void (*release)(void* block) = nullptr;        // accepts null
};
BlockAllocator DefaultBlockAllocator();

}  // namespace mixorama
