// The Windows layer's teardown: the timer thread still running into it, a frame not made.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "engine/virtual_device.h"
#include "engine/win/mm_timer.h"
#include "ui/win/app.h"
#include "ui/win/frame_menu.h"
#include "ui/win/win_ui.h"
#include "ui/win/window_state.h"

namespace mixorama::test {
namespace {

HWND g_boxOwner = reinterpret_cast<HWND>(-1);  // no box yet
int WINAPI RecordBox(HWND owner, LPCSTR, LPCSTR, UINT, WORD) {
  return g_boxOwner = owner, IDOK;
}

// Once: a failed position query's box, then held until Kill has returned or for 200 ms.
std::atomic<int> g_step{0};  // 1 box shown, 2 killed, 3 finished
void LateTick(void*) {
  if (g_step != 0) return;
  WinUi().InfoBox("late");
  g_step = 1;
  for (int ms = 0; ms < 200 && g_step == 1; ++ms) Sleep(1);
  g_step = 3;
}

// The panel is gone, its object deleted (the memory reused) and its handle cleared: the box's
// owner comes from the handle alone. Once Kill returns the teardown destroys what a tick uses:
// the tick must be done by then.
TEST(WindowLayer, ATickRunningIntoTheTeardown) {
  std::string gone(4096, '\xDD');
  g_win.princ = reinterpret_cast<TPrinc*>(gone.data());
  g_win.messageBox = &RecordBox;
  MmTimer timer;
  const TimerId id = timer.StartPeriodic(1, &LateTick, nullptr);
  while (g_step == 0) Sleep(0);
  EXPECT_EQ(g_boxOwner, nullptr);
  timer.Kill(id);
  EXPECT_EQ(g_step.exchange(2), 3);
  g_win.princ = nullptr;
}

// The first timer callback after the menu step is scheduled does the step instead of its own
// work, whether it is the start-up timer's or a playback timer's; the next ones do their work.
TEST(WindowLayer, TheMenuStepComesFirstThenTheTicks) {
  ManualTimer inner;
  TMenuStepTimer timer(inner);
  static int ticks = 0;
  const TimerCallbackFn tick = [](void*) { ++ticks; };
  for (bool playbackFirst : {false, true}) {
    ticks = 0;
    DeleteFrameMenu();
    g_win.frameMenuClosed = false;
    timer.ScheduleMenuStep(100, 10);
    if (playbackFirst) timer.StartPeriodic(50, tick, nullptr);
    inner.Fire();
    EXPECT_TRUE(WithFrameMenu([](TFrameMenu&) {})) << playbackFirst;
    if (!playbackFirst) timer.StartPeriodic(50, tick, nullptr);
    inner.Fire();
    inner.Fire();
    EXPECT_EQ(ticks, 2) << playbackFirst;
  }
  timer.CancelMenuStep();
}

// This test program holds no FEN_PRINC: the panel, and with it the frame, cannot be made. A
// quit message put first would end a message loop that must not run at all. After the
// teardown, the start-up timer's deferred menu step (already running) makes no frame menu.
TEST(WindowLayer, AFrameThatCannotBeMadeEndsTheProgramWith1) {
  PostQuitMessage(2);
  EXPECT_EQ(TApp("frame", GetModuleHandleA(nullptr), nullptr, "", SW_HIDE).Run(), 1);
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  DeferredMenuStep();
  EXPECT_FALSE(WithFrameMenu([](TFrameMenu&) {}));
}

}  // namespace
}  // namespace mixorama::test
