// The main frame: the program's top-level window, whose client area is the control panel.
#pragma once

#include <windows.h>

namespace mixorama {

class TPrinc;

// The main frame: a top-level window whose client area is the control panel. It fits itself
// to the panel whenever it is set up or sized (except when minimised), forwards its menu's
// commands to the panel and asks the panel before it closes.
class TFrame {
 public:
  TFrame(const char* title, TPrinc* client) : title_(title), client_(client) {}

  // Registers the class and creates the window with the menu; the panel is created and set
  // up during this call. Returns false when the window could not be created, the panel
  // included: the window is gone again then, and no handle of it is kept.
  bool Create(HINSTANCE instance, const char* menuName);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCreate();
  void FitToClient();
  void OnClose();

  const char* title_;
  TPrinc* client_;
  HWND window_ = nullptr;  // from WM_NCCREATE to WM_NCDESTROY, as WinState::frameWindow
  bool created_ = false;   // CreateWindowExA returned the window
  bool fitting_ = false;   // the fit's own move sizes the frame again
};

}  // namespace mixorama
