// The control panel's commands, one function per command, and the panel's message boxes.
// The panel's command handler calls these; all run on the GUI thread unless stated.
// Slots are indexes 0..7 (slot number - 1).
#pragma once

#include <cstdint>

namespace mixorama {

// Captions of the play button (control 189).
inline constexpr char kPlayCaption[] = "Press here to play";
inline constexpr char kCutSoundCaption[] = "Press here to cut sound";

// ---- Commands ---------------------------------------------------------------------------

// "Load Wave" (controls 101..108): asks for a wave file and loads it into the slot.
void LoadWaveCommand(int slot);

// "No Wave" (controls 109..116): empties the slot, its label and its square.
void NoWaveCommand(int slot);

// The play button (control 189): caption first, from the playing flag, then start or stop.
void PlayButton();

// "Sync" (control 133).
void SyncButton();

// Frequency menu (904..906): rate is 11025, 22050 or 44100.
void ChangeOutputRate(int32_t rate);

// "&Quit Mixorama" (902): ConfirmQuit, then the panel window is destroyed.
void QuitCommand();

// "&Using Mixorama" (903): the two help boxes.
void HelpCommand();

// "&Load a file" (900) and "&Save a file" (901): setup files.
void LoadSetupCommand();
void SaveSetupCommand();

// ---- Operations the commands share -------------------------------------------------------

// "Quit ?" with OK and Cancel, owned by the panel. True exactly when the answer is OK.
bool ConfirmQuit();

// Sets the play button's caption.
void SetPlayCaption(const char* text);

// Check marks of the Frequency items from the output rate, through the frame menu. Does
// nothing while the frame menu does not exist yet (the deferred menu step sets them then).
// GUI thread, and once from the timer thread (the deferred menu step).
void UpdateRateChecks();

}  // namespace mixorama
