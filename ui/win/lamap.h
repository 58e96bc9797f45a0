// TLaMap: the mixing map. It takes over the panel's owner-drawn button (control 200) and
// handles four messages itself: mouse move, left and right button down, paint; everything
// else, double clicks included, goes to the button's own window procedure. The rules
// (closeness, slot choice, colours, targets) are in ui/map_rules.h; this class feeds them the
// cursor and the keypad and draws what they return. GUI thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/map_rules.h"

namespace mixorama {

class TLaMap {
 public:
  // Binds the object to the control controlId of the panel and loads the background,
  // bitmap resource 1000, held until the process ends.
  TLaMap(HINSTANCE instance, int controlId);
  TLaMap(const TLaMap&) = delete;
  TLaMap& operator=(const TLaMap&) = delete;

  // Takes over the control once the panel's window and its controls exist.
  void Attach(HWND panel);

  // The map's window, null before Attach.
  HWND Window() const { return window_; }

  // Fills the slot's square in its colour; changes nothing in the mix.
  void DrawSlotSquare(int slot);
  // The slot's target from the cursor (FollowCursor of the map rules).
  void FollowCursor(int slot);

  // Draws the background and all eight squares.
  void PaintMap();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  void OnMouseMove(int32_t x, int32_t y);
  void OnLeftButtonDown();
  void OnRightButtonDown();
  using ClickRule = ClickResult (*)(Mixer& m, const bool keypadDown[kChannelCount], int32_t x,
                                    int32_t y);
  void Click(ClickRule rule);  // a press: MapLeftClick or MapRightClick
  void OnPaint(UINT message, WPARAM wParam, LPARAM lParam);

  // The cursor in map client coordinates.
  POINT CursorOnMap() const;
  void FillSquares(const SquareFill* fills, int count);

  int controlId_;
  HBITMAP bitmap_;
  HWND window_ = nullptr;
  WNDPROC buttonProc_ = nullptr;
};

}  // namespace mixorama
