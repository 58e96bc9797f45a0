// Changing the output rate once the user has agreed, on the GUI thread. It reaches the control
// panel through the UiSeam of the channel table (slot labels, slot squares) and through
// RateChangeUi below (the play button and the Frequency check marks), so tests run it on the
// virtual device.
#pragma once

#include <cstdint>

#include "engine/mixer.h"

namespace mixorama {

// The two panel calls a rate change makes besides those of the UiSeam.
class RateChangeUi {
 public:
  virtual ~RateChangeUi() = default;
  // Caption of the play button (control 189).
  virtual void SetPlayCaption(const char* text) = 0;
  // Check marks of the Frequency items from the output rate.
  virtual void UpdateRateChecks() = 0;
};

// Which Frequency item carries the check mark: 0, 1 or 2 for 11025, 22050 or 44100 Hz, -1 for
// another rate. Reads the output rate under Mixer::lock, so the deferred menu step may call it
// on the timer thread while the GUI thread changes the rate. Never with the lock held.
int CheckedRateItem(Mixer& m);

// What the Frequency command does after a Yes: stop playback, play caption, empty every slot
// (EmptySlot), put the rate in force (RestartOutput: the ring released, rate and ring size
// stored, the engine init run), update the check marks. rate is 11025, 22050 or 44100; it is
// applied even when it is in force.
void ApplyOutputRate(Mixer& m, int32_t rate, RateChangeUi& panel);

}  // namespace mixorama
