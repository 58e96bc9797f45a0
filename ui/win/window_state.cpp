#include "ui/win/window_state.h"

namespace mixorama {

WinState g_win;

HWND PanelWindow() {
  return g_win.panelWindow.load();
}

}  // namespace mixorama
