#include "engine/win/mm_timer.h"

namespace mixorama {

std::atomic<MmTimer*> MmTimer::instance_{nullptr};

MmTimer::MmTimer() {
  instance_ = this;
}

MmTimer::~MmTimer() {
  const TimerId periodic = periodic_.id.exchange(0);
  if (periodic != 0) timeKillEvent(periodic);
  const TimerId oneShot = oneShot_.id.exchange(0);
  if (oneShot != 0) timeKillEvent(oneShot);
  MmTimer* self = this;
  instance_.compare_exchange_strong(self, nullptr);
}

TimerId MmTimer::StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) {
  // The slot is filled before the timer exists: its first call may come before
  // timeSetEvent returns.
  periodic_.callback = callback;
  periodic_.context = context;
  const TimerId id = timeSetEvent(periodMs, 0, &MmTimer::PeriodicProc, 0, TIME_PERIODIC);
  periodic_.id = id;
  return id;
}

TimerId MmTimer::StartOneShot(uint32_t delayMs, uint32_t resolutionMs, TimerCallbackFn callback,
                              void* context) {
  oneShot_.callback = callback;
  oneShot_.context = context;
  const TimerId id = timeSetEvent(delayMs, resolutionMs, &MmTimer::OneShotProc, 0, TIME_ONESHOT);
  oneShot_.id = id;
  return id;
}

void MmTimer::Kill(TimerId id) {
  timeKillEvent(id);
  TimerId expected = id;
  if (id != 0 && !periodic_.id.compare_exchange_strong(expected, 0)) {
    expected = id;
    oneShot_.id.compare_exchange_strong(expected, 0);
  }
}

void MmTimer::Run(Slot& slot) {
  const TimerCallbackFn callback = slot.callback;
  if (callback != nullptr) callback(slot.context);
}

void CALLBACK MmTimer::PeriodicProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  MmTimer* timer = instance_;
  if (timer != nullptr) Run(timer->periodic_);
}

void CALLBACK MmTimer::OneShotProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  MmTimer* timer = instance_;
  if (timer == nullptr) return;
  // Fired once: the system has dropped the id, so a later Kill of it has nothing to do.
  timer->oneShot_.id = 0;
  Run(timer->oneShot_);
}

}  // namespace mixorama
