// A slot's life: frames installed into it, emptied again, named and labelled. Every path that
// fills or empties a slot (a load, a failed load, No Wave, the rate change, teardown) goes
// through these functions, so the step order the tick relies on is written once.
//
// GUI thread (or the tool's one thread), one at a time; never with Mixer::lock held. The lock
// is taken only around the fields the tick reads.
#pragma once

#include <cstdint>

#include "engine/mixer.h"

namespace mixorama {

// Installs converted frames into an empty slot: sample memory (ownership passes to the slot;
// it must come from m.allocator), sample data, length and the read position joined in step
// with the loaded channels (the lowest other slot holding a wave gives the position, wrapped
// into lengthBytes; with none the slot keeps its own), and active last: the tick may mix the
// slot from then on. lengthBytes is a whole number of frames, at least one.
void InstallFrames(Mixer& m, int slot, void* sampleMemory, int32_t lengthBytes);

// Empties a channel: active to 0, peak level lowered by 100 (also for an empty slot), then
// the sample memory released. Read position, length and sample data pointer stay as they are.
void UnloadChannel(Mixer& m, int slot);

// Empties a slot as the user sees it, in this order: UnloadChannel; the label emptied;
// volume 1, muted 0, locked 0; the square redrawn; the slot name emptied. Playback goes on.
// An empty slot goes through the same steps.
void EmptySlot(Mixer& m, int slot);

// Upper-cases the slot name in place and shows the file part without its last three
// characters as the slot's label ("C:\SOUNDS\KICK.WAV" -> "KICK.").
void ShowSlotLabel(Mixer& m, int slot);

// A slot's converted frames (high byte first) and their length in bytes; null and 0 while the
// slot holds no wave. Valid until the slot is next loaded or emptied. GUI thread.
struct SlotFrameView {
  const uint8_t* data = nullptr;
  int32_t lengthBytes = 0;
};
SlotFrameView SlotFrames(const Mixer& m, int slot);

// Loads the wave at path into slot (0..7). On success the slot name becomes the path, the
// label is shown, locked and muted are cleared, the slot follows the cursor and its square is
// redrawn; on failure (already reported) the slot is emptied with EmptySlot. path may be the
// slot's own slot name.
void LoadWaveIntoSlot(Mixer& m, const char* path, int slot);

}  // namespace mixorama
