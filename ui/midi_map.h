// Controllers, part one: MIDI messages, what a control is bound to, and the MIDI map file.
//
// A control is what a person moves or presses on a controller: a note (a pad or a key), a
// control change (a fader, a knob, a button) or the pitch bend, on one of 16 channels. A
// mapping binds controls to actions: a slot's level, the map's X or Y, a slot's lock or mute,
// the play button, Sync. A binding names one channel or any channel; for a message both may
// match, and the binding of its own channel wins. The default mapping binds, on any channel,
// controls 20 to 27 to the levels of slots 1 to 8, controls 28 and 29 to map X and Y, notes 36
// to 43 to the mutes of slots 1 to 8, notes 44 to 51 to their locks, note 52 to play and note
// 53 to Sync.
//
// The MIDI map file keeps a mapping as text, one binding a line (docs/midi.md):
//
//   MIXORAMA-MIDI-MAP 1.0
//   any cc 20 = level 1
//   10 note 36 = mute 1
//   any bend = map x
//   end
//
// read by the rules of every versioned text file of the program (ui/text_file.h); in a file of
// a higher minor version a line with a kind or an action this version does not know is
// skipped, and nothing is taken from a refused file.
//
// Everything here is plain computation over memory, for any thread that owns its objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mixorama {

inline constexpr int kMidiMapMajorVersion = 1;
inline constexpr int kMidiMapMinorVersion = 0;
// Every control bound once is under 120 KB of text; anything much larger is not a map.
inline constexpr size_t kMidiMapMaxBytes = 256 * 1024;

enum class MidiKind : uint8_t { kControl, kNote, kBend };
inline constexpr int kMidiKindCount = 3;

// One message, as the mapping sees it.
struct MidiEvent {
  int channel = 1;  // 1..16
  MidiKind kind = MidiKind::kControl;
  int number = 0;  // note or controller number 0..127; 0 for the pitch bend
  // 0..127: a note on's velocity (0 for a note off), a control change's value, the pitch
  // bend's high 7 bits.
  int value = 0;
};

// Decodes one complete message: note off (0x8n), note on (0x9n; velocity 0 is a note off),
// control change (0xBn) and pitch bend (0xEn), each three bytes. False, with event untouched,
// for every other message (system messages, the other channel messages), for a first byte
// below 0x80, a wrong length or a data byte of 0x80 or more.
bool DecodeMidi(const uint8_t* bytes, size_t count, MidiEvent& event);

enum class ActionKind : uint8_t {
  kNone,
  kSlotLevel,  // continuous
  kMapX,       // continuous
  kMapY,       // continuous
  kSlotLock,   // button
  kSlotMute,   // button
  kPlay,       // button
  kSync,       // button
};

// What a control does. slot is 0..7 for the slot actions, -1 for the others.
struct ControlAction {
  ActionKind kind = ActionKind::kNone;
  int8_t slot = -1;
};
bool operator==(const ControlAction& a, const ControlAction& b);

// True for the actions that take the control's value (level, map X, map Y); the others act as
// buttons.
bool IsContinuous(ActionKind kind);

inline constexpr int kAnyChannel = 0;

// A control as a binding names it. channel is 1..16 or kAnyChannel.
struct MidiControl {
  int channel = kAnyChannel;
  MidiKind kind = MidiKind::kControl;
  int number = 0;  // 0..127; 0 for the pitch bend
};
bool operator==(const MidiControl& a, const MidiControl& b);

struct MidiBinding {
  MidiControl control;
  ControlAction action;
};

// A set of bindings, at most one per channel, kind and number. A fixed table: binding,
// finding and removing never allocate.
class MidiMapping {
 public:
  // The action for a message: its channel's binding, else the any-channel one, else none.
  ControlAction Find(const MidiEvent& event) const;
  // The action bound to exactly this control (kind kNone when there is none).
  ControlAction Bound(const MidiControl& control) const;
  // Binds control to action, replacing a binding of the same channel, kind and number. An
  // action of kind kNone removes the binding.
  void Bind(const MidiControl& control, ControlAction action);
  void Clear();
  // Every binding in the file's order: any channel first, then channels 1 to 16; within a
  // channel control changes, notes, then the pitch bend; numbers upward.
  std::vector<MidiBinding> Bindings() const;
  bool operator==(const MidiMapping& other) const;

 private:
  static constexpr int kNumbers = 128;
  ControlAction table_[17][kMidiKindCount][kNumbers] = {};
};

// The default mapping (above).
MidiMapping DefaultMidiMapping();

// An action as the MIDI map file writes it ("level 3", "map x", "sync"); "" for kNone.
std::string ActionText(const ControlAction& action);
// Every action a control can be bound to, once each: levels, map X and Y, locks, mutes of slots
// 1 to 8 in turn, then play and Sync.
std::vector<ControlAction> EveryAction();

// Reads a MIDI map file's bytes. On success fills out and returns true; on any fault returns
// false with out untouched and message holding the one text to show (ui/text_file.h).
bool ParseMidiMap(const char* bytes, size_t size, MidiMapping& out, std::string& message);

// The text of a MIDI map file of the current version for mapping. Lines end in CR LF.
std::string WriteMidiMap(const MidiMapping& mapping);

}  // namespace mixorama
