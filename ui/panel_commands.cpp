#include "ui/panel_commands.h"

#include <mutex>

#include "engine/wave_loader.h"

namespace mixorama {

void NoWaveCommand(Mixer& m, int slot) {
  UnloadChannel(m, slot);
  if (m.ui != nullptr) m.ui->SetSlotLabel(slot, "");
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.volume[slot] = 1;
  }
  m.muted[slot] = 0;
  m.locked[slot] = 0;
  if (m.ui != nullptr) m.ui->DrawSlotSquare(slot);
  m.slotName[slot][0] = '\0';
}

void SyncCommand(Mixer& m) {
  Sync(m);
}

}  // namespace mixorama
