#include "ui/win/princ.h"

#include <mutex>

#include "engine/mixer.h"
#include "engine/playback.h"
#include "engine/slot.h"
#include "resources/resource_ids.h"
#include "ui/map_rules.h"
#include "ui/win/app.h"
#include "ui/win/controllers.h"
#include "ui/win/frame_menu.h"
#include "ui/win/lamap.h"
#include "ui/win/panel_buttons.h"
#include "ui/win/panel_quit_help_rate.h"
#include "ui/win/panel_setup_files.h"
#include "ui/win/win_ui.h"
#include "ui/win/window_state.h"

namespace mixorama {

namespace {

// The deferred menu step's timer: 100 ms after set-up, 10 ms resolution, once.
constexpr uint32_t kMenuStepDelayMs = 100;
constexpr uint32_t kMenuStepResolutionMs = 10;

// The map is drawn 350 x 350 pixels from the top-left corner of control 200. The template
// gives the control 200 x 216 dialog units, which with small dialog fonts is fewer pixels
// (under Wine 300 x 324). On any system, when either side of the control is under 350 pixels,
// the position and size of every control and the size of the panel are multiplied by one
// factor on both axes, 350 / the shorter side: that side becomes exactly 350, the other at
// least 350 (under Wine the control becomes 350 x 378), and the panel keeps the template's
// proportions. Nothing moves when both sides are 350 or more; the font is left as it is.
void StretchLayoutForMap(HWND panel) {
  HWND map = GetDlgItem(panel, IDC_MAP);
  if (map == nullptr) return;
  RECT mapRect;
  GetWindowRect(map, &mapRect);
  const int mapWidth = mapRect.right - mapRect.left;
  const int mapHeight = mapRect.bottom - mapRect.top;
  const int shorter = mapWidth < mapHeight ? mapWidth : mapHeight;
  if (shorter <= 0 || shorter >= kMapSize) return;

  for (HWND c = GetWindow(panel, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(HWND_DESKTOP, panel, reinterpret_cast<POINT*>(&r), 2);
    const int left = MulDiv(r.left, kMapSize, shorter);
    const int top = MulDiv(r.top, kMapSize, shorter);
    // The map's own size is scaled whole, so rounding cannot leave its shorter side at 349.
    const int width =
        c == map ? MulDiv(mapWidth, kMapSize, shorter) : MulDiv(r.right, kMapSize, shorter) - left;
    const int height =
        c == map ? MulDiv(mapHeight, kMapSize, shorter) : MulDiv(r.bottom, kMapSize, shorter) - top;
    MoveWindow(c, left, top, width, height, FALSE);
  }
  RECT client;
  RECT outer;
  GetClientRect(panel, &client);
  GetWindowRect(panel, &outer);
  const int growX = MulDiv(client.right, kMapSize, shorter) - client.right;
  const int growY = MulDiv(client.bottom, kMapSize, shorter) - client.bottom;
  SetWindowPos(panel, nullptr, 0, 0, outer.right - outer.left + growX,
               outer.bottom - outer.top + growY, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

TPrinc::TPrinc(HINSTANCE instance, const char* templateName)
    : instance_(instance), templateName_(templateName) {}

TPrinc::~TPrinc() {
  Mixer& m = g_mixer;
  // No controller acts from here on.
  delete g_win.controllers;
  g_win.controllers = nullptr;
  // The deferred menu step must not run once the frame is gone.
  if (g_win.menuStepTimer != nullptr) g_win.menuStepTimer->CancelMenuStep();
  // Playback and its timer stop before any sample memory is released, so no tick can read
  // freed memory.
  StopPlayback(m);
  ReleaseOutputRing(m);
  // The windows are gone: emptying a slot has no label or square left to clear.
  for (int slot = 0; slot < kChannelCount; ++slot) EmptySlot(m, slot);
  DeleteFrameMenu();
}

HWND TPrinc::Create(HWND parent) {
  return CreateDialogParamA(instance_, templateName_, parent, &TPrinc::DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

bool TPrinc::CanClose() {
  return ConfirmQuit();
}

INT_PTR CALLBACK TPrinc::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<TPrinc*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->SetupWindow(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<TPrinc*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      HWND control = reinterpret_cast<HWND>(lParam);
      self->DefaultCommand(id);
      // The command may have destroyed the panel (OK, Cancel, Quit).
      if (PanelWindow() != nullptr) self->OnCommand(id, code, control);
      return TRUE;
    }
    case WM_DESTROY:
      self->OnDestroy();
      return TRUE;
    default:
      return FALSE;
  }
}

void TPrinc::SetupWindow(HWND window) {
  Mixer& m = g_mixer;
  // From here on message boxes (the engine init's among them) are owned by the panel.
  g_win.panelWindow = window;
  // The standard dialog set-up is done: the template's controls exist. The map takes over
  // control 200 from here on.
  StretchLayoutForMap(window);
  if (g_win.laMap != nullptr) g_win.laMap->Attach(window);

  EngineInit(m);
  {
    std::lock_guard<std::mutex> hold(m.lock);
    for (int c = 0; c < kChannelCount; ++c) {
      m.volume[c] = 1;
      m.targetVolume[c] = 1;
    }
  }
  // The position record asks for bytes: the device keeps it so (WinmmDevice).
  SetWindowTextA(g_win.frameWindow.load(), kDemoTitle);

  // The start-up set, from the current directory. The start-up labels show the whole stored
  // name (already in capitals), unlike the labels of waves loaded later.
  for (int slot = 0; slot < kChannelCount; ++slot) {
    LoadWaveIntoSlot(m, m.slotName[slot], slot);
    SetDlgItemTextA(window, IDC_SLOT_LABEL_FIRST + slot, m.slotName[slot]);
  }

  // The controllers: their map file, then every MIDI input device.
  g_win.controllers = new TControllers(instance_);

  if (g_win.menuStepTimer != nullptr) {
    g_win.menuStepTimer->ScheduleMenuStep(kMenuStepDelayMs, kMenuStepResolutionMs);
  }
}

void TPrinc::DefaultCommand(int id) {
  HWND window = PanelWindow();
  switch (id) {
    case IDOK:
      if (ConfirmQuit()) DestroyWindow(window);
      break;
    case IDCANCEL:
      DestroyWindow(window);
      break;
    case IDM_LOAD_SETUP:
      LoadSetupCommand();
      break;
    case IDM_SAVE_SETUP:
      SaveSetupCommand();
      break;
    case IDM_QUIT:
      QuitCommand();
      break;
    case IDM_HELP:
      HelpCommand();
      break;
    case IDM_RATE_11025:
    case IDM_RATE_22050:
    case IDM_RATE_44100:
      ChangeOutputRate(kOutputRates[id - IDM_RATE_11025]);
      break;
    default:
      break;
  }
}

void TPrinc::OnCommand(int id, int notifyCode, HWND control) {
  if (control == nullptr || notifyCode != BN_CLICKED) return;
  if (id >= IDC_LOAD_WAVE_FIRST && id <= IDC_LOAD_WAVE_LAST) {
    LoadWaveCommand(id - IDC_LOAD_WAVE_FIRST);
  } else if (id >= IDC_NO_WAVE_FIRST && id <= IDC_NO_WAVE_LAST) {
    NoWaveCommand(id - IDC_NO_WAVE_FIRST);
  } else if (id == IDC_PLAY) {
    PlayButton();
  } else if (id == IDC_SYNC) {
    SyncButton();
  }
}

// The frame closes itself when its client window goes; the panel is no longer asked then.
void TPrinc::OnDestroy() {
  g_win.panelWindow = nullptr;
  HWND frame = g_win.frameWindow.load();
  if (frame != nullptr) PostMessageA(frame, WM_CLOSE, 0, 0);
}

}  // namespace mixorama
