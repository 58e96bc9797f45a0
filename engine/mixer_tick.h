// The mixer tick: every 50 ms, mix the frames the device has played since the previous tick
// from the active channels into the part of the ring just played.
#pragma once

#include <cstdint>

#include "engine/mixer.h"

namespace mixorama {

// What the platform's periodic timer calls: the tick; context is the Mixer. Timer thread.
void TimerCallback(void* context);

// One tick. Takes the engine lock after the position query; shows the failed-query message
// with no lock held. Timer thread (tests and the renderer call it from their own thread).
void MixerTick(Mixer& m);

// Mixes one frame from the active channels into the ring at the write index and advances
// every index. Needs the engine lock held and a ring present. The plain reference for
// MixFrames, which must give the same bytes and the same state.
void MixOneFrame(Mixer& m);

// Mixes frames frames, exactly as that many MixOneFrame calls would, with the channel state
// kept in registers for the run (what the tick uses). Needs the engine lock held and a ring
// present; frames <= 0 mixes nothing.
void MixFrames(Mixer& m, int32_t frames);

// The tick's frame count from two play positions: bytes from lastPos to pos in a ring of
// ringSize bytes, as a non-negative count (the tick mixes it rounded up to whole frames).
int32_t PlayedBytesSince(uint32_t bytesPlayed, uint32_t ringSize, int32_t& lastPos);

}  // namespace mixorama
