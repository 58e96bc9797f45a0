// The panel's commands that ask the user for something first: "Load Wave", the Frequency
// items, Help, and loading and saving setup files.
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/mixer.h"
#include "engine/slot.h"
#include "ui/rate_change.h"
#include "ui/setup_file.h"
#include "ui/win/app.h"
#include "ui/win/data_file.h"
#include "ui/win/file_dialogs.h"
#include "ui/win/panel_commands_win.h"

namespace mixorama {

namespace {

constexpr char kRateQuestion[] =
    "All the waves will be unloaded\nbefore changing frequency.\nWarning : if the frequency is "
    "too high,\nand your computer too slow,\nMixorama may hang ! Continue ?";

constexpr char kHelpClosing[] =
    "To get the most recent version :\n"
    "ask the Mixorama project for its latest release.\n"
    "Suggestions are welcome.";

constexpr char kHelpFirst[] =
    "Load the waves.\n(even with different frequencies)\nMove the mouse in the blue "
    "rectangle,\nfor live mixing.\nPress the left button to lock and \nunlock the current "
    "volume of a wave.\nPress the right button\nto mute and unmute a wave.\nIf you press  the "
    "key # before\ndoing this, the wave # will be modified,\notherwise the nearest wave will be "
    "modified.\n";

constexpr char kHelpSecond[] =
    "The demo program uses Mixorama as a rythm mixer,\nbut you can use it in other "
    "ways.\nThe waves can have any length,\nany sampling frequencies,\nstereo or mono.....\n";

// The path buffer that "Load Wave" receives its file name in.
char g_pathBuffer[kPathBytes];

// The setup file last loaded or saved: the save dialog offers it again.
char g_setupName[kPathBytes];

std::string CurrentFolder() {
  char folder[kPathBytes];
  const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
  return length != 0 && length < sizeof folder ? std::string(folder) : std::string();
}

// The folder the program started in, read before any dialog can change the current folder:
// the start-up set's slot names are file names relative to it.
const std::string g_startFolder = CurrentFolder();

// The panel calls a rate change makes, on the real panel and frame menu.
class PanelCalls : public RateChangeUi {
 public:
  void SetPlayCaption(const char* text) override { mixorama::SetPlayCaption(text); }
  void UpdateRateChecks() override { mixorama::UpdateRateChecks(); }
};

void ShowHelpBox(const char* text) {
  const std::string whole = std::string(text) + kHelpClosing;
  MessageBoxExA(g_panelWindow, whole.c_str(), "Help", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL, 0);
}

}  // namespace

void LoadWaveCommand(int slot) {
  if (AskFileName(g_pathBuffer, 0, FileKind::kWave) == 0 || g_pathBuffer[0] == '\0') return;
  LoadWaveIntoSlot(g_mixer, g_pathBuffer, slot);
}

void ChangeOutputRate(int32_t rate) {
  if (rate == g_mixer.outputRate) return;
  const int answer =
      MessageBoxExA(g_panelWindow, kRateQuestion, "", MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL, 0);
  if (answer != IDYES) return;
  PanelCalls panel;
  ApplyOutputRate(g_mixer, rate, panel);
}

void HelpCommand() {
  ShowHelpBox(kHelpFirst);
  ShowHelpBox(kHelpSecond);
}

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
    InfoBox(g_mixer, "Error reading the setup file");
    return;
  }
  // Everything is checked before anything changes: a bad file leaves the session as it is.
  SavedSetup setup;
  std::string message;
  if (!ParseSetup(bytes.data(), bytes.size(), name, setup, message)) {
    InfoBox(g_mixer, message.c_str());
    return;
  }
  std::strcpy(g_setupName, name);
  PanelCalls panel;
  ApplySetup(g_mixer, setup, panel);
}

void SaveSetupCommand() {
  char name[kPathBytes];
  std::strcpy(name, g_setupName);
  if (AskFileName(name, 1, FileKind::kSetup) == 0 || name[0] == '\0') return;
  const std::string text = WriteSetup(CaptureSetup(g_mixer, g_startFolder), name);

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
    InfoBox(g_mixer, "Error writing the setup file");
    return;
  }
  std::strcpy(g_setupName, name);
}

}  // namespace mixorama
