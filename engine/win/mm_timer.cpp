#include "engine/win/mm_timer.h"

#include <initializer_list>

namespace mixorama {

std::atomic<MmTimer*> MmTimer::instance_{nullptr};

MmTimer::MmTimer() : callbackEnded_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  instance_ = this;
}

MmTimer::~MmTimer() {
  MmTimer* self = this;
  instance_.compare_exchange_strong(self, nullptr);
  Kill(periodic_.id);
  Kill(oneShot_.id);
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
  for (Slot* slot : {&periodic_, &oneShot_}) {
    TimerId pending = id;
    if (id == 0 || !slot->id.compare_exchange_strong(pending, 0)) continue;
    slot->callback = nullptr;
    timeKillEvent(id);
    break;
  }
  WaitForCallbacks();
}

// The slot's callback is emptied (Kill) before Kill looks at the runner, and the runner is
// set here before the callback is read: either Kill sees this call running and waits for it,
// or this call sees the slot emptied. All of it sequentially consistent.
void MmTimer::Run(Slot& slot, bool oneShot) {
  slot.runner = GetCurrentThreadId();
  // Fired once: the system has dropped the id, so a later Kill of it must not kill it again.
  if (oneShot) slot.id = 0;
  const TimerCallbackFn callback = slot.callback;
  if (callback != nullptr) callback(slot.context);
  slot.runner = 0;
  SetEvent(callbackEnded_);
}

void MmTimer::WaitForCallbacks() {
  const DWORD self = GetCurrentThreadId();
  for (;;) {
    const DWORD periodic = periodic_.runner;
    const DWORD oneShot = oneShot_.runner;
    if ((periodic == 0 || periodic == self) && (oneShot == 0 || oneShot == self)) return;
    // A callback may be waiting for this thread to take a message it sends (a box on the
    // timer thread, owned by a window of this thread): such messages are handled meanwhile.
    const DWORD woken =
        MsgWaitForMultipleObjects(1, &callbackEnded_, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}

void CALLBACK MmTimer::PeriodicProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  MmTimer* timer = instance_;
  if (timer != nullptr) timer->Run(timer->periodic_, false);
}

void CALLBACK MmTimer::OneShotProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  MmTimer* timer = instance_;
  if (timer != nullptr) timer->Run(timer->oneShot_, true);
}

}  // namespace mixorama
