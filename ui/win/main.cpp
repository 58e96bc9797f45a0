// Program entry: plugs the platform's services into the engine and runs the application.
#include <windows.h>

#include "engine/mixer.h"
#include "engine/win/mm_timer.h"
#include "engine/win/winmm_device.h"
#include "ui/win/app.h"
#include "ui/win/frame_menu.h"
#include "ui/win/win_ui.h"
#include "ui/win/window_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int) {
  using namespace mixorama;
  g_win.instance = instance;
  const int showMode = ShowModeForScreenWidth(GetSystemMetrics(SM_CXFULLSCREEN));

  // The engine's platform services live as long as the process. The panel's teardown, in the
  // application's destructor, leaves no timer callback running, so they may go after it.
  static WinmmDevice device;
  static MmTimer timer;
  static TMenuStepTimer menuStepTimer(timer);
  static WinUi ui;
  g_mixer.device = &device;
  g_mixer.timer = &menuStepTimer;
  g_win.menuStepTimer = &menuStepTimer;
  g_mixer.ui = &ui;

  TApp app(kProgramTitle, instance, previous, commandLine, showMode);
  const int status = app.Run();
  return status;
}
