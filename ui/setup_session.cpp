#include "ui/setup_session.h"

#include <mutex>

#include "engine/playback.h"
#include "engine/slot.h"
#include "engine/texts.h"

namespace mixorama {

SavedSetup CaptureSetup(Mixer& m, const std::string& baseFolder) {
  SavedSetup setup;
  setup.outputRate = m.outputRate;
  int32_t targets[kChannelCount];
  bool loaded[kChannelCount];
  {
    std::lock_guard<std::mutex> hold(m.lock);
    for (int s = 0; s < kChannelCount; ++s) {
      targets[s] = m.targetVolume[s];
      loaded[s] = m.sampleMemory[s] != nullptr;
    }
  }
  for (int s = 0; s < kChannelCount; ++s) {
    if (!loaded[s]) continue;  // saved as an empty slot with the start values
    SetupSlot& slot = setup.slots[s];
    slot.path = InFolder(baseFolder, m.slotName[s]);
    slot.level = targets[s];
    slot.locked = m.locked[s];
    slot.muted = m.muted[s];
  }
  return setup;
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
