#include "ui/win/win_ui.h"

#include <mutex>

#include "engine/mixer.h"
#include "resources/resource_ids.h"
#include "ui/win/app.h"
#include "ui/win/lamap.h"
#include "ui/win/panel_commands_win.h"
#include "ui/win/princ.h"

namespace mixorama {

namespace {

// The frame menu is created on the timer thread (deferred menu step), used on both threads
// and deleted at teardown on the GUI thread; this lock keeps a check-mark update from
// running into its deletion. Only CheckMenuItem runs under it.
std::mutex g_frameMenuLock;
TFrameMenu* g_frameMenu = nullptr;

// The panel's window while it exists; null before its set-up and after its destruction.
HWND PanelOwner() {
  return g_princ != nullptr ? g_princ->Window() : nullptr;
}

}  // namespace

void TFrameMenu::CheckItem(UINT commandId, bool checked) {
  CheckMenuItem(menu_, commandId, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void CreateFrameMenu(HWND frame) {
  HMENU menu = GetMenu(frame);
  std::lock_guard<std::mutex> hold(g_frameMenuLock);
  if (g_frameMenu == nullptr) g_frameMenu = new TFrameMenu(menu);
}

void DeleteFrameMenu() {
  TFrameMenu* old = nullptr;
  {
    std::lock_guard<std::mutex> hold(g_frameMenuLock);
    old = g_frameMenu;
    g_frameMenu = nullptr;
  }
  delete old;
}

bool WithFrameMenu(void (*fn)(TFrameMenu& menu)) {
  std::lock_guard<std::mutex> hold(g_frameMenuLock);
  if (g_frameMenu == nullptr) return false;
  fn(*g_frameMenu);
  return true;
}

void WinUi::InfoBox(const char* text) {
  MessageBoxExA(PanelOwner(), text, kProgramTitle, MB_OK | MB_ICONINFORMATION, 0);
}

void WinUi::SetSlotLabel(int slot, const char* text) {
  HWND panel = PanelOwner();
  if (panel != nullptr) SetDlgItemTextA(panel, IDC_SLOT_LABEL_FIRST + slot, text);
}

void WinUi::DrawSlotSquare(int slot) {
  if (g_laMap != nullptr) g_laMap->DrawSlotSquare(slot);
}

void WinUi::FollowCursor(int slot) {
  if (g_laMap != nullptr) g_laMap->FollowCursor(slot);
}

void WinUi::DeferredMenuStep() {
  CreateFrameMenu(g_frameWindow);
  UpdateRateChecks();
}

}  // namespace mixorama
