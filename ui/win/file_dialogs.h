// The common open and save dialogs, in the two kinds the program asks for: wave files and
// setup files. GUI thread; the dialog runs its own message loop, so playback and the mixer
// tick go on while it is open, and the control panel is disabled meanwhile.
#pragma once

namespace mixorama {

enum class FileKind {
  kWave,   // "Open Wave" / "Save Wave", *.WAV
  kSetup,  // "Open Setup" / "Save Setup", *.ST
};

// Asks for a file name in name, a 260-byte buffer. save is 0 for the open dialog, 1 for the
// save dialog. Opening a wave starts with "*.WAV" in the name field, opening a setup with
// "*.ST"; a save dialog starts with whatever name holds. The open dialog accepts a name that
// does not exist in an existing folder; the save dialog asks before it returns the name of an
// existing file. Returns 1 with the full path in name, or 0 (cancelled or failed) with name
// emptied.
int AskFileName(char* name, int save, FileKind kind);

}  // namespace mixorama
