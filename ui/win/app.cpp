// The application object: the panel, the map and the main frame, and the message loop.
#include "ui/win/app.h"

#include "engine/mixer.h"
#include "resources/resource_ids.h"
#include "ui/win/file_dialogs.h"
#include "ui/win/frame.h"
#include "ui/win/lamap.h"
#include "ui/win/princ.h"
#include "ui/win/window_state.h"

namespace mixorama {

int ShowModeForScreenWidth(int fullScreenClientWidth) {
  return fullScreenClientWidth <= 640 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

TApp::TApp(const char* name, HINSTANCE instance, HINSTANCE, const char*, int showMode)
    : name_(name), instance_(instance), showMode_(showMode) {
  char folder[kPathBytes];
  const char* startFolder = ReadInitialDir(folder);
  g_win.startFolder = startFolder != nullptr ? startFolder : "";
  InitMainWindow();
}

TApp::~TApp() {
  delete g_win.princ;  // the panel's teardown
  g_win.princ = nullptr;
  delete g_win.laMap;
  g_win.laMap = nullptr;
  delete g_win.frame;
  g_win.frame = nullptr;
}

void TApp::InitMainWindow() {
  g_win.princ = new TPrinc(instance_, kPanelTemplateName);
  g_win.laMap = new TLaMap(instance_, IDC_MAP);
  g_win.frame = new TFrame(name_.c_str(), g_win.princ);
}

bool TApp::CreateMainWindow() {
  return g_win.frame->Create(instance_, kFrameMenuName);
}

int TApp::Run() {
  if (!CreateMainWindow()) return 1;
  ShowWindow(g_win.frameWindow.load(), showMode_);
  UpdateWindow(g_win.frameWindow.load());
  return MessageLoop();
}

int TApp::MessageLoop() {
  MSG msg = {};
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    HWND panel = PanelWindow();
    if (panel != nullptr && IsDialogMessageA(panel, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace mixorama
