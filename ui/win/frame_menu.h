// The frame's menu, all of it in one place: the frame menu object that carries the Frequency
// check marks, its life (made by the deferred menu step, deleted by the teardown), the check
// marks themselves, and the deferred menu step with the timer that runs it.
//
// The deferred menu step makes the frame menu and sets the check marks, once, shortly after
// start-up, on the multimedia timer's thread. The engine is given the multimedia timer through
// TMenuStepTimer, which puts the step in front: the first callback after the step was
// scheduled, of the start-up one-shot timer or of a playback timer started before it fired,
// does the menu step instead of its own work (that callback mixes nothing).
#pragma once

#include <windows.h>

#include <atomic>

#include "engine/platform.h"

namespace mixorama {

// Wraps the main frame's menu handle; does not own it (the frame destroys its menu).
class TFrameMenu {
 public:
  explicit TFrameMenu(HMENU menu) : menu_(menu) {}
  void CheckItem(UINT commandId, bool checked);

 private:
  HMENU menu_;
};

// Creates the frame menu around GetMenu(frame), unless it exists or the teardown has deleted
// it: the start-up timer may fire while the program ends. Any thread.
void CreateFrameMenu(HWND frame);

// Deletes the frame menu, if it exists, for good (teardown). GUI thread.
void DeleteFrameMenu();

// Runs fn(menu) with the frame menu while holding it against deletion; returns false, without
// calling fn, when the frame menu does not exist. Any thread.
bool WithFrameMenu(void (*fn)(TFrameMenu& menu));

// Check marks of the Frequency items from the output rate (CheckedRateItem), through the frame
// menu. Does nothing while the frame menu does not exist (the deferred menu step sets them
// when it makes it). Any thread.
void UpdateRateChecks();

// The deferred menu step: CreateFrameMenu for the frame window, then UpdateRateChecks.
void DeferredMenuStep();

// A playback timer with the deferred menu step put in front of its callbacks (above). It
// starts its timers on inner, which must outlive it. Supports one periodic timer at a time,
// as the engine uses it.
class TMenuStepTimer : public PlaybackTimer {
 public:
  explicit TMenuStepTimer(PlaybackTimer& inner) : inner_(inner) {}

  // Schedules the menu step and starts the one-shot start-up timer that runs it after delayMs.
  // GUI thread, once, at the panel's set-up.
  void ScheduleMenuStep(uint32_t delayMs, uint32_t resolutionMs);
  // Withdraws a step not yet run and kills the start-up timer, waiting for a step that is
  // running. GUI thread (teardown).
  void CancelMenuStep();

  TimerId StartPeriodic(uint32_t periodMs, TimerCallbackFn callback, void* context) override;
  TimerId StartOneShot(uint32_t delayMs, uint32_t resolutionMs, TimerCallbackFn callback,
                       void* context) override;
  void Kill(TimerId id) override { inner_.Kill(id); }

 private:
  // What the inner timers call: the menu step when it is pending, else the callback given.
  static void OneShotCallback(void* self);
  static void PeriodicCallback(void* self);
  bool TakeMenuStep();

  PlaybackTimer& inner_;
  std::atomic<bool> menuStepPending_{false};
  TimerId oneShot_ = 0;  // the start-up timer (GUI thread)
  // The periodic timer's own work: set before the inner timer starts, which orders it before
  // every callback of that timer.
  std::atomic<TimerCallbackFn> periodic_{nullptr};
  std::atomic<void*> periodicContext_{nullptr};
};

}  // namespace mixorama
