#include "ui/win/frame.h"

#include <algorithm>

#include "resources/resource_ids.h"
#include "ui/win/princ.h"
#include "ui/win/window_state.h"

namespace mixorama {

namespace {

constexpr char kFrameClassName[] = "MixoramaFrame";
// The overlapped-window style with WS_VISIBLE and WS_CLIPCHILDREN, without the maximise box
// and the sizing border: 0x12CA0000.
constexpr DWORD kFrameStyle =
    (WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN) & ~(WS_MAXIMIZEBOX | WS_THICKFRAME);
static_assert(kFrameStyle == 0x12CA0000, "frame style");
constexpr int kFrameWidth = 640;  // outer size until the first fit to the panel
constexpr int kFrameHeight = 480;

// The rectangle r cut to the size of area where it is larger, then moved inside area.
RECT KeepInside(RECT r, const RECT& area) {
  const LONG width = std::min(r.right - r.left, area.right - area.left);
  const LONG height = std::min(r.bottom - r.top, area.bottom - area.top);
  const LONG left = std::clamp(r.left, area.left, area.right - width);
  const LONG top = std::clamp(r.top, area.top, area.bottom - height);
  return RECT{left, top, left + width, top + height};
}

}  // namespace

bool TFrame::Create(HINSTANCE instance, const char* menuName) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &TFrame::WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClassName;
  if (RegisterClassA(&wc) == 0) return false;
  HMENU menu = LoadMenuA(instance, menuName);
  // A WM_CREATE that fails (no panel) makes the system destroy the window before
  // CreateWindowExA returns: its result, not the handle seen in WM_NCCREATE, tells.
  created_ = CreateWindowExA(0, kFrameClassName, title_, kFrameStyle, 0, 0, kFrameWidth,
                             kFrameHeight, nullptr, menu, instance, this) != nullptr;
  return created_;
}

LRESULT CALLBACK TFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<TFrame*>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
    g_win.frameWindow = window;
  }
  auto* self = reinterpret_cast<TFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      return self->OnCreate();
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) self->FitToClient();
      return 0;
    case WM_SETFOCUS:
      // The keyboard goes to the panel, which hands it to its focused control.
      if (PanelWindow() != nullptr) SetFocus(PanelWindow());
      return 0;
    case WM_COMMAND:
      // Menu commands reach the panel wherever the focus is inside the frame.
      if (lParam == 0 && PanelWindow() != nullptr) {
        SendMessageA(PanelWindow(), WM_COMMAND, wParam, lParam);
      }
      return 0;
    case WM_CLOSE:
      self->OnClose();
      return 0;
    case WM_DESTROY:
      // A frame that was never created leaves no quit message behind for the caller.
      if (self->created_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      self->window_ = nullptr;
      g_win.frameWindow = nullptr;
      return DefWindowProcA(window, message, wParam, lParam);
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT TFrame::OnCreate() {
  if (client_->Create(window_) == nullptr) return -1;
  FitToClient();
  return 0;
}

// Makes the client area exactly the panel's outer size, keeping the top-left corner, then
// keeps the whole frame on the work area (the screen less the task bar): a frame wider or
// taller than the work area is cut to it, and one reaching past an edge is moved back inside.
// At 640 x 480 the stretched panel does not fit: the frame then covers the work area and the
// panel's right and bottom parts are cut off.
void TFrame::FitToClient() {
  HWND panel = PanelWindow();
  if (panel == nullptr || fitting_) return;
  RECT panelRect;
  RECT client;
  RECT outer;
  GetWindowRect(panel, &panelRect);
  GetClientRect(window_, &client);
  GetWindowRect(window_, &outer);
  const int width = (outer.right - outer.left) + (panelRect.right - panelRect.left) - client.right;
  const int height =
      (outer.bottom - outer.top) + (panelRect.bottom - panelRect.top) - client.bottom;
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const RECT fitted =
      KeepInside(RECT{outer.left, outer.top, outer.left + width, outer.top + height}, work);
  if (EqualRect(&fitted, &outer)) return;
  fitting_ = true;
  MoveWindow(window_, fitted.left, fitted.top, fitted.right - fitted.left,
             fitted.bottom - fitted.top, TRUE);
  fitting_ = false;
}

// Only windows that still exist are asked: after the panel is gone the frame just closes.
void TFrame::OnClose() {
  if (PanelWindow() != nullptr && !client_->CanClose()) return;
  DestroyWindow(window_);
}

}  // namespace mixorama
