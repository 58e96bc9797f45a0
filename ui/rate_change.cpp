#include "ui/rate_change.h"

#include <mutex>

#include "engine/playback.h"
#include "engine/slot.h"
#include "engine/texts.h"

namespace mixorama {

int CheckedRateItem(Mixer& m) {
  int32_t rate = 0;
  {
    std::lock_guard<std::mutex> hold(m.lock);
    rate = m.outputRate;
  }
  for (int i = 0; i < 3; ++i) {
    if (kOutputRates[i] == rate) return i;
  }
  return -1;
}

void ApplyOutputRate(Mixer& m, int32_t rate, RateChangeUi& panel) {
  // Stopping first ends the periodic timer, so no tick reads the ring or a channel below.
  StopPlayback(m);
  panel.SetPlayCaption(kPlayCaption);
  for (int s = 0; s < kChannelCount; ++s) EmptySlot(m, s);
  RestartOutput(m, rate, m.timing);
  panel.UpdateRateChecks();
}

void ApplySetup(Mixer& m, const SavedSetup& setup, RateChangeUi& panel) {
  const bool wasPlaying = m.playing != 0;
  bool rateChanged = false;
  if (setup.outputRate != m.outputRate) {
    ApplyOutputRate(m, setup.outputRate, panel);
    rateChanged = true;
  }

  for (int s = 0; s < kChannelCount; ++s) {
    const SetupSlot& slot = setup.slots[s];
    if (slot.path.empty()) {
      EmptySlot(m, s);
      continue;
    }
    LoadWaveIntoSlot(m, slot.path.c_str(), s);
    if (m.sampleMemory[s] == nullptr) continue;  // reported by the loader; the slot is empty

    // A muted slot sounds at the lowest gain, as muting from the map leaves it. The load
    // followed the cursor; the saved level replaces that.
    m.locked[s] = slot.locked;
    m.muted[s] = slot.muted;
    {
      std::lock_guard<std::mutex> hold(m.lock);
      m.targetVolume[s] = slot.muted != 0 ? 1 : slot.level;
    }
    if (m.ui != nullptr) m.ui->DrawSlotSquare(s);
  }

  if (rateChanged && wasPlaying) {
    StartPlayback(m);
    if (m.playing != 0) panel.SetPlayCaption(kCutSoundCaption);
  }
}

}  // namespace mixorama
