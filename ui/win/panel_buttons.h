// The control panel's buttons, one function per button, and the play button's caption. The
// panel's command handler calls these; GUI thread. Slots are indexes 0..7 (slot number - 1).
#pragma once

namespace mixorama {

// "Load Wave" (controls 101..108): asks for a wave file and loads it into the slot.
void LoadWaveCommand(int slot);

// "No Wave" (controls 109..116): empties the slot, its label and its square (EmptySlot).
void NoWaveCommand(int slot);

// The play button (control 189): caption first, from the playing flag, then start or stop.
void PlayButton();

// "Sync" (control 133).
void SyncButton();

// Sets the play button's caption; nothing once the panel is gone.
void SetPlayCaption(const char* text);

}  // namespace mixorama
