// TControllers: MIDI controllers in the Windows program. At start it reads the MIDI map
// MIXORAMA.MAP from the program's folder (the default mapping when there is none; a faulty
// one shows its one message and gives the default mapping) and opens every MIDI input device
// (engine/win/midi_in.h), delivering to a message-only window of its own, so the panel, the
// map, the frame and their texts stay as they are. A message becomes an action in the
// controller's queue (ui/midi_input.h), applied by a drain that the window posts to itself:
// a flood between two drains is coalesced, never a backlog of window messages. The actions go
// through the map (TLaMap: moves without moving the system pointer, clicks, squares) and the
// panel's play button. No device, or a device that does not open, is no error. GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/win/midi_in.h"
#include "ui/midi_input.h"

namespace mixorama {

class TControllers {
 public:
  // Makes the window, reads the map, opens the devices.
  explicit TControllers(HINSTANCE instance);
  TControllers(const TControllers&) = delete;
  TControllers& operator=(const TControllers&) = delete;
  // Closes the devices, then the window (with whatever the drivers had posted to it).
  ~TControllers();

  HWND Window() const { return window_; }
  const MidiInput& input() const { return input_; }

  // Private messages of the window.
  static constexpr UINT kDrainMessage = WM_APP + 1;
  static constexpr UINT_PTR kRetryTimer = 1;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnData(uint32_t word);
  void OnDrain();

  HWND window_ = nullptr;
  MidiInput input_;
  MidiInputs devices_;
  bool drainPosted_ = false;
};

// The MIDI map the program starts with: MIXORAMA.MAP beside the program, else the default one.
// A file that cannot be read or is faulty shows its one message; the default mapping is used.
MidiMapping ReadProgramMidiMap();

}  // namespace mixorama
