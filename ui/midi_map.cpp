#include "ui/midi_map.h"

#include <cstring>

#include "engine/texts.h"
#include "ui/text_file.h"
#include "ui/text_trim.h"

namespace mixorama {

namespace {

constexpr TextFileFormat kMapFormat = {TextFile::kMidiMap, "MIXORAMA-MIDI-MAP",
                                       kMidiMapMajorVersion, kMidiMapMinorVersion,
                                       kMidiMapMaxBytes};
constexpr MidiKind kKindOrder[kMidiKindCount] = {MidiKind::kControl, MidiKind::kNote,
                                                 MidiKind::kBend};
constexpr const char* kKindWords[kMidiKindCount] = {"cc", "note", "bend"};  // by MidiKind

// The action words; a slot action is followed by the slot number, map by x or y.
struct ActionWord {
  ActionKind kind;
  const char* words;
};
constexpr ActionWord kActionWords[] = {
    {ActionKind::kSlotLevel, "level"}, {ActionKind::kMapX, "map x"},
    {ActionKind::kMapY, "map y"},      {ActionKind::kSlotLock, "lock"},
    {ActionKind::kSlotMute, "mute"},   {ActionKind::kPlay, "play"},
    {ActionKind::kSync, "sync"},
};

bool HasSlot(ActionKind kind) {
  return kind == ActionKind::kSlotLevel || kind == ActionKind::kSlotLock ||
         kind == ActionKind::kSlotMute;
}

// The words of a line, split at blanks.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsTextSpace(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !IsTextSpace(text[end])) ++end;
    if (end > i) words.push_back(text.substr(i, end - i));
    i = end;
  }
  return words;
}

// Reads "CHANNEL KIND [NUMBER] = ACTION [SLOT]" (lower case). Returns false with fault set;
// skip is set instead for a kind or action this version does not know when laterMinor.
bool ParseBinding(const std::string& line, bool laterMinor, MidiBinding& binding, bool& skip,
                  LineFault& fault) {
  skip = false;
  const size_t equals = line.find('=');
  if (equals == std::string::npos || line.find('=', equals + 1) != std::string::npos) {
    fault = {FileFault::kMapNotABinding, ""};
    return false;
  }
  const std::vector<std::string> left = Words(line.substr(0, equals));
  const std::vector<std::string> right = Words(line.substr(equals + 1));
  if (left.size() < 2 || left.size() > 3 || right.empty() || right.size() > 2) {
    fault = {FileFault::kMapNotABinding, ""};
    return false;
  }
  MidiControl& c = binding.control;
  int channel = 0;
  if (left[0] == "any") {
    c.channel = kAnyChannel;
  } else if (ParseDigits(left[0], channel) && channel >= 1 && channel <= 16) {
    c.channel = channel;
  } else {
    fault = {FileFault::kMapBadChannel, ""};
    return false;
  }
  int kind = 0;
  while (kind < kMidiKindCount && left[1] != kKindWords[kind]) ++kind;
  if (kind == kMidiKindCount) {
    if (laterMinor) return skip = true, false;
    fault = {FileFault::kMapBadKind, Quoted(left[1])};
    return false;
  }
  c.kind = static_cast<MidiKind>(kind);
  c.number = 0;
  if ((c.kind == MidiKind::kBend) != (left.size() == 2)) {
    fault = {FileFault::kMapNotABinding, ""};
    return false;
  }
  if (left.size() == 3 && (!ParseDigits(left[2], c.number) || c.number > 127)) {
    fault = {FileFault::kMapBadNumber, ""};
    return false;
  }
  const std::string action = right.size() == 2 && right[0] == "map" ? "map " + right[1] : right[0];
  const ActionWord* found = nullptr;
  for (const ActionWord& a : kActionWords) {
    if (action == a.words) found = &a;
  }
  if (found == nullptr) {
    if (laterMinor) return skip = true, false;
    fault = {FileFault::kMapBadAction, Quoted(action)};
    return false;
  }
  binding.action = ControlAction{found->kind, -1};
  const bool slotGiven = right.size() == 2 && right[0] != "map";
  if (HasSlot(found->kind) != slotGiven) {
    fault = {HasSlot(found->kind) ? FileFault::kMapBadSlot : FileFault::kMapNotABinding, ""};
    return false;
  }
  int slot = 0;
  if (slotGiven) {
    if (!ParseDigits(right[1], slot) || slot < 1 || slot > 8) {
      fault = {FileFault::kMapBadSlot, ""};
      return false;
    }
    binding.action.slot = static_cast<int8_t>(slot - 1);
  }
  return true;
}

}  // namespace

bool DecodeMidi(const uint8_t* bytes, size_t count, MidiEvent& event) {
  if (count != 3) return false;  // every message used is three bytes long
  const uint8_t status = bytes[0];
  if (status < 0x80 || bytes[1] >= 0x80 || bytes[2] >= 0x80) return false;
  MidiEvent e;
  e.channel = (status & 0x0F) + 1;
  switch (status & 0xF0) {
    case 0x80:
    case 0x90:
      e.kind = MidiKind::kNote;
      e.number = bytes[1];
      e.value = (status & 0xF0) == 0x90 ? bytes[2] : 0;
      break;
    case 0xB0:
      e.kind = MidiKind::kControl;
      e.number = bytes[1];
      e.value = bytes[2];
      break;
    case 0xE0:
      e.kind = MidiKind::kBend;
      e.value = bytes[2];  // the low 7 bits come first and are not used
      break;
    default:
      return false;
  }
  event = e;
  return true;
}

bool operator==(const ControlAction& a, const ControlAction& b) {
  return a.kind == b.kind && a.slot == b.slot;
}

bool operator==(const MidiControl& a, const MidiControl& b) {
  return a.channel == b.channel && a.kind == b.kind && a.number == b.number;
}

bool IsContinuous(ActionKind kind) {
  return kind == ActionKind::kSlotLevel || kind == ActionKind::kMapX || kind == ActionKind::kMapY;
}

ControlAction MidiMapping::Find(const MidiEvent& e) const {
  const int kind = static_cast<int>(e.kind);
  const ControlAction own = table_[e.channel][kind][e.number];
  return own.kind != ActionKind::kNone ? own : table_[kAnyChannel][kind][e.number];
}

ControlAction MidiMapping::Bound(const MidiControl& c) const {
  return table_[c.channel][static_cast<int>(c.kind)][c.number];
}

void MidiMapping::Bind(const MidiControl& c, ControlAction action) {
  table_[c.channel][static_cast<int>(c.kind)][c.number] = action;
}

void MidiMapping::Clear() {
  *this = MidiMapping();
}

std::vector<MidiBinding> MidiMapping::Bindings() const {
  std::vector<MidiBinding> list;
  for (int channel = 0; channel <= 16; ++channel) {
    for (MidiKind kind : kKindOrder) {
      for (int n = 0; n < kNumbers; ++n) {
        const ControlAction a = table_[channel][static_cast<int>(kind)][n];
        if (a.kind != ActionKind::kNone) list.push_back({MidiControl{channel, kind, n}, a});
      }
    }
  }
  return list;
}

bool MidiMapping::operator==(const MidiMapping& other) const {
  return std::memcmp(table_, other.table_, sizeof table_) == 0;
}

MidiMapping DefaultMidiMapping() {
  MidiMapping m;
  for (int s = 0; s < 8; ++s) {
    const int8_t slot = static_cast<int8_t>(s);
    m.Bind({kAnyChannel, MidiKind::kControl, 20 + s}, {ActionKind::kSlotLevel, slot});
    m.Bind({kAnyChannel, MidiKind::kNote, 36 + s}, {ActionKind::kSlotMute, slot});
    m.Bind({kAnyChannel, MidiKind::kNote, 44 + s}, {ActionKind::kSlotLock, slot});
  }
  m.Bind({kAnyChannel, MidiKind::kControl, 28}, {ActionKind::kMapX, -1});
  m.Bind({kAnyChannel, MidiKind::kControl, 29}, {ActionKind::kMapY, -1});
  m.Bind({kAnyChannel, MidiKind::kNote, 52}, {ActionKind::kPlay, -1});
  m.Bind({kAnyChannel, MidiKind::kNote, 53}, {ActionKind::kSync, -1});
  return m;
}

bool ParseMidiMap(const char* bytes, size_t size, MidiMapping& out, std::string& message) {
  MidiMapping parsed;
  // Lines are read without regard to letter case.
  const EntryReader entry = [&parsed](const std::string& text, bool laterMinor, LineFault& fault) {
    std::string line = text;
    for (char& c : line) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    MidiBinding b;
    bool skip = false;
    if (!ParseBinding(line, laterMinor, b, skip, fault)) return skip;
    if (parsed.Bound(b.control).kind != ActionKind::kNone) {
      fault = {FileFault::kMapBoundTwice, ""};
      return false;
    }
    parsed.Bind(b.control, b.action);
    return true;
  };
  if (!ReadTextFile(bytes, size, kMapFormat, entry, message)) return false;
  out = parsed;
  return true;
}

std::string ActionText(const ControlAction& action) {
  for (const ActionWord& a : kActionWords) {
    if (a.kind != action.kind) continue;
    return HasSlot(a.kind) ? a.words + (" " + std::to_string(action.slot + 1)) : a.words;
  }
  return "";
}

std::vector<ControlAction> EveryAction() {
  std::vector<ControlAction> actions;
  for (const ActionWord& a : kActionWords) {
    for (int s = 0; s < (HasSlot(a.kind) ? kChannelCount : 1); ++s) {
      actions.push_back(ControlAction{a.kind, static_cast<int8_t>(HasSlot(a.kind) ? s : -1)});
    }
  }
  return actions;
}

std::string WriteMidiMap(const MidiMapping& mapping) {
  std::string text;
  const auto line = [&text](const std::string& s) { text += s + "\r\n"; };
  line(TextFileHeader(kMapFormat));
  line("# One binding a line: channel (1 to 16, or any), kind (note, cc or bend), number");
  line("# (0 to 127, none for bend) = action: level N, lock N or mute N (slots 1 to 8),");
  line("# map x, map y, play or sync.");
  for (const MidiBinding& b : mapping.Bindings()) {
    const MidiControl& c = b.control;
    std::string s = c.channel == kAnyChannel ? "any" : std::to_string(c.channel);
    s += std::string(" ") + kKindWords[static_cast<int>(c.kind)];
    if (c.kind != MidiKind::kBend) s += " " + std::to_string(c.number);
    line(s + " = " + ActionText(b.action));
  }
  line("end");
  return text;
}

}  // namespace mixorama
