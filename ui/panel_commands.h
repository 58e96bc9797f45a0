// Panel commands that need no window: the steps the control panel's buttons run on the
// channel table. The Windows panel and the renderer both call these. GUI thread; never with
// Mixer::lock held (they call into the UI seam).
#pragma once

#include "engine/mixer.h"

namespace mixorama {

// "No Wave" for slot (0..7), in this order: UnloadChannel; the slot label emptied; volume 1
// (under Mixer::lock), muted 0, locked 0; DrawSlotSquare; the slot name emptied. Playback
// goes on; an empty slot goes through the same steps.
void NoWaveCommand(Mixer& m, int slot);

// The "Sync" button: Sync, whether playing or not. Nothing else changes.
void SyncCommand(Mixer& m);

}  // namespace mixorama
