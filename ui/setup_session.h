// A setup and the running session: taking the session's setup (to save it) and putting a
// parsed setup in force (after loading it). GUI thread.
#pragma once

#include <string>

#include "engine/mixer.h"
#include "ui/rate_change.h"
#include "ui/setup_file.h"

namespace mixorama {

// The session held by the channel table: the output rate, and for every slot that holds a
// wave its slot name (made absolute against baseFolder when it is relative, as the start-up
// names are), target volume, locked and muted. A slot without a wave is saved empty.
// GUI thread; takes the engine lock to read the targets.
SavedSetup CaptureSetup(Mixer& m, const std::string& baseFolder);

// Puts a parsed setup in force without asking anything: the rate as ApplyOutputRate does
// when it differs from the one in force; then for every slot, in order, either the No Wave
// steps (no path) or a load of its wave (the loader reports a wave that fails, and that slot
// ends empty) followed by its lock, mute and level and a redrawn square (the saved level
// replaces the target the load took from the cursor). Playback is left as it was:
// running on if the rate stayed, started again after a rate change if it was on before.
void ApplySetup(Mixer& m, const SavedSetup& setup, RateChangeUi& panel);

}  // namespace mixorama
