// A generic Win32 driver that plays the user of another program in the same Wine prefix. It
// reads one command per line on stdin (fields separated by tabs) and answers with zero or more
// lines of tab-separated fields, then "ok" or "err <reason>". Window handles are printed and
// taken as hex. Texts are ANSI bytes printed with \xHH for anything outside printable ASCII
// (and \\ for a backslash), so callers compare exact bytes.
//
//   windows                  hwnd, class, title of every visible top-level window
//   children HWND            hwnd, parent, control id, class, text of every descendant
//   rect HWND                window rectangle; client origin on screen; client width, height
//   post HWND MSG WP LP      PostMessageA (numbers in C notation): never blocks on the target
//   settext HWND TEXT        WM_SETTEXT (bounded wait): a file dialog's name field
//   move X Y                 the cursor to screen pixel (X, Y) with SendInput
//   button l|r down|up       a mouse button where the cursor is
//   key VK down|up           a virtual key, with its scan code
//   grab X Y W H             the screen's pixels, one line per row of RRGGBB
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Escaped(const char* s) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
    char buf[8];
    if (*p == '\\') {
      out += "\\\\";
    } else if (*p >= 0x20 && *p < 0x7F) {
      out += static_cast<char>(*p);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02X", *p);
      out += buf;
    }
  }
  return out;
}

std::string Unescaped(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
      out += static_cast<char>(std::strtoul(s.substr(i + 2, 2).c_str(), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string Describe(HWND h) {
  char cls[256] = {0};
  char text[2048] = {0};
  GetClassNameA(h, cls, sizeof cls);
  // Another process's window: the text kept by the window manager, read without a message to
  // the window (which may be busy or on its way out).
  GetWindowTextA(h, text, sizeof text);
  std::ostringstream out;
  out << cls << '\t' << Escaped(text);
  return out.str();
}

std::string Hex(HWND h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%lx", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(h)));
  return buf;
}

HWND Handle(const std::string& s) {
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(s.c_str(), nullptr, 16)));
}

BOOL CALLBACK ListTop(HWND h, LPARAM) {
  if (IsWindowVisible(h)) std::cout << Hex(h) << '\t' << Describe(h) << '\n';
  return TRUE;
}

BOOL CALLBACK ListChild(HWND h, LPARAM) {
  std::cout << Hex(h) << '\t' << Hex(GetParent(h)) << '\t' << GetDlgCtrlID(h) << '\t'
            << Describe(h) << '\n';
  return TRUE;
}

bool Send(INPUT in) {
  return SendInput(1, &in, sizeof in) == 1;
}

bool MouseTo(long x, long y) {
  SetCursorPos(x, y);
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  // Normalised to 0..65535 over the screen, rounded up so that the way back (value * size /
  // 65536, truncated) lands on the same pixel.
  const long w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  in.mi.dx = (x * 65536 + w - 1) / w;
  in.mi.dy = (y * 65536 + h - 1) / h;
  return Send(in);
}

// Copies the screen's rectangle through a bitmap in one blit: GetPixel on the screen costs a
// round trip to the X server per pixel.
bool Grab(int x, int y, int w, int h) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bmp != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(mem, bmp);
    ok = BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY) != 0;
    GdiFlush();
    const unsigned char* p = static_cast<const unsigned char*>(bits);  // B, G, R, unused
    for (int row = 0; ok && row < h; ++row) {
      std::string line;
      char buf[8];
      for (int col = 0; col < w; ++col, p += 4) {
        std::snprintf(buf, sizeof buf, "%02X%02X%02X", p[2], p[1], p[0]);
        line += buf;
      }
      std::cout << line << '\n';
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

long Num(const std::string& s) {
  return std::strtol(s.c_str(), nullptr, 0);
}

// Runs one command; returns an empty string on success, else the reason.
std::string Run(const std::vector<std::string>& a) {
  const std::string& c = a[0];
  const size_t n = a.size() - 1;
  if (c == "windows") {
    EnumWindows(ListTop, 0);
  } else if (c == "children" && n == 1) {
    EnumChildWindows(Handle(a[1]), ListChild, 0);
  } else if (c == "rect" && n == 1) {
    RECT r, cr;
    POINT origin = {0, 0};
    if (!GetWindowRect(Handle(a[1]), &r) || !GetClientRect(Handle(a[1]), &cr)) return "no window";
    ClientToScreen(Handle(a[1]), &origin);
    std::cout << r.left << '\t' << r.top << '\t' << r.right << '\t' << r.bottom << '\t' << origin.x
              << '\t' << origin.y << '\t' << cr.right << '\t' << cr.bottom << '\n';
  } else if (c == "post" && n == 4) {
    if (!PostMessageA(Handle(a[1]), static_cast<UINT>(Num(a[2])), static_cast<WPARAM>(Num(a[3])),
                      static_cast<LPARAM>(Num(a[4])))) {
      return "PostMessage failed";
    }
  } else if (c == "settext" && n == 2) {
    const std::string text = Unescaped(a[2]);
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(Handle(a[1]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, 5000, &got)) {
      return "WM_SETTEXT failed";
    }
  } else if (c == "move" && n == 2) {
    if (!MouseTo(Num(a[1]), Num(a[2]))) return "SendInput failed";
  } else if (c == "button" && n == 2) {
    const bool left = a[1] == "l", down = a[2] == "down";
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = left ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                         : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
    if (!Send(in)) return "SendInput failed";
  } else if (c == "key" && n == 2) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(Num(a[1]));
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(in.ki.wVk, 0));
    in.ki.dwFlags = a[2] == "up" ? KEYEVENTF_KEYUP : 0;
    if (!Send(in)) return "SendInput failed";
  } else if (c == "grab" && n == 4) {
    if (!Grab(Num(a[1]), Num(a[2]), Num(a[3]), Num(a[4]))) return "grab failed";
  } else {
    return "unknown command or wrong arguments: " + c;
  }
  return "";
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> args;
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, '\t');) args.push_back(f);
    if (args.empty()) continue;
    const std::string err = Run(args);
    std::cout << (err.empty() ? "ok" : "err " + err) << std::endl;
  }
  return 0;
}
