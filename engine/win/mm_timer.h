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
  // Kills the timers still running; afterwards the procedures find no instance.
  ~MmTimer() override;

  // timeSetEvent(periodMs, 0, ..., 0, TIME_PERIODIC). Returns 0 on failure.
  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) override;
  // timeSetEvent(delayMs, resolutionMs, ..., 0, TIME_ONESHOT). Returns 0 on failure.
  TimerId StartOneShot(uint32_t delayMs, uint32_t resolutionMs, TimerCallbackFn callback,
                       void* context) override;
  // timeKillEvent(id); the result is ignored, as the engine ignores it.
  void Kill(TimerId id) override;

 private:
  struct Slot {
    std::atomic<TimerCallbackFn> callback{nullptr};
    std::atomic<void*> context{nullptr};
    std::atomic<TimerId> id{0};
  };

  static void CALLBACK PeriodicProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  static void CALLBACK OneShotProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  static void Run(Slot& slot);

  static std::atomic<MmTimer*> instance_;

  Slot periodic_;
  Slot oneShot_;
};

}  // namespace mixorama
