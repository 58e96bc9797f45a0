// The user-interface seam of the Windows program (the engine's information box, slot labels
// and slot squares) and the frame menu object that carries the Frequency check marks.
#pragma once

#include <windows.h>

#include "engine/platform.h"

namespace mixorama {

// Wraps the main frame's menu handle; does not own it (the frame destroys its menu).
class TFrameMenu {
 public:
  explicit TFrameMenu(HMENU menu) : menu_(menu) {}
  void CheckItem(UINT commandId, bool checked);

 private:
  HMENU menu_;
};

// The frame menu lives in WinState (frameMenu, under frameMenuLock).

// Creates the frame menu around GetMenu(frame) (the deferred menu step), unless it exists or
// the teardown has deleted it: the start-up timer may fire while the program ends. Any thread.
void CreateFrameMenu(HWND frame);

// Deletes the frame menu, if it exists, for good (teardown). GUI thread.
void DeleteFrameMenu();

// Runs fn(menu) with the frame menu while holding it against deletion; returns false, without
// calling fn, when the frame menu does not exist. Any thread.
bool WithFrameMenu(void (*fn)(TFrameMenu& menu));

// The seam the engine calls: message boxes owned by the panel, labels of the panel, squares
// of the map, and the deferred menu step.
class WinUi : public UiSeam {
 public:
  void InfoBox(const char* text) override;
  void SetSlotLabel(int slot, const char* text) override;
  void DrawSlotSquare(int slot) override;
  void FollowCursor(int slot) override;
  void DeferredMenuStep() override;
};

}  // namespace mixorama
