// MIDI input through WINMM (midiInGetNumDevs, midiInOpen, midiInStart, midiInStop,
// midiInReset, midiInClose), every device delivering to one window: with CALLBACK_WINDOW the
// driver posts MM_MIM_DATA (and the open, close and error notices) to the window's thread, so
// no message is ever handled on the driver's thread. WINMM result codes go no further than
// this file: they become DeviceStatus. GUI thread.
#pragma once

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/platform.h"

namespace mixorama {

// The bytes of a short message as WINMM packs it into one word (MM_MIM_DATA's lParam): the
// status in the low byte, then the data bytes. Returns their count, which the status gives: 3
// for note off and on, key pressure, control change, pitch bend and 0xF2; 2 for program
// change, channel pressure, 0xF1 and 0xF3; 1 for the other system messages; 0 when the low
// byte is no status (below 0x80).
size_t ShortMessageBytes(uint32_t word, uint8_t bytes[3]);

class MidiInputs {
 public:
  MidiInputs() = default;
  MidiInputs(const MidiInputs&) = delete;
  MidiInputs& operator=(const MidiInputs&) = delete;
  ~MidiInputs() { CloseAll(); }

  // Opens and starts every MIDI input device, delivering to window. A device that does not
  // open or start is left closed and is no error; statuses() tells what each answered.
  // Returns how many devices are open.
  int OpenAll(HWND window);
  // Stops, resets and closes every open device: the drivers post nothing more afterwards
  // (what they posted before stays in the window's queue).
  void CloseAll();

  // Each device's answer to the last OpenAll, by device number.
  const std::vector<DeviceStatus>& statuses() const { return statuses_; }

 private:
  std::vector<HMIDIIN> open_;
  std::vector<DeviceStatus> statuses_;
};

}  // namespace mixorama
