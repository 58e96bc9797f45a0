// The frame menu's commands but the setup files: Quit, Help and the Frequency items (their
// check marks are the frame menu's, ui/win/frame_menu).
#include "ui/win/panel_quit_help_rate.h"

#include <windows.h>

#include <string>

#include "engine/mixer.h"
#include "engine/texts.h"
#include "resources/resource_ids.h"
#include "ui/win/frame_menu.h"
#include "ui/win/panel_buttons.h"
#include "ui/win/window_state.h"

namespace mixorama {

namespace {

void ShowHelpBox(const char* text) {
  const std::string whole = std::string(text) + kHelpClosing;
  g_win.messageBox(PanelWindow(), whole.c_str(), kHelpCaption,
                   MB_OK | MB_ICONINFORMATION | MB_TASKMODAL, 0);
}

}  // namespace

void QuitCommand() {
  if (!ConfirmQuit()) return;
  HWND panel = PanelWindow();
  if (panel != nullptr) DestroyWindow(panel);
}

bool ConfirmQuit() {
  return g_win.messageBox(PanelWindow(), kQuitQuestion, kProgramTitle,
                          MB_OKCANCEL | MB_ICONQUESTION, 0) == IDOK;
}

void HelpCommand() {
  ShowHelpBox(kHelpFirst);
  ShowHelpBox(kHelpSecond);
}

void ChangeOutputRate(int32_t rate) {
  if (rate == g_mixer.outputRate) return;
  const int answer = g_win.messageBox(PanelWindow(), kRateQuestion, "",
                                      MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL, 0);
  if (answer != IDYES) return;
  PanelRateCalls panel;
  ApplyOutputRate(g_mixer, rate, panel);
}

void PanelRateCalls::SetPlayCaption(const char* text) {
  ::mixorama::SetPlayCaption(text);
}

void PanelRateCalls::UpdateRateChecks() {
  ::mixorama::UpdateRateChecks();
}

}  // namespace mixorama
