// The Windows program's application object and its main frame. The objects it makes and the
// windows' handles are kept in the Windows layer's state (WinState, ui/win/window_state.h).
#pragma once

#include <windows.h>

#include <string>

namespace mixorama {

// Frame title once the panel is set up.
inline constexpr char kDemoTitle[] = "Mixorama Demo";

// Show mode from the width of a full-screen window's client area: small screens
// (at most 640 pixels) get a maximised frame.
int ShowModeForScreenWidth(int fullScreenClientWidth);

// The application: builds the panel, the map and the main frame, then runs the message loop.
class TApp {
 public:
  TApp(const char* name, HINSTANCE instance, HINSTANCE previous, const char* commandLine,
       int showMode);
  TApp(const TApp&) = delete;
  TApp& operator=(const TApp&) = delete;
  // Destroys the panel (its teardown), then the map and the frame objects.
  ~TApp();

  // Creates and shows the frame, runs the message loop; returns the exit code: 0 normally, 1
  // when the frame (with the panel inside it) could not be created.
  int Run();

  // The parts of Run: the frame window (with the panel set up inside it; false when either
  // could not be created), then the message loop with the panel's keyboard handling, until
  // WM_QUIT; returns its exit code.
  bool CreateMainWindow();
  int MessageLoop();

 private:
  void InitMainWindow();  // panel object, map object, frame object (into WinState)

  std::string name_;
  HINSTANCE instance_;
  int showMode_;
};

}  // namespace mixorama
