#include "ui/rate_change.h"

#include <mutex>

#include "engine/output.h"
#include "engine/wave_loader.h"
#include "ui/panel_commands.h"

namespace mixorama {

namespace {

// The play button's captions (the Windows panel names them too; this file has no window).
constexpr char kStoppedCaption[] = "Press here to play";
constexpr char kPlayingCaption[] = "Press here to cut sound";

}  // namespace

void ApplyOutputRate(Mixer& m, int32_t rate, RateChangeUi& panel) {
  // Stopping first ends the periodic timer, so no tick reads the ring or a channel below.
  StopPlayback(m);
  panel.SetPlayCaption(kStoppedCaption);
  ReleaseOutputRing(m);
  for (int s = 0; s < kChannelCount; ++s) {
    UnloadChannel(m, s);
    {
      std::lock_guard<std::mutex> hold(m.lock);
      m.volume[s] = 1;
    }
    m.muted[s] = 0;
    m.locked[s] = 0;
    if (m.ui != nullptr) {
      m.ui->DrawSlotSquare(s);
      m.ui->SetSlotLabel(s, "");
    }
  }
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.outputRate = rate;
    m.ringSizeBytes = RingSizeForRate(rate);
  }
  m.engineReady = EngineInit(m);
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
      NoWaveCommand(m, s);
      continue;
    }
    LoadWaveIntoSlot(m, slot.path.c_str(), s);
    if (m.sampleMemory[s] == nullptr) continue;  // reported by the loader; the slot is empty

    // A muted slot sounds at the lowest gain, as muting from the map leaves it.
    const int32_t level = slot.muted != 0 ? 1 : slot.level;
    m.locked[s] = slot.locked;
    m.muted[s] = slot.muted;
    if (m.ui != nullptr) m.ui->DrawSlotSquare(s);
    // Drawing takes the target from the cursor while the map-hover flag is set, and that flag
    // can outlive the mouse's stay over the map (the dialog took the capture). The saved
    // level is what the file stands for; the next move over the map drives free slots again.
    std::lock_guard<std::mutex> hold(m.lock);
    m.targetVolume[s] = level;
  }

  if (rateChanged && wasPlaying) {
    StartPlayback(m);
    if (m.playing != 0) panel.SetPlayCaption(kPlayingCaption);
  }
}

}  // namespace mixorama
