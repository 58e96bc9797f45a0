// TLaMap: the mixing map. It takes over the panel's owner-drawn button (control 200) and
// handles four messages itself: mouse move, left and right button down, paint; everything
// else, double clicks included, goes to the button's own window procedure. The rules
// (closeness, slot choice, colours, targets) are in ui/map_rules.h; this class feeds them the
// cursor and the keypad and draws what they return. GUI thread only.
//
// The map's cursor is the system pointer, or the point of a controller's map move
// (ControllerMove) from that move until the mouse moves: a controller moves the map's cursor
// without moving the system pointer, and takes neither the mouse capture nor the focus. The
// mouse takes them back at its next move over the map.
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
  // Fills one square as a rule gave it.
  void DrawFill(const SquareFill& fill) { FillSquares(&fill, 1); }
  // The slot's target from the cursor (FollowCursor of the map rules).
  void FollowCursor(int slot);

  // Draws the background and all eight squares.
  void PaintMap();

  // A map move to (x, y), in the tracked area, from a controller.
  void ControllerMove(int32_t x, int32_t y);
  // The map's cursor in map client coordinates (above).
  POINT CursorOnMap() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  void OnMouseMove(int32_t x, int32_t y);
  // A move's rules and drawing; the mouse's takes the capture and the focus as it enters.
  void Move(int32_t x, int32_t y, bool mouse);
  void OnLeftButtonDown();
  void OnRightButtonDown();
  using ClickRule = ClickResult (*)(Mixer& m, const bool keypadDown[kChannelCount], int32_t x,
                                    int32_t y);
  void Click(ClickRule rule);  // a press: MapLeftClick or MapRightClick
  void OnPaint(UINT message, WPARAM wParam, LPARAM lParam);

  void FillSquares(const SquareFill* fills, int count);

  int controlId_;
  HBITMAP bitmap_;
  HWND window_ = nullptr;
  WNDPROC buttonProc_ = nullptr;
  bool controllerPoint_ = false;  // the map's cursor is controllerAt_, not the pointer
  POINT controllerAt_ = {0, 0};
  bool controllerEntered_ = false;  // a controller set the map-hover flag: no capture is held
  POINT lastMouse_ = {INT32_MIN, INT32_MIN};  // the last mouse move the map handled
};

}  // namespace mixorama
