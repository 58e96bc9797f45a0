#include "ui/win/win_ui.h"

#include <mutex>

#include "engine/mixer.h"
#include "resources/resource_ids.h"
#include "ui/win/lamap.h"
#include "ui/win/panel_quit_help_rate.h"
#include "ui/win/window_state.h"

namespace mixorama {

void TFrameMenu::CheckItem(UINT commandId, bool checked) {
  CheckMenuItem(menu_, commandId, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void CreateFrameMenu(HWND frame) {
  HMENU menu = GetMenu(frame);
  std::lock_guard<std::mutex> hold(g_win.frameMenuLock);
  if (g_win.frameMenu == nullptr && !g_win.frameMenuClosed) g_win.frameMenu = new TFrameMenu(menu);
}

void DeleteFrameMenu() {
  TFrameMenu* old = nullptr;
  {
    std::lock_guard<std::mutex> hold(g_win.frameMenuLock);
    old = g_win.frameMenu;
    g_win.frameMenu = nullptr;
    g_win.frameMenuClosed = true;
  }
  delete old;
}

bool WithFrameMenu(void (*fn)(TFrameMenu& menu)) {
  std::lock_guard<std::mutex> hold(g_win.frameMenuLock);
  if (g_win.frameMenu == nullptr) return false;
  fn(*g_win.frameMenu);
  return true;
}

// Any thread: the owner is the panel's handle, never the panel object, which the GUI thread
// deletes at exit while a box may still be on its way from the timer thread.
void WinUi::InfoBox(const char* text) {
  g_win.messageBox(PanelWindow(), text, kProgramTitle, MB_OK | MB_ICONINFORMATION, 0);
}

void WinUi::SetSlotLabel(int slot, const char* text) {
  HWND panel = PanelWindow();
  if (panel != nullptr) SetDlgItemTextA(panel, IDC_SLOT_LABEL_FIRST + slot, text);
}

void WinUi::DrawSlotSquare(int slot) {
  if (g_win.laMap != nullptr) g_win.laMap->DrawSlotSquare(slot);
}

void WinUi::FollowCursor(int slot) {
  if (g_win.laMap != nullptr) g_win.laMap->FollowCursor(slot);
}

void WinUi::DeferredMenuStep() {
  CreateFrameMenu(g_win.frameWindow.load());
  UpdateRateChecks();
}

}  // namespace mixorama
