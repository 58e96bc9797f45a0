// A generic Win32 driver that plays the user of another program in the same Wine prefix: one
// command a line on stdin, fields split by tabs, answered by tab-separated lines, then "ok" or
// "err <reason>". Numbers in C notation; texts are ANSI with \xHH for control characters and \.
// Commands: windows; children HWND; rect HWND (window rectangle, client origin); post HWND MSG
// WP LP; settext HWND TEXT; move X Y; mouse FLAGS; key VK down|up; grab X Y W H (RRGGBB rows).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Prints hwnd, [parent, id,] class and the text the window manager keeps: no message to a
// window that may be busy.
BOOL CALLBACK List(HWND h, LPARAM children) {
  if (!children && !IsWindowVisible(h)) return TRUE;
  char cls[256] = {0};
  char text[2048] = {0};
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, text, sizeof text);
  std::printf("%#x\t", reinterpret_cast<UINT_PTR>(h));
  if (children) std::printf("%#x\t%d\t", reinterpret_cast<UINT_PTR>(GetParent(h)), GetDlgCtrlID(h));
  std::printf("%s\t", cls);
  for (const unsigned char c : std::string(text)) {
    std::printf(c < 0x20 || c == '\\' ? "\\x%02X" : "%c", c);
  }
  std::printf("\n");
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
  const auto num = [&a](size_t i) { return std::strtol(a[i].c_str(), nullptr, 0); };
  const HWND hwnd = reinterpret_cast<HWND>(n ? num(1) : 0);
  INPUT in = {};
  in.type = c == "key" ? INPUT_KEYBOARD : INPUT_MOUSE;
  if (c == "windows" && n == 0) {
    EnumWindows(List, 0);
  } else if (c == "children" && n == 1) {
    EnumChildWindows(hwnd, List, 1);
  } else if (c == "rect" && n == 1) {
    RECT r;
    POINT o = {0, 0};
    if (!GetWindowRect(hwnd, &r) || !ClientToScreen(hwnd, &o)) return "no window";
    std::printf("%ld\t%ld\t%ld\t%ld\t%ld\t%ld\n", r.left, r.top, r.right, r.bottom, o.x, o.y);
  } else if (c == "post" && n == 4) {
    if (!PostMessageA(hwnd, num(2), num(3), num(4))) return "post failed";
  } else if (c == "settext" && n == 2) {
    const LPARAM text = reinterpret_cast<LPARAM>(a[2].c_str());
    if (!SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, text, SMTO_ABORTIFHUNG, 5000, nullptr)) {
      return "WM_SETTEXT failed";
    }
  } else if (c == "move" && n == 2) {
    SetCursorPos(num(1), num(2));
    // Absolute input is 0..65535 over the screen: rounded up, it maps back to the same pixel.
    const long w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = (num(1) * 65536 + w - 1) / w;
    in.mi.dy = (num(2) * 65536 + h - 1) / h;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  } else if (c == "mouse" && n == 1) {
    in.mi.dwFlags = num(1);
  } else if (c == "key" && n == 2) {
    in.ki.wVk = static_cast<WORD>(num(1));
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(in.ki.wVk, 0));
    in.ki.dwFlags = a[2] == "up" ? KEYEVENTF_KEYUP : 0;
  } else if (c == "grab" && n == 4) {
    if (!Grab(num(1), num(2), num(3), num(4))) return "grab failed";
  } else {
    return "unknown command or wrong arguments: " + c;
  }
  const bool input = c == "move" || c == "mouse" || c == "key";
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
