// Placeholders that keep the program linking until the commands that need the file dialogs
// and the frequency question land; replaced by the file-dialog and frequency commands.
#include <cstdint>

#include "ui/win/panel_commands_win.h"

namespace mixorama {

void LoadWaveCommand(int) {}
void ChangeOutputRate(int32_t) {}
void HelpCommand() {}
void LoadSetupCommand() {}
void SaveSetupCommand() {}

}  // namespace mixorama
