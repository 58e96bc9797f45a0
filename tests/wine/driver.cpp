// A generic Win32 driver that plays the user of another program in the same Wine prefix. It
// reads one command per line on stdin, fields separated by tabs, and answers with lines of
// tab-separated fields, then "ok" or "err <reason>". Window handles are hex. Texts it prints
// are ANSI bytes with \xHH for control characters and \ itself, so that they stay on one line.
//
//   windows                  hwnd, class, title of every visible top-level window
//   children HWND            hwnd, parent, control id, class, text of every descendant
//   rect HWND                window rectangle, then the client area's origin on the screen
//   post HWND MSG WP LP      PostMessageA (numbers in C notation): never waits for the target
//   settext HWND TEXT        WM_SETTEXT, waiting at most 5 s: a file dialog's name field
//   move X Y                 the cursor to screen pixel (X, Y) through SendInput
//   button l|r down|up       a mouse button where the cursor is
//   key VK down|up           a virtual key, with its scan code
//   grab X Y W H             the screen's pixels, one line of RRGGBB per row
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Another process's window: the text the window manager keeps, read without a message to a
// window that may be busy or on its way out.
std::string Describe(HWND h) {
  char cls[256] = {0};
  char text[2048] = {0};
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, text, sizeof text);
  std::string out = std::string(cls) + '\t';
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += c < 0x20 || c == '\\' ? std::string(hex) : std::string(1, *p);
  }
  return out;
}

std::string Hex(HWND h) {
  return (std::ostringstream() << std::hex << reinterpret_cast<UINT_PTR>(h)).str();
}
HWND Handle(const std::string& s) {
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(s.c_str(), nullptr, 16)));
}
long Num(const std::string& s) {
  return std::strtol(s.c_str(), nullptr, 0);
}

BOOL CALLBACK ListTop(HWND h, LPARAM) {
  if (IsWindowVisible(h)) std::cout << Hex(h) << '\t' << Describe(h) << '\n';
  return TRUE;
}
BOOL CALLBACK ListChild(HWND h, LPARAM) {
  std::cout << Hex(h) << '\t' << Hex(GetParent(h)) << '\t' << GetDlgCtrlID(h) << '\t' << Describe(h)
            << '\n';
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
  for (int row = 0; ok && row < h; ++row) {
    std::string line;
    char rgb[8];
    for (int col = 0; col < w; ++col, p += 4) {
      std::snprintf(rgb, sizeof rgb, "%02X%02X%02X", p[2], p[1], p[0]);
      line += rgb;
    }
    std::cout << line << '\n';
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
    POINT origin = {0, 0};
    if (!GetWindowRect(Handle(a[1]), &r) || !ClientToScreen(Handle(a[1]), &origin)) {
      return "no such window";
    }
    std::cout << r.left << '\t' << r.top << '\t' << r.right << '\t' << r.bottom << '\t' << origin.x
              << '\t' << origin.y << '\n';
  } else if (c == "post" && n == 4) {
    if (!PostMessageA(Handle(a[1]), Num(a[2]), Num(a[3]), Num(a[4]))) return "post failed";
  } else if (c == "settext" && n == 2) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(Handle(a[1]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[2].c_str()),
                             SMTO_ABORTIFHUNG, 5000, &result)) {
      return "WM_SETTEXT failed";
    }
  } else if (c == "move" && n == 2) {
    SetCursorPos(Num(a[1]), Num(a[2]));
    // Absolute input is scaled to 0..65535 over the screen; rounding up brings the way back
    // (value * size / 65536, truncated) to the same pixel.
    const long w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi = {(Num(a[1]) * 65536 + w - 1) / w,
             (Num(a[2]) * 65536 + h - 1) / h,
             0,
             MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE,
             0,
             0};
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
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
    if (fields.empty()) continue;
    const std::string err = Run(fields);
    std::cout << (err.empty() ? "ok" : "err " + err) << std::endl;
  }
  return 0;
}
