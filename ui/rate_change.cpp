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

}  // namespace mixorama
