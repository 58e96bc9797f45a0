// TPrinc: the control panel, a modeless child dialog built from FEN_PRINC. It sets up the
// engine and the start-up set when its window is created, turns button clicks and menu
// commands into commands, answers the frame's close query and tears the engine down when the
// object is destroyed. Its window is known through PanelWindow() (WinState). GUI thread only.
#pragma once

#include <windows.h>

#include "engine/platform.h"

namespace mixorama {

class TPrinc {
 public:
  TPrinc(HINSTANCE instance, const char* templateName);
  TPrinc(const TPrinc&) = delete;
  TPrinc& operator=(const TPrinc&) = delete;
  // The teardown: closes the controllers, cancels the deferred menu step (waiting for it if it
  // runs), stops playback (the tick timer's kill waits for a tick in flight), frees the
  // output ring, empties the eight slots, deletes the frame menu. Runs after the windows are gone;
  // once it returns no timer callback runs, so the process's static objects may go.
  ~TPrinc();

  // Creates the panel's window as a child of parent; the set-up runs before it returns.
  // Returns the window, or null when it could not be created.
  HWND Create(HWND parent);

  // The close query: ConfirmQuit. True when the program may close.
  bool CanClose();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  void SetupWindow(HWND window);  // set-up steps, once the template's controls exist
  // The dialog base's command processing: OK, Cancel and the menu command table.
  void DefaultCommand(int id);
  // The panel's own handling of control clicks.
  void OnCommand(int id, int notifyCode, HWND control);
  void OnDestroy();

  HINSTANCE instance_;
  const char* templateName_;
};

}  // namespace mixorama
