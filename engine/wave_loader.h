// Loading a PCM wave file into a slot: the RIFF chunk walk, the conversion into 16-bit
// stereo frames at the output rate, and emptying a slot again.
//
// All functions here run on the GUI thread (or the tool's one thread), one at a time. They
// take the engine lock only to swap sample memory in and out; file reading and conversion
// happen outside it, and every message is shown with the lock released.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/mixer.h"

namespace mixorama {

// Loads the wave at path into slot (0..7). On success the slot name becomes the path and the
// label is shown; on failure (already reported) the slot ends empty with an empty name and
// label and volume 1. Either way locked and muted are cleared and the square is redrawn.
// path may be the slot's own slot name.
void LoadWaveIntoSlot(Mixer& m, const char* path, int slot);

// Reads, converts and activates. Returns 1 when the channel is active with the new wave,
// 0 after showing the failure's message. The slot's previous wave plays on until the new
// file has been read whole.
int LoadWave(Mixer& m, const char* path, int slot);

// Empties a channel: active to 0, peak level lowered by 100 (also for an empty slot), then
// the sample memory released. Read position, length and sample data pointer stay as they are.
void UnloadChannel(Mixer& m, int slot);

// Upper-cases the slot name in place and shows the file part without its last three
// characters as the slot's label ("C:\SOUNDS\KICK.WAV" -> "KICK.").
void ShowSlotLabel(Mixer& m, int slot);
