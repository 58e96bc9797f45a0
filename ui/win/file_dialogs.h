// The common open and save dialogs, in the two kinds the program asks for: wave files and
// setup files. GUI thread; the dialog runs its own message loop, so playback and the mixer
// tick go on while it is open, and the control panel is disabled meanwhile.
#pragma once

#include <windows.h>
// windows.h first: the common dialogs need its types.
#include <commdlg.h>

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

// The parts of AskFileName that show nothing, kept apart so that tests can check them.

// Reads the current directory into dir (kPathBytes bytes) and returns dir, or returns null
// when it cannot be read or is longer than 259 characters (the dialog then gets no starting
// folder).
const char* ReadInitialDir(char* dir);

// Fills request, cleared first, for one dialog of the kind, owned by the control panel
// (PanelWindow()): name is the caller's 260-byte buffer, which receives the kind's pattern
// when save is 0 and is kept as it is when save is 1; fileTitle is a 260-byte buffer, emptied
// here; initialDir is the starting folder or null.
void FillFileRequest(OPENFILENAMEA& request, char* name, char* fileTitle, const char* initialDir,
                     int save, FileKind kind);

}  // namespace mixorama
