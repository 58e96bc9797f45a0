#include "ui/win/win_ui.h"

#include "engine/mixer.h"
#include "resources/resource_ids.h"
#include "ui/win/lamap.h"
#include "ui/win/window_state.h"

namespace mixorama {

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

}  // namespace mixorama
