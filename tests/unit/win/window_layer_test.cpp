// The Windows layer's faults that need no display: what the timer thread may still do while
// the GUI thread tears the program down, and a frame that cannot be made.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "engine/win/mm_timer.h"
#include "ui/win/app.h"
#include "ui/win/princ.h"
#include "ui/win/win_ui.h"
#include "ui/win/window_state.h"

namespace mixorama::test {
namespace {

HWND g_boxOwner = nullptr;
int WINAPI RecordBox(HWND owner, LPCSTR, LPCSTR, UINT, WORD) {
  return g_boxOwner = owner, IDOK;
}

// A failed position query shows its box from the timer thread, while the GUI thread may be
// deleting the panel object: the owner comes from the panel's handle, never from the object.
TEST(WindowLayer, AnInfoBoxOffTheGuiThreadReadsNoPanelObject) {
  alignas(TPrinc) unsigned char gone[sizeof(TPrinc)];
  std::memset(gone, 0xDD, sizeof gone);  // what a late reader of the deleted panel finds
  g_win.princ = reinterpret_cast<TPrinc*>(gone);
  g_win.panelWindow = GetDesktopWindow();
  g_win.messageBox = &RecordBox;
  std::thread([] { WinUi().InfoBox("late"); }).join();
  EXPECT_EQ(g_boxOwner, GetDesktopWindow());
  g_win.princ = nullptr;
  g_win.panelWindow = nullptr;
}

// This test program holds no FEN_PRINC: the panel, and with it the frame, cannot be made.
// A quit message put first ends a message loop that must not run at all.
TEST(WindowLayer, AFrameThatCannotBeMadeEndsTheProgramWith1) {
  TApp app("frame", GetModuleHandleA(nullptr), nullptr, "", SW_HIDE);
  PostQuitMessage(2);
  EXPECT_EQ(app.Run(), 1);
  EXPECT_EQ(g_win.frameWindow.load(), nullptr);
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The start-up timer's deferred menu step, already running, may finish after the teardown.
TEST(WindowLayer, NoFrameMenuIsMadeOnceTheTeardownDeletedIt) {
  DeleteFrameMenu();
  WinUi().DeferredMenuStep();
  EXPECT_FALSE(WithFrameMenu([](TFrameMenu&) {}));
}

// The teardown goes on to destroy what a tick uses once Kill returns. The callback holds on
// until Kill has returned or a fifth of a second has passed: only a Kill that waits sees it
// finished.
TEST(WindowLayer, KillWaitsForACallbackInFlight) {
  static std::atomic<int> step{0};  // 1 running, 2 killing, 3 killed, 4 finished
  MmTimer timer;
  const TimerId id = timer.StartPeriodic(
      1,
      [](void*) {
        int running = 0;
        if (!step.compare_exchange_strong(running, 1)) return;
        while (step == 1) Sleep(0);
        for (int ms = 0; ms < 200 && step == 2; ++ms) Sleep(1);
        step = 4;
      },
      nullptr);
  while (step == 0) Sleep(0);
  step = 2;
  timer.Kill(id);
  EXPECT_EQ(step.exchange(3), 4);
}

}  // namespace
}  // namespace mixorama::test
