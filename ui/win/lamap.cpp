#include "ui/win/lamap.h"

#include "engine/mixer.h"
#include "resources/resource_ids.h"

namespace mixorama {

namespace {

// Mouse positions arrive as signed 16-bit values (negative or beyond the map while the map
// holds the capture).
int32_t MouseX(LPARAM lParam) {
  return static_cast<int16_t>(LOWORD(lParam));
}
int32_t MouseY(LPARAM lParam) {
  return static_cast<int16_t>(HIWORD(lParam));
}

// Keypad key k + 1: down now, or pressed since the previous query (which this query clears).
bool KeypadKeyDown(int k) {
  return GetAsyncKeyState(VK_NUMPAD1 + k) != 0;
}

// One brush per square, deleted right after the fill.
void FillSquare(HDC dc, const SquareFill& fill) {
  const SquareRect s = SlotSquare(fill.slot);
  const RECT rect = {s.left, s.top, s.right, s.bottom};
  HBRUSH brush = CreateSolidBrush(fill.color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

}  // namespace

TLaMap::TLaMap(HINSTANCE instance, int controlId)
    : controlId_(controlId), bitmap_(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_MAP))) {}

void TLaMap::Attach(HWND panel) {
  window_ = GetDlgItem(panel, controlId_);
  if (window_ == nullptr) return;
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  buttonProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TLaMap::WindowProc)));
}

LRESULT CALLBACK TLaMap::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TLaMap*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_MOUSEMOVE:
      self->OnMouseMove(MouseX(lParam), MouseY(lParam));
      return 0;
    case WM_LBUTTONDOWN:
      self->OnLeftButtonDown();
      return 0;
    case WM_RBUTTONDOWN:
      self->OnRightButtonDown();
      return 0;
    case WM_PAINT:
      self->OnPaint(message, wParam, lParam);
      return 0;
    case WM_NCDESTROY:
      // The window is gone: the panel's teardown empties the slots after this, and drawing
      // their squares then has nothing to draw on.
      self->window_ = nullptr;
      return CallWindowProcA(self->buttonProc_, window, message, wParam, lParam);
    default:
      return CallWindowProcA(self->buttonProc_, window, message, wParam, lParam);
  }
}

POINT TLaMap::CursorOnMap() const {
  if (controllerPoint_) return controllerAt_;
  POINT p = {0, 0};
  GetCursorPos(&p);
  ScreenToClient(window_, &p);
  return p;
}

void TLaMap::FillSquares(const SquareFill* fills, int count) {
  if (count == 0) return;
  HDC dc = GetDC(window_);
  for (int i = 0; i < count; ++i) FillSquare(dc, fills[i]);
  ReleaseDC(window_, dc);
}

void TLaMap::FollowCursor(int slot) {
  if (window_ == nullptr) return;
  const POINT p = CursorOnMap();
  ::mixorama::FollowCursor(g_mixer, slot, p.x, p.y);
}

void TLaMap::DrawSlotSquare(int slot) {
  if (window_ == nullptr) return;
  const POINT p = CursorOnMap();
  const SquareFill fill = DrawSlotSquareRule(g_mixer, slot, p.x, p.y);
  FillSquares(&fill, 1);
}

void TLaMap::PaintMap() {
  HDC dc = GetDC(window_);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, bitmap_);
  BitBlt(dc, 0, 0, kMapSize, kMapSize, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
  for (int slot = 0; slot < kChannelCount; ++slot) {
    FillSquare(dc, SquareFill{slot, PaintColor(g_mixer, slot)});
  }
  ReleaseDC(window_, dc);
}

void TLaMap::OnMouseMove(int32_t x, int32_t y) {
  // The system also sends a move when nothing moved (a window changing under the pointer):
  // that one must not take the map's cursor back from a controller.
  if (controllerPoint_ && x == lastMouse_.x && y == lastMouse_.y) return;
  controllerPoint_ = false;
  lastMouse_ = POINT{x, y};
  Move(x, y, true);
}

void TLaMap::ControllerMove(int32_t x, int32_t y) {
  controllerPoint_ = true;
  controllerAt_ = POINT{x, y};
  Move(x, y, false);
}

void TLaMap::Move(int32_t x, int32_t y, bool mouse) {
  const MoveResult r = MapMouseMove(g_mixer, x, y);
  if (!mouse) {
    controllerEntered_ = controllerEntered_ || r.takeCapture;
  } else if (r.takeCapture || controllerEntered_) {
    controllerEntered_ = false;
    SetCapture(window_);
    SetFocus(window_);
  }
  if (r.releaseCapture) ReleaseCapture();
  if (r.repaintAll) PaintMap();
  FillSquares(r.fills, r.fillCount);
}

// The presses are not passed on: the control never shows a pressed state and sends no click
// notification.
void TLaMap::OnLeftButtonDown() {
  Click(&MapLeftClick);
}

void TLaMap::OnRightButtonDown() {
  Click(&MapRightClick);
}

// The keypad and the cursor are read once per press; the rules do the rest.
void TLaMap::Click(ClickRule rule) {
  bool keypadDown[kChannelCount];
  ReadKeypad(&KeypadKeyDown, keypadDown);
  const POINT p = CursorOnMap();
  const ClickResult r = rule(g_mixer, keypadDown, p.x, p.y);
  if (r.slot >= 0) FillSquares(&r.fill, 1);
}

// The button's own painting runs first: it validates the update region.
void TLaMap::OnPaint(UINT message, WPARAM wParam, LPARAM lParam) {
  CallWindowProcA(buttonProc_, window_, message, wParam, lParam);
  PaintMap();
}

}  // namespace mixorama
