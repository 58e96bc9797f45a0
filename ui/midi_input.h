// Controllers, part two: from a message to an action on the mix. A MidiInput takes messages as
// they arrive (Receive: learn, the button rule, the mapping) and queues the actions; Drain
// applies them through the same functions as the mouse and the panel (the map rules, Sync, the
// play button), on the front end's ControllerSurface.
//
// The actions, applied by ApplyControlAction:
//   slot level  value v: target 1 + floor(v * 349 / 127), locked 1, muted 0, on any slot,
//               loaded or not; nothing else (no volume, no cursor, no following the cursor).
//               The square shows it locked.
//   map X, Y    the cursor's x or y becomes floor(v * 349 / 127), as the mouse moving to that
//               point of the map; the other coordinate is the cursor's while the map-hover
//               flag is set, 175 while it is clear.
//   lock, mute  a left or right click with the slot's keypad key held.
//   play, Sync  the play button, the Sync button.
// A button acts when pressed: a note on with a velocity above 0, or a control change or bend
// value of 64 or more after one below 64 (a control's first value counts as following one
// below 64).
//
// The queue is bounded (kCapacity actions) and never allocates. A continuous action queued
// last is replaced by a newer value of the same action, so the mix ends as if every message
// had been applied in order; when the queue is full an action is dropped and counted.
//
// Threads: a MidiInput and its surface belong to one thread (the GUI thread, the renderer's,
// the worklet's); Drain is called without Mixer::lock held.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/mixer.h"
#include "ui/map_rules.h"
#include "ui/midi_map.h"

namespace mixorama {

// An action to apply, with the control's value for a continuous one (0..127).
struct QueuedAction {
  ControlAction action;
  uint8_t value = 0;
};

// The bounded first-in first-out queue of actions described above.
class ActionQueue {
 public:
  static constexpr size_t kCapacity = 256;

  // Queues a, or replaces the value of the last entry when that is the same continuous action.
  // False, counting a drop, when the queue is full.
  bool Push(const QueuedAction& a);
  // Takes the oldest entry; false when the queue is empty.
  bool Pop(QueuedAction& a);
  void Clear() { head_ = count_ = 0; }

  size_t size() const { return count_; }
  uint64_t dropped() const { return dropped_; }
  size_t mostHeld() const { return mostHeld_; }  // the largest size since construction

 private:
  QueuedAction entries_[kCapacity];
  size_t head_ = 0;
  size_t count_ = 0;
  uint64_t dropped_ = 0;
  size_t mostHeld_ = 0;
};

// What a front end lends the actions: its cursor, its map moves, its drawing, its play button.
class ControllerSurface {
 public:
  virtual ~ControllerSurface() = default;
  // Where the map's cursor is, in map coordinates: where a click acts.
  virtual MapPoint Cursor() = 0;
  // A map move to (x, y) as the mouse moving there makes it (MapMouseMove, its drawing), with
  // the cursor now at (x, y). (x, y) lies in the tracked area.
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  // Draws one square.
  virtual void Fill(const SquareFill& fill) = 0;
  // The play button, pressed.
  virtual void PressPlay() = 0;
};

// The map coordinate of a continuous value 0..127: floor(v * 349 / 127), 0..349.
int32_t MapCoordinate(int value);

// Applies one action (above). GUI thread, without Mixer::lock held.
void ApplyControlAction(Mixer& m, ControllerSurface& surface, const QueuedAction& a);

// What Receive made of a message.
enum class MidiResult {
  kIgnored,  // not used: not a message of the mapping's kinds, unbound, a button not pressed
  kQueued,   // an action was queued (or a queued value replaced)
  kDropped,  // an action was due but the queue was full
  kLearned,  // the control was bound to the action being learned; nothing else happened
};

class MidiInput {
 public:
  explicit MidiInput(const MidiMapping& mapping = DefaultMidiMapping());

  const MidiMapping& mapping() const { return mapping_; }
  // Replaces the mapping; what is queued stays queued.
  void SetMapping(const MidiMapping& mapping) { mapping_ = mapping; }
  // Removes the binding of exactly this control.
  void Unbind(const MidiControl& control) { mapping_.Bind(control, ControlAction{}); }

  // Learn: the next control moved (a note on with a velocity above 0, a control change, a
  // bend) is bound to action on its own channel, replacing an earlier binding of that channel,
  // kind and number, and does nothing else. An action of kind kNone ends learning.
  void Learn(ControlAction action) { learning_ = action; }
  bool learning() const { return learning_.kind != ActionKind::kNone; }
  // The control bound by the last learn.
  const MidiControl& learned() const { return learned_; }

  // Takes one complete message (bytes, count; see DecodeMidi) as it arrives.
  MidiResult Receive(const uint8_t* bytes, size_t count);
  // Applies everything queued, oldest first, through surface.
  void Drain(Mixer& m, ControllerSurface& surface);

  const ActionQueue& queue() const { return queue_; }
  bool pending() const { return queue_.size() > 0; }

 private:
  MidiMapping mapping_;
  ActionQueue queue_;
  ControlAction learning_;
  MidiControl learned_;
  // Per channel 0..15: whether each controller (0..127) and the bend (128) was last at 64 or
  // more, for the button rule.
  bool high_[16][129] = {};
};

}  // namespace mixorama
