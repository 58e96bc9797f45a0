// The whole state of the Windows layer in one record, with one instance for the process: the
// application's objects, the two windows, the frame menu, the data file, the message-box call
// and what the panel's commands remember. Beside each field: which thread touches it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "engine/mixer.h"

namespace mixorama {

class TPrinc;
class TLaMap;
class TFrame;
class TFrameMenu;
class TControllers;
class TMenuStepTimer;

// Shaped like MessageBoxExA: every message box of the Windows layer goes through one.
using MessageBoxCall = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT style,
                                    WORD language);

struct WinState {
  HINSTANCE instance = nullptr;  // given to WinMain

  // The application's objects: made and deleted by TApp. GUI thread only.
  TPrinc* princ = nullptr;
  TLaMap* laMap = nullptr;
  TFrame* frame = nullptr;
  TControllers* controllers = nullptr;  // from the end of the panel's set-up to its teardown
  // The engine's timer, which runs the deferred menu step (ui/win/frame_menu.h); set by WinMain.
  TMenuStepTimer* menuStepTimer = nullptr;

  // The windows. Handles, not objects, so any thread may read them: a handle read late names
  // a window that is gone, which the system refuses, where an object read late is freed memory.
  // The frame's: from its WM_NCCREATE to its WM_NCDESTROY, and null when its creation fails.
  std::atomic<HWND> frameWindow{nullptr};
  // The panel's: from the start of its set-up to its WM_DESTROY. PanelWindow() reads it.
  std::atomic<HWND> panelWindow{nullptr};

  // The frame menu: made on the timer thread (the deferred menu step), used on both threads,
  // deleted by the teardown on the GUI thread. Both fields under frameMenuLock; once the
  // teardown has deleted it, frameMenuClosed keeps a late deferred step from making another.
  std::mutex frameMenuLock;
  TFrameMenu* frameMenu = nullptr;
  bool frameMenuClosed = false;

  // The data file (setup files): null while none is open. GUI thread.
  HANDLE dataFile = nullptr;

  // The call that shows message boxes (any thread): MessageBoxExA, or a test's own, put in
  // place before any box can show.
  MessageBoxCall messageBox = MessageBoxExA;

  // What the panel's commands remember. GUI thread.
  char wavePath[kPathBytes] = {};   // the file name "Load Wave" asks for
  char setupName[kPathBytes] = {};  // the setup file last loaded or saved, offered again
  // The folder the program started in, read before any dialog can change the current folder:
  // the start-up set's slot names are file names relative to it.
  std::string startFolder;
};

// The Windows layer's one state record.
extern WinState g_win;

// The panel's window while it exists, null before its set-up and after its destruction. Any
// thread.
HWND PanelWindow();

}  // namespace mixorama
