// Changing the output rate once the user has agreed, and putting a saved setup in force.
// Both run on the GUI thread. They reach the control panel through the UiSeam of the
// channel table (slot labels, slot squares) and through RateChangeUi below (the play button
// and the Frequency check marks), so tests run them on the virtual device.
#pragma once

#include <cstdint>

#include "engine/mixer.h"
#include "ui/setup_file.h"

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

// What the Frequency command does after a Yes: stop playback, play caption, release the ring,
// empty every slot (EmptySlot), store rate and its ring size, run the engine init into the
// engine-ready flag, update the check marks. rate is 11025, 22050 or 44100; it is applied even
// when it is in force.
void ApplyOutputRate(Mixer& m, int32_t rate, RateChangeUi& panel);

// Puts a parsed setup in force without asking anything: the rate as ApplyOutputRate does
// when it differs from the one in force; then for every slot, in order, either the No Wave
// steps (no path) or a load of its wave (the loader reports a wave that fails, and that slot
// ends empty) followed by its lock, mute and level and a redrawn square (the saved level
// replaces the target the load took from the cursor). Playback is left as it was:
// running on if the rate stayed, started again after a rate change if it was on before.
void ApplySetup(Mixer& m, const SavedSetup& setup, RateChangeUi& panel);

}  // namespace mixorama
