// Loading a PCM wave file into a channel: read the file whole, convert it into 16-bit stereo
// frames at the output rate and install them into the slot (engine/slot.h).
//
// GUI thread (or the tool's one thread), one at a time. File reading and conversion happen
// outside Mixer::lock, and every message is shown with the lock released.
#pragma once

#include "engine/mixer.h"
#include "engine/wave_source.h"

namespace mixorama {

// Reads, converts and installs. True when the channel is active with the new wave; false
// after showing the failure's message. The slot's previous wave plays on until the new file
// has been read whole and found playable; it is unloaded just before the new frames are made.
bool LoadWave(Mixer& m, const char* path, int slot);

// LoadWave over an already opened source (tests and the fuzzer feed memory). The source is
// closed by the load on every path, before any message shows.
bool LoadWaveFromSource(Mixer& m, WaveSource& source, int slot);

}  // namespace mixorama
