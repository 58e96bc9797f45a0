// The frame menu's setup-file commands: loading and saving setup files.
#include "ui/win/panel_setup_files.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "engine/mixer.h"
#include "engine/texts.h"
#include "ui/rate_change.h"
#include "ui/setup_file.h"
#include "ui/setup_session.h"
#include "ui/win/data_file.h"
#include "ui/win/file_dialogs.h"
#include "ui/win/panel_quit_help_rate.h"
#include "ui/win/window_state.h"

namespace mixorama {

void LoadSetupCommand() {
  char name[kPathBytes];
  if (AskFileName(name, 0, FileKind::kSetup) == 0 || name[0] == '\0') return;
  if (OpenDataFile(name, 0) == 0) return;
  // One byte past the limit is enough for the parser to tell an oversized file.
  const uint32_t size = DataFileSize();
  const uint32_t wanted = size > kSetupMaxBytes ? static_cast<uint32_t>(kSetupMaxBytes + 1) : size;
  std::string bytes(wanted, '\0');
  const int read = wanted == 0 ? 1 : ReadExact(&bytes[0], wanted);
  CloseDataFile();
  if (read == 0) {
    InfoBox(g_mixer, Msg::kSetupRead);
    return;
  }
  // Everything is checked before anything changes: a bad file leaves the session as it is.
  SavedSetup setup;
  std::string message;
  if (!ParseSetup(bytes.data(), bytes.size(), name, setup, message)) {
    InfoBox(g_mixer, message.c_str());
    return;
  }
  std::strcpy(g_win.setupName, name);
  PanelRateCalls panel;
  ApplySetup(g_mixer, setup, panel);
}

void SaveSetupCommand() {
  char name[kPathBytes];
  std::strcpy(name, g_win.setupName);
  if (AskFileName(name, 1, FileKind::kSetup) == 0 || name[0] == '\0') return;
  const std::string text = WriteSetup(CaptureSetup(g_mixer, g_win.startFolder), name);

  // The new content goes into a file of its own beside the old one, which it replaces only
  // once it is complete: a save that fails part-way leaves the previous file as it was.
  std::string folder = FolderOf(name);
  if (folder.empty()) folder = ".";
  char tempName[MAX_PATH];
  if (GetTempFileNameA(folder.c_str(), "mxs", 0, tempName) == 0) {
    ShowFileError(name);
    return;
  }
  if (OpenDataFile(tempName, 1, name) == 0) {
    DeleteFileA(tempName);
    return;
  }
  const int written = WriteExact(text.data(), static_cast<uint32_t>(text.size()));
  CloseDataFile();
  if (written == 0 ||
      !MoveFileExA(tempName, name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(tempName);
    InfoBox(g_mixer, Msg::kSetupWrite);
    return;
  }
  std::strcpy(g_win.setupName, name);
}

}  // namespace mixorama
