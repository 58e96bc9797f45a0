#include "ui/win/frame_menu.h"

#include <mutex>

#include "engine/mixer.h"
#include "resources/resource_ids.h"
#include "ui/rate_change.h"
#include "ui/win/window_state.h"

namespace mixorama {

namespace {

// The rate is read while the frame menu is held: of two updates that race (the deferred menu
// step and a rate change), the later one also reads the later rate.
void SetChecksFromRate(TFrameMenu& menu) {
  const int checked = CheckedRateItem(g_mixer);
  for (int item = 0; item < 3; ++item) menu.CheckItem(IDM_RATE_11025 + item, item == checked);
}

}  // namespace

void TFrameMenu::CheckItem(UINT commandId, bool checked) {
  CheckMenuItem(menu_, commandId, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void CreateFrameMenu(HWND frame) {
  HMENU menu = GetMenu(frame);
  std::lock_guard<std::mutex> hold(g_win.frameMenuLock);
  if (g_win.frameMenu == nullptr && !g_win.frameMenuClosed) g_win.frameMenu = new TFrameMenu(menu);
}

void DeleteFrameMenu() {
  TFrameMenu* old = nullptr;
  {
    std::lock_guard<std::mutex> hold(g_win.frameMenuLock);
    old = g_win.frameMenu;
    g_win.frameMenu = nullptr;
    g_win.frameMenuClosed = true;
  }
  delete old;
}

bool WithFrameMenu(void (*fn)(TFrameMenu& menu)) {
  std::lock_guard<std::mutex> hold(g_win.frameMenuLock);
  if (g_win.frameMenu == nullptr) return false;
  fn(*g_win.frameMenu);
  return true;
}

void UpdateRateChecks() {
  WithFrameMenu(&SetChecksFromRate);
}

void DeferredMenuStep() {
  CreateFrameMenu(g_win.frameWindow.load());
  UpdateRateChecks();
}

void TMenuStepTimer::ScheduleMenuStep(uint32_t delayMs, uint32_t resolutionMs) {
  menuStepPending_ = true;
  oneShot_ = inner_.StartOneShot(delayMs, resolutionMs, &OneShotCallback, this);
}

void TMenuStepTimer::CancelMenuStep() {
  menuStepPending_ = false;
  // Killed even when it has fired, so that a step still running is waited for.
  if (oneShot_ != 0) inner_.Kill(oneShot_);
  oneShot_ = 0;
}

TimerId TMenuStepTimer::StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) {
  periodic_ = callback;
  periodicContext_ = context;
  return inner_.StartPeriodic(periodMs, &PeriodicCallback, this);
}

TimerId TMenuStepTimer::StartOneShot(uint32_t delayMs, uint32_t resolutionMs,
                                     TimerCallbackFn callback, void* context) {
  return inner_.StartOneShot(delayMs, resolutionMs, callback, context);
}

bool TMenuStepTimer::TakeMenuStep() {
  if (!menuStepPending_.exchange(false)) return false;
  DeferredMenuStep();
  return true;
}

void TMenuStepTimer::OneShotCallback(void* self) {
  static_cast<TMenuStepTimer*>(self)->TakeMenuStep();
}

void TMenuStepTimer::PeriodicCallback(void* self) {
  auto* timer = static_cast<TMenuStepTimer*>(self);
  if (timer->TakeMenuStep()) return;
  const TimerCallbackFn callback = timer->periodic_;
  if (callback != nullptr) callback(timer->periodicContext_);
}

}  // namespace mixorama
