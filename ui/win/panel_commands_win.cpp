// The panel's commands that need no file dialog: "No Wave", the play button, "Sync", Quit,
// and the message boxes and check marks the other commands share.
#include "ui/win/panel_commands_win.h"

#include <windows.h>

#include "engine/mixer.h"
#include "engine/output.h"
#include "engine/slot.h"
#include "resources/resource_ids.h"
#include "ui/rate_change.h"
#include "ui/win/app.h"
#include "ui/win/princ.h"
#include "ui/win/win_ui.h"

namespace mixorama {

namespace {

HWND Panel() {
  return g_princ != nullptr ? g_princ->Window() : nullptr;
}

// The rate is read while the frame menu is held: of two updates that race (the deferred menu
// step and a rate change), the later one also reads the later rate.
void SetChecksFromRate(TFrameMenu& menu) {
  const int checked = CheckedRateItem(g_mixer);
  for (int item = 0; item < 3; ++item) menu.CheckItem(IDM_RATE_11025 + item, item == checked);
}

}  // namespace

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

void QuitCommand() {
  if (!ConfirmQuit()) return;
  HWND panel = Panel();
  if (panel != nullptr) DestroyWindow(panel);
}

bool ConfirmQuit() {
  return MessageBoxExA(Panel(), "Quit ?", kProgramTitle, MB_OKCANCEL | MB_ICONQUESTION, 0) == IDOK;
}

void SetPlayCaption(const char* text) {
  HWND panel = Panel();
  if (panel != nullptr) SetDlgItemTextA(panel, IDC_PLAY, text);
}

void UpdateRateChecks() {
  WithFrameMenu(&SetChecksFromRate);
}

}  // namespace mixorama
