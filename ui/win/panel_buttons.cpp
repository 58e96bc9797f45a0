// The control panel's buttons: "Load Wave", "No Wave", the play button and "Sync".
#include "ui/win/panel_buttons.h"

#include <windows.h>

#include "engine/mixer.h"
#include "engine/playback.h"
#include "engine/slot.h"
#include "engine/texts.h"
#include "resources/resource_ids.h"
#include "ui/win/file_dialogs.h"
#include "ui/win/window_state.h"

namespace mixorama {

void LoadWaveCommand(int slot) {
  char* path = g_win.wavePath;
  if (AskFileName(path, 0, FileKind::kWave) == 0 || path[0] == '\0') return;
  LoadWaveIntoSlot(g_mixer, path, slot);
}

void NoWaveCommand(int slot) {
  EmptySlot(g_mixer, slot);
}

void PlayButton() {
  // One look at the flag decides both the caption and the call; the caption does not wait
  // for the outcome.
  const bool wasPlaying = g_mixer.playing.load() != 0;
  SetPlayCaption(wasPlaying ? kPlayCaption : kCutSoundCaption);
  if (wasPlaying) {
    StopPlayback(g_mixer);
  } else {
    StartPlayback(g_mixer);
  }
}

void SyncButton() {
  Sync(g_mixer);
}

void SetPlayCaption(const char* text) {
  HWND panel = PanelWindow();
  if (panel != nullptr) SetDlgItemTextA(panel, IDC_PLAY, text);
}

}  // namespace mixorama
