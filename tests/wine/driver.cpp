// A generic Win32 driver that plays the user of another program in the same Wine prefix: one
// command a line on stdin, fields split by tabs, answered by tab-separated lines, then "ok" or
// "err <reason>". Handles are hex; texts are ANSI with \xHH for control characters and \.
//   windows                  hwnd, class, title of every visible top-level window
//   children HWND            hwnd, parent, control id, class, text of every descendant
//   rect HWND                window rectangle, then the client area's origin on the screen
//   post HWND MSG WP LP      PostMessageA (C numbers); settext HWND TEXT: WM_SETTEXT, 5 s at most
//   move X Y, button l|r down|up, key VK down|up: SendInput; grab X Y W H: RRGGBB per row
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

HWND Handle(const std::string& s) {
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(s.c_str(), nullptr, 16)));
}
long Num(const std::string& s) {
  return std::strtol(s.c_str(), nullptr, 0);
}

// hwnd, more, class and the text the window manager keeps: no message to a busy window.
void Describe(HWND h, const std::string& more) {
  char cls[256] = {0};
  char text[2048] = {0};
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, text, sizeof text);
  std::printf("%p\t%s%s\t", static_cast<void*>(h), more.c_str(), cls);
  for (const unsigned char c : std::string(text)) {
    std::printf(c < 0x20 || c == '\\' ? "\\x%02X" : "%c", c);
  }
  std::printf("\n");
}

BOOL CALLBACK ListTop(HWND h, LPARAM) {
  if (IsWindowVisible(h)) Describe(h, "");
  return TRUE;
}
BOOL CALLBACK ListChild(HWND h, LPARAM) {
  char more[32];
  std::snprintf(more, sizeof more, "%p\t%d\t", static_cast<void*>(GetParent(h)), GetDlgCtrlID(h));
  Describe(h, more);
  return TRUE;
}

// One blit into a bitmap: GetPixel on the screen costs a round trip to the X server each.
bool Grab(int x, int y, int w, int h) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // rows top-down
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = bmp ? SelectObject(mem, bmp) : nullptr;
  const bool ok = bmp && BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY);
  GdiFlush();
  const unsigned char* p = static_cast<const unsigned char*>(bits);  // B, G, R, unused
  for (int i = 0; ok && i < w * h; ++i, p += 4) {
    std::printf("%02X%02X%02X%s", p[2], p[1], p[0], (i + 1) % w ? "" : "\n");
  }
  if (bmp) DeleteObject(SelectObject(mem, old));
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

// Runs one command; returns an empty string on success, else the reason.
std::string Run(const std::vector<std::string>& a) {
  const std::string& c = a[0];
  const size_t n = a.size() - 1;
  INPUT in = {};
  in.type = c == "key" ? INPUT_KEYBOARD : INPUT_MOUSE;
  if (c == "windows" && n == 0) {
    EnumWindows(ListTop, 0);
  } else if (c == "children" && n == 1) {
    EnumChildWindows(Handle(a[1]), ListChild, 0);
  } else if (c == "rect" && n == 1) {
    RECT r;
    POINT o = {0, 0};
    if (!GetWindowRect(Handle(a[1]), &r) || !ClientToScreen(Handle(a[1]), &o)) return "no window";
    std::printf("%ld\t%ld\t%ld\t%ld\t%ld\t%ld\n", r.left, r.top, r.right, r.bottom, o.x, o.y);
  } else if (c == "post" && n == 4) {
    if (!PostMessageA(Handle(a[1]), Num(a[2]), Num(a[3]), Num(a[4]))) return "post failed";
  } else if (c == "settext" && n == 2) {
    DWORD_PTR result = 0;
    const LPARAM text = reinterpret_cast<LPARAM>(a[2].c_str());
    if (!SendMessageTimeoutA(Handle(a[1]), WM_SETTEXT, 0, text, SMTO_ABORTIFHUNG, 5000, &result)) {
      return "WM_SETTEXT failed";
    }
  } else if (c == "move" && n == 2) {
    SetCursorPos(Num(a[1]), Num(a[2]));
    // Absolute input is 0..65535 over the screen: rounded up, it maps back to the same pixel.
    const long w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = (Num(a[1]) * 65536 + w - 1) / w;
    in.mi.dy = (Num(a[2]) * 65536 + h - 1) / h;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  } else if (c == "button" && n == 2) {
    const bool down = a[2] == "down";
    in.mi.dwFlags = a[1] == "l" ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                                : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
  } else if (c == "key" && n == 2) {
    in.ki.wVk = static_cast<WORD>(Num(a[1]));
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(in.ki.wVk, 0));
    in.ki.dwFlags = a[2] == "up" ? KEYEVENTF_KEYUP : 0;
  } else if (c == "grab" && n == 4) {
    if (!Grab(Num(a[1]), Num(a[2]), Num(a[3]), Num(a[4]))) return "grab failed";
  } else {
    return "unknown command or wrong arguments: " + c;
  }
  const bool input = c == "move" || c == "button" || c == "key";
  return input && SendInput(1, &in, sizeof in) != 1 ? "SendInput failed" : "";
}

}  // namespace

int main() {
  for (std::string line; std::getline(std::cin, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
    const std::string err = fields.empty() ? "empty command" : Run(fields);
    std::printf("%s\n", err.empty() ? "ok" : ("err " + err).c_str());
    std::fflush(stdout);
  }
}
