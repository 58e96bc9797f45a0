#include "ui/midi_input.h"

namespace mixorama {

namespace {

// The other coordinate of a map move from a controller while the map-hover flag is clear.
constexpr int32_t kMapMiddle = 175;

}  // namespace

bool ActionQueue::Push(const QueuedAction& a) {
  if (count_ > 0 && IsContinuous(a.action.kind)) {
    QueuedAction& last = entries_[(head_ + count_ - 1) % kCapacity];
    if (last.action == a.action) {
      last.value = a.value;
      return true;
    }
  }
  if (count_ == kCapacity) {
    ++dropped_;
    return false;
  }
  entries_[(head_ + count_) % kCapacity] = a;
  ++count_;
  if (count_ > mostHeld_) mostHeld_ = count_;
  return true;
}

bool ActionQueue::Pop(QueuedAction& a) {
  if (count_ == 0) return false;
  a = entries_[head_];
  head_ = (head_ + 1) % kCapacity;
  --count_;
  return true;
}

int32_t MapCoordinate(int value) {
  return value * (kMapSize - 1) / 127;
}

void ApplyControlAction(Mixer& m, ControllerSurface& surface, const QueuedAction& a) {
  const int slot = a.action.slot;
  switch (a.action.kind) {
    case ActionKind::kNone:
      break;
    case ActionKind::kSlotLevel:
      surface.Fill(ApplySlotLevel(m, slot, a.value));
      break;
    case ActionKind::kMapX:
    case ActionKind::kMapY: {
      const int32_t other =
          m.mapHover != 0
              ? (a.action.kind == ActionKind::kMapX ? surface.Cursor().y : surface.Cursor().x)
              : kMapMiddle;
      const int32_t v = MapCoordinate(a.value);
      if (a.action.kind == ActionKind::kMapX) {
        surface.MoveTo(v, other);
      } else {
        surface.MoveTo(other, v);
      }
      break;
    }
    case ActionKind::kSlotLock:
    case ActionKind::kSlotMute: {
      bool keys[kChannelCount] = {};
      keys[slot] = true;
      const MapPoint p = surface.Cursor();
      const ClickResult r = a.action.kind == ActionKind::kSlotLock
                                ? MapLeftClick(m, keys, p.x, p.y)
                                : MapRightClick(m, keys, p.x, p.y);
      surface.Fill(r.fill);
      break;
    }
    case ActionKind::kPlay:
      surface.PressPlay();
      break;
    case ActionKind::kSync:
      Sync(m);
      break;
  }
}

MidiInput::MidiInput(const MidiMapping& mapping) : mapping_(mapping) {}

MidiResult MidiInput::Receive(const uint8_t* bytes, size_t count) {
  MidiEvent e;
  if (!DecodeMidi(bytes, count, e)) return MidiResult::kIgnored;
  // A button's edge is seen by every value, whatever the control is bound to or learning does.
  bool pressed = e.value > 0;
  if (e.kind != MidiKind::kNote) {
    bool& high = high_[e.channel - 1][e.kind == MidiKind::kBend ? 128 : e.number];
    pressed = e.value >= 64 && !high;
    high = e.value >= 64;
  }
  if (learning()) {
    if (e.kind == MidiKind::kNote && e.value == 0) return MidiResult::kIgnored;
    learned_ = MidiControl{e.channel, e.kind, e.number};
    mapping_.Bind(learned_, learning_);
    learning_ = ControlAction{};
    return MidiResult::kLearned;
  }
  const ControlAction action = mapping_.Find(e);
  if (action.kind == ActionKind::kNone) return MidiResult::kIgnored;
  if (!IsContinuous(action.kind) && !pressed) return MidiResult::kIgnored;
  return queue_.Push(QueuedAction{action, static_cast<uint8_t>(e.value)}) ? MidiResult::kQueued
                                                                          : MidiResult::kDropped;
}

void MidiInput::Drain(Mixer& m, ControllerSurface& surface) {
  QueuedAction a;
  while (queue_.Pop(a)) ApplyControlAction(m, surface, a);
}

}  // namespace mixorama
