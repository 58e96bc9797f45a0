// The Windows program's application object and the process-wide references of its user
// interface. Everything here lives from start-up to the end of the process.
#pragma once

#include <windows.h>

#include <string>

namespace mixorama {

class TPrinc;
class TLaMap;
class TFrame;

// Process-wide references, set once during start-up and never reassigned while the program
// runs (the panel's window handle is recorded by the panel's set-up).
extern HINSTANCE g_instance;  // module instance given to WinMain
extern TPrinc* g_princ;       // the control panel object
extern TLaMap* g_laMap;       // the mixing map object
extern TFrame* g_frame;       // the main frame object
extern HWND g_frameWindow;    // the main frame's window (from its creation on)
extern HWND g_panelWindow;    // the control panel's window, recorded during its set-up

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

  // Creates and shows the frame, runs the message loop; returns the exit code (0 normally).
  int Run();

  // The parts of Run: the frame window (with the panel set up inside it), then the message
  // loop with the panel's keyboard handling, until WM_QUIT; returns its exit code.
  bool CreateMainWindow();
  int MessageLoop();

 private:
  void InitMainWindow();  // panel object, map object, frame object

  std::string name_;
  HINSTANCE instance_;
  int showMode_;
};

}  // namespace mixorama
