// The frame menu's setup-file commands: "&Load a file" (900) and "&Save a file" (901). Each
// asks for a file name first; GUI thread.
#pragma once

namespace mixorama {

// Reads a setup file and puts it in force (ApplySetup) once all of it has been checked; a
// file that cannot be read or parsed leaves the session as it was, with one message.
void LoadSetupCommand();

// Writes the session as a setup file, replacing the chosen file only once the new content is
// complete.
void SaveSetupCommand();

}  // namespace mixorama
