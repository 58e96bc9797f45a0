// The playback timer through WINMM's multimedia timers (timeSetEvent, timeKillEvent); the
// callbacks run on the multimedia timer's thread.
//
// Timers are started with the user value 0, so the static timer procedures find the callback
// through the one MmTimer instance (the latest constructed; the program has one). The
// periodic timer and the one-shot timer have a procedure and a slot each, so both may be
// pending at once and neither needs the id that timeSetEvent has not yet returned.
#pragma once

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <atomic>

#include "engine/platform.h"

namespace mixorama {

class MmTimer : public PlaybackTimer {
 public:
  MmTimer();  // becomes the instance the timer procedures call into
  MmTimer(const MmTimer&) = delete;
  MmTimer& operator=(const MmTimer&) = delete;
  // Kills the timers still running, as Kill does; afterwards the procedures find no instance.
  ~MmTimer() override;

  // timeSetEvent(periodMs, 0, ..., 0, TIME_PERIODIC). Returns 0 on failure.
  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) override;
  // timeSetEvent(delayMs, resolutionMs, ..., 0, TIME_ONESHOT). Returns 0 on failure.
  TimerId StartOneShot(uint32_t delayMs, uint32_t resolutionMs, TimerCallbackFn callback,
                       void* context) override;
  // timeKillEvent(id) when id is a timer of ours still pending (a one-shot that has fired is
  // not: the system may have given its id to another timer), then waits until no callback of
  // this timer is running, unless the caller is the timer thread inside one (the tick that
  // stops playback after a failed position query). So once Kill returns, what the callbacks
  // use may be destroyed: timeKillEvent alone lets a callback already dispatched run on. A
  // callback dispatched but not yet begun finds its slot emptied and returns at once.
  // While it waits, messages that other threads send to the caller are handled: a message box
  // on the timer thread sends to the thread of its owner window before it can close. Must not
  // be called with a lock held that a callback takes.
  void Kill(TimerId id) override;

 private:
  struct Slot {
    std::atomic<TimerCallbackFn> callback{nullptr};  // null once killed
    std::atomic<void*> context{nullptr};
    std::atomic<TimerId> id{0};    // the pending timer; 0 once killed or fired (one-shot)
    std::atomic<DWORD> runner{0};  // the thread inside the callback, 0 when none
  };

  static void CALLBACK PeriodicProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  static void CALLBACK OneShotProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  void Run(Slot& slot, bool oneShot);
  void WaitForCallbacks();

  static std::atomic<MmTimer*> instance_;

  Slot periodic_;
  Slot oneShot_;
  // Set each time a callback returns (auto-reset). Never closed: a procedure that found this
  // instance just before its destruction may still set it.
  HANDLE callbackEnded_;
};

}  // namespace mixorama
