// The sound card through WINMM's wave-output calls, one method per call, always opened on
// the wave mapper. The engine serialises the calls (Mixer::deviceLock), so the object holds
// no lock. WINMM result codes go no further than this file: they become DeviceStatus.
#pragma once

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include "engine/platform.h"

namespace mixorama {

// The one translation of a WINMM result code.
DeviceStatus TranslateMmResult(MMRESULT result);

class WinmmDevice : public OutputDevice {
 public:
  WinmmDevice();
  WinmmDevice(const WinmmDevice&) = delete;
  WinmmDevice& operator=(const WinmmDevice&) = delete;
  // Closes a device still open (program end without a stop).
  ~WinmmDevice() override;

  uint32_t DeviceCount() override;  // waveOutGetNumDevs
  // waveOutGetDevCapsA on device deviceNumber; caps is written only on success.
  DeviceStatus Capabilities(uint32_t deviceNumber, DeviceCaps& caps) override;
  // waveOutOpen(WAVE_MAPPER, PCM format, no callback, WAVE_ALLOWSYNC).
  DeviceStatus Open(const OutputFormat& format) override;
  // waveOutPrepareHeader on a header that loops the buffer buffer.loops times.
  DeviceStatus Prepare(const LoopBuffer& buffer) override;
  DeviceStatus Write() override;  // waveOutWrite of the prepared header
  // waveOutGetPosition asking for bytes. The byte field is taken even when the driver
  // answers in another unit.
  DeviceStatus Position(uint32_t& bytesPlayed) override;
  void Reset() override;      // waveOutReset
  void Unprepare() override;  // waveOutUnprepareHeader
  void Close() override;      // waveOutClose; the handle is null afterwards, whatever the result
  bool IsOpen() const override { return handle_ != nullptr; }

  // What the last Open asked for (the device test checks it).
  const WAVEFORMATEX& waveFormat() const { return format_; }

 private:
  HWAVEOUT handle_ = nullptr;
  WAVEFORMATEX format_{};
  WAVEHDR header_{};   // must stay put while the device holds it (prepared to unprepared)
  MMTIME position_{};  // its type is set once, to bytes, and not reset after a query
};

}  // namespace mixorama
