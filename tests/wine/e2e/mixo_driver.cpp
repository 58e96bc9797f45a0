// mixo_driver: drives the running Mixorama program from another process in the same Wine
// prefix, the way a user would (mouse, keyboard, buttons, message boxes), and reads back what
// the user would see (titles, control texts, pixels of the map).
//
// Usage: mixo_driver COMMAND [ARGS] [+ COMMAND [ARGS] ...]
// Several commands may be chained with a lone "+"; they run in order in one process, which
// keeps timing between them tight. The first failing command stops the chain. Exit code 0 when
// every command succeeded, 1 when a check or a wait failed, 2 on a usage error.
//
// Windows found:
//   frame  the visible top-level window holding a panel with controls 189 and 200
//   panel  the parent of control 189; map: the panel's control 200
//   box    a visible top-level dialog (class "#32770") with a static text of id 0xFFFF
//   menu   a visible pop-up menu window (class "#32768")
//
// Commands (times in milliseconds, map coordinates in map client pixels):
//   wait-frame T             wait up to T for the frame; prints nothing
//   wait-title TEXT T        wait up to T until the frame's title equals TEXT
//   title                    prints the frame's title
//   text ID                  prints the text of the panel's control ID
//   texts                    prints "id<TAB>class<TAB>text" for every child of the panel
//   click ID                 posts WM_COMMAND(ID, BN_CLICKED, control) to the panel
//   command ID               posts WM_COMMAND(ID) from a menu to the frame
//   close                    posts WM_CLOSE to the frame (as its close box does)
//   wait-box TEXT T          wait up to T for a message box whose text equals TEXT (or any
//                            box when TEXT is "*"); prints "caption<TAB>text"
//   boxes                    prints "caption<TAB>text" of every message box
//   no-box T                 fails if a message box appears within T
//   answer TEXT BUTTON T     wait for a box as wait-box, then post BUTTON (ok, cancel, yes,
//                            no or a number) to it; prints the epoch time of the answer and
//                            returns once the box has closed (waiting at most T again)
//   wait-gone T              wait up to T until the frame no longer exists
//   geometry                 prints frame, panel and map rectangles in screen pixels and the
//                            map's client size: "frame L T R B", "panel ...", "map ...",
//                            "mapclient W H"
//   move X Y                 moves the cursor over the map with SendInput (absolute)
//   glide X1 Y1 X2 Y2 N MS   N moves from (X1,Y1) to (X2,Y2), MS between moves
//   lclick / rclick          presses and releases the left / right button where the cursor is
//   keydown VK / keyup VK    presses or releases a virtual key (hex with 0x, or decimal)
//   key VK                   presses and releases a virtual key
//   pixel X Y                prints the screen's pixel at the map's (X, Y) as RRGGBB
//   menu-rect                prints "L T R B" of the visible pop-up menu, or fails
//   focus                    prints the control id of the window with the keyboard focus in
//                            the program's GUI thread (0 when it has no id, -1 when none)
//   sleep MS                 waits
//   now                      prints the epoch time in seconds (with fractions)
//   cursor                   prints the cursor position in map client pixels
// Every command that acts on the program (click, command, close, move, lclick, rclick, key,
// keydown, keyup) prints "at <epoch seconds>" taken right after it acted, so that scenarios
// can line events up with a sound recording.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Found {
  HWND frame = nullptr;
  HWND panel = nullptr;
  HWND map = nullptr;
};

std::string ClassOf(HWND h) {
  char name[256] = {0};
  GetClassNameA(h, name, sizeof name);
  return name;
}

std::string TextOf(HWND h) {
  char text[1024] = {0};
  GetWindowTextA(h, text, sizeof text);
  return text;
}

// Texts are ANSI bytes; anything outside printable ASCII is written as \xHH so that scenario
// scripts compare exact bytes (the title's degree sign is 0xB0).
std::string Escaped(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

// The inverse of Escaped for texts given on the command line: \xHH, \n and \\.
std::string Unescaped(const char* s) {
  std::string out;
  for (size_t i = 0; s[i] != '\0'; ++i) {
    if (s[i] == '\\' && s[i + 1] == 'x' && s[i + 2] && s[i + 3]) {
      char hex[3] = {s[i + 2], s[i + 3], 0};
      out += static_cast<char>(std::strtoul(hex, nullptr, 16));
      i += 3;
    } else if (s[i] == '\\' && s[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else if (s[i] == '\\' && s[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

double EpochSeconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  // FILETIME counts 100 ns steps from 1601; the Unix epoch is 11644473600 s later.
  return static_cast<double>(t.QuadPart) / 1e7 - 11644473600.0;
}

void PrintAt() {
  std::printf("at %.3f\n", EpochSeconds());
}

BOOL CALLBACK FindPlayButton(HWND h, LPARAM param) {
  HWND* result = reinterpret_cast<HWND*>(param);
  if (GetDlgCtrlID(h) == 189) {
    HWND parent = GetParent(h);
    if (parent && GetDlgItem(parent, 200)) {
      *result = h;
      return FALSE;
    }
  }
  return TRUE;
}

BOOL CALLBACK FindFrame(HWND top, LPARAM param) {
  Found* found = reinterpret_cast<Found*>(param);
  if (!IsWindowVisible(top)) return TRUE;
  HWND play = nullptr;
  EnumChildWindows(top, FindPlayButton, reinterpret_cast<LPARAM>(&play));
  if (!play) return TRUE;
  found->frame = top;
  found->panel = GetParent(play);
  found->map = GetDlgItem(found->panel, 200);
  return FALSE;
}

Found FindProgram() {
  Found found;
  EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&found));
  return found;
}

struct Box {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
};

BOOL CALLBACK CollectBox(HWND top, LPARAM param) {
  auto* boxes = reinterpret_cast<std::vector<Box>*>(param);
  if (!IsWindowVisible(top) || ClassOf(top) != "#32770") return TRUE;
  HWND label = GetDlgItem(top, 0xFFFF);
  if (!label) return TRUE;
  boxes->push_back(Box{top, TextOf(top), TextOf(label)});
  return TRUE;
}

std::vector<Box> MessageBoxes() {
  std::vector<Box> boxes;
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
  return boxes;
}

BOOL CALLBACK FindMenuWindow(HWND top, LPARAM param) {
  if (IsWindowVisible(top) && ClassOf(top) == "#32768") {
    *reinterpret_cast<HWND*>(param) = top;
    return FALSE;
  }
  return TRUE;
}

bool Fail(const char* what) {
  std::fprintf(stderr, "mixo_driver: %s\n", what);
  return false;
}

bool NeedProgram(Found& f) {
  f = FindProgram();
  if (!f.frame) return Fail("no Mixorama frame window");
  return true;
}

long Number(const char* s) {
  return std::strtol(s, nullptr, 0);
}

// Polls every 20 ms until done() is true or timeoutMs passed.
template <typename Pred>
bool WaitFor(long timeoutMs, Pred done) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (static_cast<long>(GetTickCount() - start) >= timeoutMs) return false;
    Sleep(20);
  }
}

bool SendMouse(DWORD flags, long screenX, long screenY) {
  INPUT in;
  std::memset(&in, 0, sizeof in);
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    // Absolute coordinates are normalised to 0..65535 over the primary screen; rounding up
    // makes the way back (value * size / 65536, truncated) land on the same pixel.
    long w = GetSystemMetrics(SM_CXSCREEN);
    long h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = static_cast<LONG>((screenX * 65536 + w - 1) / w);
    in.mi.dy = static_cast<LONG>((screenY * 65536 + h - 1) / h);
  }
  return SendInput(1, &in, sizeof in) == 1 || Fail("SendInput (mouse) failed");
}

bool MoveOverMap(long x, long y) {
  Found f;
  if (!NeedProgram(f)) return false;
  POINT p = {x, y};
  ClientToScreen(f.map, &p);
  SetCursorPos(p.x, p.y);
  return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, p.x, p.y);
}

bool SendKey(WORD vk, bool up) {
  INPUT in;
  std::memset(&in, 0, sizeof in);
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return SendInput(1, &in, sizeof in) == 1 || Fail("SendInput (key) failed");
}

WPARAM ButtonId(const char* name) {
  if (!std::strcmp(name, "ok")) return IDOK;
  if (!std::strcmp(name, "cancel")) return IDCANCEL;
  if (!std::strcmp(name, "yes")) return IDYES;
  if (!std::strcmp(name, "no")) return IDNO;
  return static_cast<WPARAM>(Number(name));
}

bool BoxMatches(const Box& b, const std::string& text) {
  return text == "*" || b.text == text;
}

bool WaitBox(const std::string& text, long timeoutMs, Box& out) {
  return WaitFor(timeoutMs, [&] {
    for (const Box& b : MessageBoxes()) {
      if (BoxMatches(b, text)) {
        out = b;
        return true;
      }
    }
    return false;
  });
}

void PrintRect(const char* name, HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  std::printf("%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
}

// Runs one command; argv points at its name, count is the number of words it may use.
// Returns 0 on success, 1 on failure, 2 on a usage error.
int Run(char** argv, int count) {
  const std::string cmd = argv[0];
  auto need = [&](int n) { return count >= n + 1; };
  Found f;

  if (cmd == "wait-frame" && need(1)) {
    return WaitFor(Number(argv[1]), [&] { return FindProgram().frame != nullptr; })
               ? 0
               : (Fail("frame did not appear"), 1);
  }
  if (cmd == "wait-title" && need(2)) {
    const std::string want = Unescaped(argv[1]);
    bool ok = WaitFor(Number(argv[2]), [&] {
      Found g = FindProgram();
      return g.frame && TextOf(g.frame) == want;
    });
    if (!ok) {
      Found g = FindProgram();
      std::fprintf(stderr, "mixo_driver: title is \"%s\"\n",
                   g.frame ? Escaped(TextOf(g.frame)).c_str() : "(no frame)");
    }
    return ok ? 0 : 1;
  }
  if (cmd == "title") {
    if (!NeedProgram(f)) return 1;
    std::printf("%s\n", Escaped(TextOf(f.frame)).c_str());
    return 0;
  }
  if (cmd == "text" && need(1)) {
    if (!NeedProgram(f)) return 1;
    HWND c = GetDlgItem(f.panel, static_cast<int>(Number(argv[1])));
    if (!c) return Fail("no such control"), 1;
    std::printf("%s\n", Escaped(TextOf(c)).c_str());
    return 0;
  }
  if (cmd == "texts") {
    if (!NeedProgram(f)) return 1;
    for (HWND c = GetWindow(f.panel, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      std::printf("%d\t%s\t%s\n", GetDlgCtrlID(c), ClassOf(c).c_str(), Escaped(TextOf(c)).c_str());
    }
    return 0;
  }
  if (cmd == "click" && need(1)) {
    if (!NeedProgram(f)) return 1;
    int id = static_cast<int>(Number(argv[1]));
    HWND c = GetDlgItem(f.panel, id);
    if (!c) return Fail("no such control"), 1;
    PostMessageA(f.panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
    PrintAt();
    return 0;
  }
  if (cmd == "command" && need(1)) {
    if (!NeedProgram(f)) return 1;
    PostMessageA(f.frame, WM_COMMAND, MAKEWPARAM(Number(argv[1]), 0), 0);
    PrintAt();
    return 0;
  }
  if (cmd == "close") {
    if (!NeedProgram(f)) return 1;
    PostMessageA(f.frame, WM_CLOSE, 0, 0);
    PrintAt();
    return 0;
  }
  if (cmd == "wait-box" && need(2)) {
    Box b;
    if (!WaitBox(Unescaped(argv[1]), Number(argv[2]), b)) return Fail("no message box"), 1;
    std::printf("%s\t%s\n", Escaped(b.caption).c_str(), Escaped(b.text).c_str());
    return 0;
  }
  if (cmd == "boxes") {
    for (const Box& b : MessageBoxes()) {
      std::printf("%s\t%s\n", Escaped(b.caption).c_str(), Escaped(b.text).c_str());
    }
    return 0;
  }
  if (cmd == "no-box" && need(1)) {
    Box b;
    if (WaitBox("*", Number(argv[1]), b)) {
      std::fprintf(stderr, "mixo_driver: unexpected message box \"%s\"\n", Escaped(b.text).c_str());
      return 1;
    }
    return 0;
  }
  if (cmd == "answer" && need(3)) {
    Box b;
    if (!WaitBox(Unescaped(argv[1]), Number(argv[3]), b)) return Fail("no message box"), 1;
    PostMessageA(b.hwnd, WM_COMMAND, ButtonId(argv[2]), 0);
    PrintAt();
    // Returns once the box is gone, so that a following wait does not find it again.
    HWND answered = b.hwnd;
    return WaitFor(Number(argv[3]), [&] { return !IsWindow(answered); })
               ? 0
               : (Fail("the message box stays open"), 1);
  }
  if (cmd == "wait-gone" && need(1)) {
    return WaitFor(Number(argv[1]), [] { return FindProgram().frame == nullptr; })
               ? 0
               : (Fail("frame still there"), 1);
  }
  if (cmd == "geometry") {
    if (!NeedProgram(f)) return 1;
    PrintRect("frame", f.frame);
    PrintRect("panel", f.panel);
    PrintRect("map", f.map);
    RECT r;
    GetClientRect(f.map, &r);
    std::printf("mapclient %ld %ld\n", r.right, r.bottom);
    return 0;
  }
  if (cmd == "move" && need(2)) {
    if (!MoveOverMap(Number(argv[1]), Number(argv[2]))) return 1;
    PrintAt();
    return 0;
  }
  if (cmd == "glide" && need(6)) {
    long x1 = Number(argv[1]), y1 = Number(argv[2]), x2 = Number(argv[3]), y2 = Number(argv[4]);
    long n = Number(argv[5]), pause = Number(argv[6]);
    if (n < 1) return 2;
    for (long i = 1; i <= n; ++i) {
      if (!MoveOverMap(x1 + (x2 - x1) * i / n, y1 + (y2 - y1) * i / n)) return 1;
      Sleep(static_cast<DWORD>(pause));
    }
    PrintAt();
    return 0;
  }
  if (cmd == "lclick" || cmd == "rclick") {
    bool left = cmd == "lclick";
    if (!SendMouse(left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN, 0, 0)) return 1;
    Sleep(30);
    if (!SendMouse(left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP, 0, 0)) return 1;
    PrintAt();
    return 0;
  }
  if ((cmd == "keydown" || cmd == "keyup" || cmd == "key") && need(1)) {
    WORD vk = static_cast<WORD>(Number(argv[1]));
    if (cmd != "keyup" && !SendKey(vk, false)) return 1;
    if (cmd == "key") Sleep(30);
    if (cmd != "keydown" && !SendKey(vk, true)) return 1;
    PrintAt();
    return 0;
  }
  if (cmd == "pixel" && need(2)) {
    if (!NeedProgram(f)) return 1;
    // Read through the screen's context: another process's window context has no pixels
    // under Wine.
    POINT p = {Number(argv[1]), Number(argv[2])};
    ClientToScreen(f.map, &p);
    HDC dc = GetDC(nullptr);
    if (!dc) return Fail("GetDC failed"), 1;
    COLORREF c = GetPixel(dc, p.x, p.y);
    ReleaseDC(nullptr, dc);
    if (c == CLR_INVALID) return Fail("GetPixel failed"), 1;
    std::printf("%02X%02X%02X\n", GetRValue(c), GetGValue(c), GetBValue(c));
    return 0;
  }
  if (cmd == "menu-rect") {
    HWND menu = nullptr;
    EnumWindows(FindMenuWindow, reinterpret_cast<LPARAM>(&menu));
    if (!menu) return Fail("no pop-up menu is open"), 1;
    RECT r;
    GetWindowRect(menu, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (cmd == "focus") {
    if (!NeedProgram(f)) return 1;
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(f.frame, nullptr), &info)) {
      return Fail("GetGUIThreadInfo failed"), 1;
    }
    std::printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : -1);
    return 0;
  }
  if (cmd == "sleep" && need(1)) {
    Sleep(static_cast<DWORD>(Number(argv[1])));
    return 0;
  }
  if (cmd == "now") {
    std::printf("%.3f\n", EpochSeconds());
    return 0;
  }
  if (cmd == "cursor") {
    if (!NeedProgram(f)) return 1;
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(f.map, &p);
    std::printf("%ld %ld\n", p.x, p.y);
    return 0;
  }
  std::fprintf(stderr, "mixo_driver: unknown command or missing arguments: %s\n", cmd.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Unbuffered, so a scenario sees each "at" line even when a later command hangs.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: mixo_driver COMMAND [ARGS] [+ COMMAND [ARGS] ...]\n");
    return 2;
  }
  int i = 1;
  while (i < argc) {
    int end = i;
    while (end < argc && std::strcmp(argv[end], "+") != 0) ++end;
    if (end == i) return 2;
    int rc = Run(argv + i, end - i);
    if (rc != 0) return rc;
    i = end + 1;
  }
  return 0;
}
