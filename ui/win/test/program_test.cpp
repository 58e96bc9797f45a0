// The program's windows in one process: the frame, the panel and the map built from the real
// resources, with the start-up set from the current directory, on the virtual device and the
// manual timer. Drives them with window messages and reads back texts, flags and pixels.
//
// The tests share one run of the program and follow its life: start-up first, shutdown last
// (gtest keeps the order of definition).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "engine/mixer.h"
#include "engine/virtual_device.h"
#include "resources/resource_ids.h"
#include "ui/map_rules.h"
#include "ui/win/app.h"
#include "ui/win/panel_commands_win.h"
#include "ui/win/princ.h"
#include "ui/win/win_ui.h"

namespace mixorama {
namespace {

VirtualDevice g_device;
ManualTimer g_timer;
WinUi g_ui;
TApp* g_app = nullptr;
bool g_quitSeen = false;

// Runs the messages waiting for this thread as the program's loop would.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      g_quitSeen = true;
      continue;
    }
    HWND panel = g_princ != nullptr ? g_princ->Window() : nullptr;
    if (panel != nullptr && IsDialogMessageA(panel, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

HWND Panel() {
  return g_princ->Window();
}
HWND Control(int id) {
  return GetDlgItem(Panel(), id);
}

std::string ControlText(int id) {
  char text[300] = "";
  GetDlgItemTextA(Panel(), id, text, sizeof text);
  return text;
}

// A click as the control itself reports it to the panel.
void Click(int id) {
  SendMessageA(Panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(Control(id)));
}

HWND Map() {
  return Control(IDC_MAP);
}

COLORREF MapPixel(int x, int y) {
  HDC dc = GetDC(Map());
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(Map(), dc);
  return c;
}

// A pixel in the middle of the slot's square.
COLORREF SquarePixel(int slot) {
  const SquareRect s = SlotSquare(slot);
  return MapPixel(s.left + 10, s.top + 10);
}

void MoveOnMap(int x, int y) {
  SendMessageA(Map(), WM_MOUSEMOVE, 0,
               MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                          static_cast<WORD>(static_cast<int16_t>(y))));
}

// Puts the real cursor over map position (x, y) and lets the moves it causes through.
void CursorOnMap(int x, int y) {
  POINT p = {x, y};
  ClientToScreen(Map(), &p);
  SetCursorPos(p.x, p.y);
  Sleep(50);
  Pump();
}

// The next message box of this process, answered by a helper thread while trigger runs.
struct BoxSeen {
  bool seen = false;
  std::string caption;
  std::string text;
};

BOOL CALLBACK FindOwnBox(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char cls[16] = "";
  GetClassNameA(window, cls, sizeof cls);
  if (process == GetCurrentProcessId() && std::strcmp(cls, "#32770") == 0 &&
      IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

template <typename Trigger>
BoxSeen AnswerBox(int answer, Trigger trigger) {
  BoxSeen seen;
  std::atomic<bool> finished{false};
  std::thread answerer([&] {
    for (int i = 0; i < 400 && !finished; ++i) {
      HWND box = nullptr;
      EnumWindows(FindOwnBox, reinterpret_cast<LPARAM>(&box));
      if (box != nullptr) {
        char caption[128] = "";
        char text[512] = "";
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen.seen = true;
        seen.caption = caption;
        seen.text = text;
        PostMessageA(box, WM_COMMAND, answer, 0);
        return;
      }
      Sleep(25);
    }
  });
  trigger();
  finished = true;
  answerer.join();
  return seen;
}

class Program : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_mixer.device = &g_device;
    g_mixer.timer = &g_timer;
    g_mixer.ui = &g_ui;
    g_instance = GetModuleHandleA(nullptr);
    // The real cursor away from where the map will be, so only the tests move over it.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    g_app = new TApp(kProgramTitle, g_instance, nullptr, "", SW_SHOWNORMAL);
    if (!g_app->CreateMainWindow()) return;
    ShowWindow(g_frameWindow, SW_SHOWNORMAL);
    UpdateWindow(g_frameWindow);
    Pump();
  }
  void SetUp() override {
    ASSERT_NE(g_frameWindow, nullptr) << "the frame window was not created";
    ASSERT_NE(g_princ, nullptr);
  }
};

// ---- Start-up ----------------------------------------------------------------------------

TEST(ShowMode, SmallScreensGetAMaximisedFrame) {
  EXPECT_EQ(ShowModeForScreenWidth(0), SW_SHOWMAXIMIZED);
  EXPECT_EQ(ShowModeForScreenWidth(639), SW_SHOWMAXIMIZED);
  EXPECT_EQ(ShowModeForScreenWidth(640), SW_SHOWMAXIMIZED);
  EXPECT_EQ(ShowModeForScreenWidth(641), SW_SHOWNORMAL);
  EXPECT_EQ(ShowModeForScreenWidth(1024), SW_SHOWNORMAL);
}

TEST_F(Program, FrameHasItsStyleTitleMenuAndFitsThePanel) {
  ASSERT_TRUE(IsWindow(g_frameWindow));
  char title[64] = "";
  GetWindowTextA(g_frameWindow, title, sizeof title);
  EXPECT_STREQ(title, "Mixorama Demo");
  const DWORD style = static_cast<DWORD>(GetWindowLongA(g_frameWindow, GWL_STYLE));
  EXPECT_EQ(style & 0x12CA0000u, 0x12CA0000u);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
  RECT frame;
  GetWindowRect(g_frameWindow, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);

  HMENU menu = GetMenu(g_frameWindow);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 3);

  ASSERT_NE(Panel(), nullptr);
  EXPECT_EQ(GetParent(Panel()), g_frameWindow);
  EXPECT_EQ(g_panelWindow, Panel());
  RECT client;
  RECT panel;
  GetClientRect(g_frameWindow, &client);
  GetWindowRect(Panel(), &panel);
  EXPECT_EQ(client.right, panel.right - panel.left);
  EXPECT_EQ(client.bottom, panel.bottom - panel.top);
}

TEST_F(Program, StartUpSetIsLoadedWithFullNamesAsLabels) {
  const char* const want[kChannelCount] = {"BD7525.WAV", "CP.WAV",     "MA.WAV", "LT50.WAV",
                                           "SD0010.WAV", "BD7525.WAV", "CH.WAV", "HC50.WAV"};
  for (int slot = 0; slot < kChannelCount; ++slot) {
    SCOPED_TRACE(slot + 1);
    EXPECT_EQ(ControlText(IDC_SLOT_LABEL_FIRST + slot), want[slot]);
    EXPECT_NE(g_mixer.sampleMemory[slot], nullptr);
    EXPECT_EQ(g_mixer.volume[slot], 1);
    EXPECT_EQ(g_mixer.targetVolume[slot], 1);
  }
  EXPECT_EQ(g_mixer.engineReady.load(), 1);
  EXPECT_EQ(g_mixer.playing.load(), 0);
  EXPECT_EQ(ControlText(IDC_PLAY), kPlayCaption);
}

TEST_F(Program, MenuChecksWaitForTheOneShotTimer) {
  HMENU menu = GetMenu(g_frameWindow);
  ASSERT_TRUE(g_timer.running()) << "the one-shot timer of the menu step is not pending";
  EXPECT_EQ(g_mixer.menuSetup.load(), 1);
  for (UINT id : {IDM_RATE_11025, IDM_RATE_22050, IDM_RATE_44100}) {
    EXPECT_EQ(GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED, 0u) << id;
  }
  g_timer.Fire();  // the deferred menu step
  EXPECT_FALSE(g_timer.running());
  EXPECT_EQ(g_mixer.menuSetup.load(), 0);
  EXPECT_NE(GetMenuState(menu, IDM_RATE_11025, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_EQ(GetMenuState(menu, IDM_RATE_22050, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_EQ(GetMenuState(menu, IDM_RATE_44100, MF_BYCOMMAND) & MF_CHECKED, 0u);

  // Later updates go through the same frame menu.
  g_mixer.outputRate = 44100;
  UpdateRateChecks();
  EXPECT_EQ(GetMenuState(menu, IDM_RATE_11025, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_NE(GetMenuState(menu, IDM_RATE_44100, MF_BYCOMMAND) & MF_CHECKED, 0u);
  g_mixer.outputRate = 11025;
  UpdateRateChecks();
  EXPECT_NE(GetMenuState(menu, IDM_RATE_11025, MF_BYCOMMAND) & MF_CHECKED, 0u);
}

// ---- The map -----------------------------------------------------------------------------

TEST_F(Program, MapControlCoversTheMapWithNumbersBesideTheSlotPoints) {
  RECT map;
  GetClientRect(Map(), &map);
  EXPECT_GE(map.right, kMapSize);
  EXPECT_GE(map.bottom, kMapSize);
  // Each number beside the map sits next to its slot's point (within a few pixels along the
  // border it belongs to).
  struct Near {
    int id;
    int slot;
    bool alongX;
  };
  const Near numbers[] = {{IDC_MAP_NUMBER_1, 0, true},  {IDC_MAP_NUMBER_2, 1, false},
                          {IDC_MAP_NUMBER_3, 2, false}, {IDC_MAP_NUMBER_4, 3, true},
                          {IDC_MAP_NUMBER_5, 4, true},  {IDC_MAP_NUMBER_6, 5, false},
                          {IDC_MAP_NUMBER_7, 6, false}, {IDC_MAP_NUMBER_8, 7, true}};
  for (const Near& n : numbers) {
    SCOPED_TRACE(n.id);
    RECT r;
    GetWindowRect(Control(n.id), &r);
    MapWindowPoints(HWND_DESKTOP, Map(), reinterpret_cast<POINT*>(&r), 2);
    const MapPoint p = SlotPoint(n.slot);
    const int centre = n.alongX ? (r.left + r.right) / 2 : (r.top + r.bottom) / 2;
    EXPECT_NEAR(centre, n.alongX ? p.x : p.y, 12);
  }
}

TEST_F(Program, MouseMovesSetTargetsAndColourSquares) {
  MoveOnMap(87, 0);  // on slot 1's point
  EXPECT_EQ(g_mixer.mapHover.load(), 1);
  EXPECT_EQ(g_mixer.live.load(), 1);
  EXPECT_EQ(GetCapture(), Map());
  EXPECT_EQ(GetFocus(), Map());
  EXPECT_EQ(g_mixer.targetVolume[0], 350);
  EXPECT_EQ(SquarePixel(0), 0x0000FFFFu);  // yellow

  MoveOnMap(175, 175);  // the centre: every slot 155
  for (int slot = 0; slot < kChannelCount; ++slot) {
    EXPECT_EQ(g_mixer.targetVolume[slot], 155) << slot;
    EXPECT_EQ(SquarePixel(slot), LevelColor(155)) << slot;
  }

  MoveOnMap(350, 350);  // still inside
  EXPECT_EQ(g_mixer.mapHover.load(), 1);
  MoveOnMap(351, 350);  // leaves: capture released, full repaint, live stays
  EXPECT_EQ(g_mixer.mapHover.load(), 0);
  EXPECT_EQ(g_mixer.live.load(), 1);
  EXPECT_NE(GetCapture(), Map());
  for (int slot = 0; slot < kChannelCount; ++slot) {
    EXPECT_EQ(SquarePixel(slot), PaintColor(g_mixer, slot)) << slot;
  }
  // The background is the bitmap: blue in the corners.
  EXPECT_EQ(MapPixel(40, 40) & 0x00FF0000u, 0x00FF0000u);
}

TEST_F(Program, ButtonsLockAndMuteTheNearestSlot) {
  CursorOnMap(262, 2);  // beside slot 8's point
  MoveOnMap(262, 2);
  ASSERT_EQ(g_mixer.mapHover.load(), 1);
  SendMessageA(Map(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(262, 2));
  EXPECT_EQ(g_mixer.locked[7], 1);
  EXPECT_EQ(SquarePixel(7), kLockedColor);
  // The second press of a double click is the button's own: no toggle.
  SendMessageA(Map(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(262, 2));
  EXPECT_EQ(g_mixer.locked[7], 1);

  SendMessageA(Map(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(262, 2));
  EXPECT_EQ(g_mixer.muted[7], 1);
  EXPECT_EQ(g_mixer.locked[7], 0);
  EXPECT_EQ(g_mixer.targetVolume[7], 1);
  EXPECT_EQ(SquarePixel(7), kMutedColor);

  SendMessageA(Map(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(262, 2));
  EXPECT_EQ(g_mixer.muted[7], 0);
  EXPECT_GT(g_mixer.targetVolume[7], 340);  // back to the closeness at the cursor
  MoveOnMap(-1, 0);
}

// ---- The panel's commands ------------------------------------------------------------------

TEST_F(Program, PlayButtonSetsCaptionThenStartsOrStops) {
  Click(IDC_PLAY);
  EXPECT_EQ(ControlText(IDC_PLAY), kCutSoundCaption);
  EXPECT_EQ(g_mixer.playing.load(), 1);
  EXPECT_TRUE(g_device.IsOpen());
  EXPECT_TRUE(g_timer.running());
  EXPECT_EQ(g_timer.periodMs(), 50u);

  // Other notifications and commands without a control leave it alone.
  SendMessageA(Panel(), WM_COMMAND, MAKEWPARAM(IDC_PLAY, BN_DOUBLECLICKED),
               reinterpret_cast<LPARAM>(Control(IDC_PLAY)));
  SendMessageA(Panel(), WM_COMMAND, MAKEWPARAM(IDC_PLAY, BN_CLICKED), 0);
  EXPECT_EQ(g_mixer.playing.load(), 1);
  EXPECT_EQ(ControlText(IDC_PLAY), kCutSoundCaption);

  Click(IDC_PLAY);
  EXPECT_EQ(ControlText(IDC_PLAY), kPlayCaption);
  EXPECT_EQ(g_mixer.playing.load(), 0);
  EXPECT_FALSE(g_device.IsOpen());
  EXPECT_FALSE(g_timer.running());
}

TEST_F(Program, SyncResetsReadPositions) {
  {
    std::lock_guard<std::mutex> hold(g_mixer.lock);
    g_mixer.readPosBytes[2] = 400;
  }
  Click(IDC_SYNC);
  EXPECT_EQ(g_mixer.readPosBytes[2], 0);
  EXPECT_EQ(g_mixer.sampleMemory[2] != nullptr, true);
}

TEST_F(Program, NoWaveEmptiesTheSlotAndItsLabel) {
  // "No Wave" of slot 5 is the second "No Wave" button in the template.
  Click(IDC_NO_WAVE_5);
  EXPECT_EQ(g_mixer.sampleMemory[4], nullptr);
  EXPECT_EQ(ControlText(IDC_SLOT_LABEL_5), "");
  EXPECT_STREQ(g_mixer.slotName[4], "");
  EXPECT_EQ(ControlText(IDC_SLOT_LABEL_4), "LT50.WAV");
  EXPECT_NE(g_mixer.sampleMemory[3], nullptr);
}

TEST_F(Program, QuitQuestionsAnsweredCancelChangeNothing) {
  // The frame's close, the Quit menu item and OK (Enter) all ask first.
  const BoxSeen close = AnswerBox(IDCANCEL, [] { SendMessageA(g_frameWindow, WM_CLOSE, 0, 0); });
  EXPECT_TRUE(close.seen);
  EXPECT_EQ(close.caption, kProgramTitle);
  EXPECT_EQ(close.text, "Quit ?");
  const BoxSeen quit = AnswerBox(
      IDCANCEL, [] { SendMessageA(g_frameWindow, WM_COMMAND, MAKEWPARAM(IDM_QUIT, 0), 0); });
  EXPECT_TRUE(quit.seen);
  EXPECT_EQ(quit.text, "Quit ?");
  const BoxSeen ok =
      AnswerBox(IDCANCEL, [] { SendMessageA(Panel(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0); });
  EXPECT_TRUE(ok.seen);
  EXPECT_EQ(ok.text, "Quit ?");
  Pump();
  EXPECT_TRUE(IsWindow(g_frameWindow));
  EXPECT_NE(g_princ->Window(), nullptr);
  EXPECT_FALSE(g_quitSeen);
}

// ---- Shutdown (last) -----------------------------------------------------------------------

TEST_F(Program, CancelEndsWithoutQuestionAndTearsTheEngineDown) {
  Click(IDC_PLAY);  // playing while the program ends
  ASSERT_EQ(g_mixer.playing.load(), 1);
  const BoxSeen none = AnswerBox(IDOK, [] {
    SendMessageA(Panel(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    for (int i = 0; i < 20 && !g_quitSeen; ++i) {
      Pump();
      Sleep(10);
    }
  });
  EXPECT_FALSE(none.seen) << "asked: " << none.text;
  EXPECT_TRUE(g_quitSeen);
  EXPECT_FALSE(IsWindow(g_frameWindow));

  delete g_app;  // the panel's teardown
  g_app = nullptr;
  EXPECT_EQ(g_mixer.playing.load(), 0);
  EXPECT_FALSE(g_device.IsOpen());
  EXPECT_FALSE(g_timer.running());
  EXPECT_EQ(g_mixer.outputRing, nullptr);
  for (int slot = 0; slot < kChannelCount; ++slot) {
    EXPECT_EQ(g_mixer.sampleMemory[slot], nullptr) << slot;
    EXPECT_EQ(g_mixer.active[slot], 0) << slot;
  }
  EXPECT_FALSE(WithFrameMenu([](TFrameMenu&) {}));
}

}  // namespace
}  // namespace mixorama
