// Controllers: decoding messages, the default mapping's actions on the mix, the button rule,
// learn, the coalescing queue and the MIDI map file.
#include "ui/midi_input.h"
#include "ui/midi_map.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

// The bytes of "B0 1C 40" (the script's midi words).
Bytes Hex(const std::string& words) {
  return Script("0 midi " + words).at(0).bytes;
}

TEST(MidiDecode, UsesNotesControlsAndBendAndIgnoresEverythingElse) {
  const struct {
    const char* bytes;
    int channel, kind, number, value;  // kind -1: ignored
  } cases[] = {
      {"90 3C 40", 1, 1, 60, 64},  {"9F 3C 00", 16, 1, 60, 0},   {"85 3C 40", 6, 1, 60, 0},
      {"B3 14 7F", 4, 0, 20, 127}, {"E0 7F 40", 1, 2, 0, 64},    {"EF 00 01", 16, 2, 0, 1},
      {"F8", 0, -1, 0, 0},         {"F0 7E 7F F7", 0, -1, 0, 0}, {"F2 10 20", 0, -1, 0, 0},
      {"A0 3C 40", 0, -1, 0, 0},   {"C0 05", 0, -1, 0, 0},       {"D0 05 00", 0, -1, 0, 0},
      {"90 3C", 0, -1, 0, 0},      {"B0 14 40 00", 0, -1, 0, 0}, {"90 80 40", 0, -1, 0, 0},
      {"B0 14 80", 0, -1, 0, 0},   {"3C 40 00", 0, -1, 0, 0},    {"", 0, -1, 0, 0},
  };
  for (const auto& c : cases) {
    const Bytes b = Hex(c.bytes);
    MidiEvent e{99, MidiKind::kNote, 99, 99};
    const bool used = DecodeMidi(b.data(), b.size(), e);
    EXPECT_EQ(std::vector<int>({used, e.channel, static_cast<int>(e.kind), e.number, e.value}),
              c.kind < 0 ? std::vector<int>({0, 99, 1, 99, 99})  // untouched
                         : std::vector<int>({1, c.channel, c.kind, c.number, c.value}))
        << c.bytes;
  }
}

class Controller : public Engine {
 protected:
  MidiInput input;
  ScriptCursor cursor;
  MapDrawing drawing;
  void SetUp() override {
    for (int s : {0, 3}) ASSERT_EQ(LoadFrames({{0, 0}, {0, 0}, {0, 0}}, s), 1);
  }
  // Receives the messages and applies what they queued in one drain, as a front end does
  // before a tick; returns what the last one made.
  template <class... More>
  MidiResult Send(const std::string& words, const More&... more) {
    MidiResult r{};
    for (const std::string& w : {words, std::string(more)...}) {
      const Bytes b = Hex(w);
      r = input.Receive(b.data(), b.size());
    }
    drawing = MapDrawing();
    ScriptSurface surface(m, cursor, drawing);
    input.Drain(m, surface);
    return r;
  }
  std::vector<int32_t> Slot(int s) { return {m.targetVolume[s], m.locked[s], m.muted[s]}; }
};

// Every action of the default mapping, on any channel, from the state each case leaves.
TEST_F(Controller, TheDefaultMappingsActions) {
  m.muted[1] = 1;
  Send("B5 15 00");  // slot 2's fader at 0: an empty, muted slot
  EXPECT_EQ(Slot(1), std::vector<int32_t>({1, 1, 0}));
  EXPECT_EQ(drawing.fills[0].color, kLockedColor);
  EXPECT_EQ(m.live, 0);  // a fader does not make the mix live
  for (auto [value, target] : {std::pair{"01", 3}, {"40", 176}, {"7E", 347}, {"7F", 350}}) {
    Send(std::string("BF 14 ") + value);
    EXPECT_EQ(Slot(0), std::vector<int32_t>({target, 1, 0})) << value;
  }
  Send("B0 1C 7F");  // map X off the map: y is the middle
  EXPECT_EQ(std::vector<int32_t>({cursor.x, cursor.y, m.live, m.mapHover, m.targetVolume[3]}),
            std::vector<int32_t>({349, 175, 1, 1, ClampedCloseness(349, 175, 3)}));
  EXPECT_EQ(m.targetVolume[0], 350);  // locked by its fader
  Send("B0 1D 00");                   // map Y on the map: x stays
  EXPECT_EQ(std::vector<int32_t>({cursor.x, cursor.y}), std::vector<int32_t>({349, 0}));
  Send("B0 1C 00", "B0 1D 7F");  // two moves in one drain: both, in order
  EXPECT_EQ(std::vector<int32_t>({cursor.x, cursor.y}), std::vector<int32_t>({0, 349}));
  MapMouseMove(m, 400, 0);  // the mouse leaves the map; the mix stays live
  Send("B0 1C 40");
  EXPECT_EQ(std::vector<int32_t>({cursor.x, cursor.y}), std::vector<int32_t>({175, 175}));
  Send("91 2C 01");  // lock slot 1: as a left click with key 1, which frees it
  EXPECT_EQ(Slot(0), std::vector<int32_t>({155, 0, 0}));
  Send("91 27 7F");  // mute slot 4
  EXPECT_EQ(Slot(3), std::vector<int32_t>({1, 0, 1}));
  EXPECT_EQ(drawing.fills[0].color, kMutedColor);
  m.peakLevel = 77;
  m.readPosBytes[3] = 8;
  Send("90 35 7F");  // Sync
  EXPECT_EQ(std::vector<int32_t>({m.peakLevel, m.readPosBytes[3]}), std::vector<int32_t>({0, 0}));
  EXPECT_EQ(Send("90 34 7F"), MidiResult::kQueued);  // play
  EXPECT_TRUE(drawing.pressPlay);
  for (const char* unused : {"90 34 00", "80 34 7F", "B0 1E 7F", "90 35 00", "E0 00 7F"}) {
    EXPECT_EQ(Send(unused), MidiResult::kIgnored) << unused;
  }
  // More squares filled in one drain than there are: the whole map, then the last fill.
  Send("B0 14 7F", "B0 15 7F", "B0 16 7F", "B0 17 7F", "B0 18 7F", "B0 19 7F", "B0 1A 7F",
       "B0 1B 7F", "90 24 7F");
  EXPECT_TRUE(drawing.repaintAll && drawing.fillCount == 1 &&
              drawing.fills[0].color == kMutedColor);
}

// A note on presses every time; a control or bend bound to a button presses when its value
// reaches 64 from below, its first value counting as coming from below, per channel.
TEST_F(Controller, ButtonsPressOnTheRisingEdge) {
  MidiMapping map;
  map.Bind({kAnyChannel, MidiKind::kControl, 64}, {ActionKind::kSync, -1});
  map.Bind({kAnyChannel, MidiKind::kBend, 0}, {ActionKind::kSync, -1});
  map.Bind({kAnyChannel, MidiKind::kNote, 1}, {ActionKind::kSync, -1});
  input.SetMapping(map);
  const std::pair<const char*, MidiResult> steps[] = {
      {"B0 40 64", MidiResult::kQueued}, {"B0 40 7F", MidiResult::kIgnored},
      {"B1 40 40", MidiResult::kQueued}, {"B0 40 3F", MidiResult::kIgnored},
      {"B0 40 40", MidiResult::kQueued}, {"B0 40 40", MidiResult::kIgnored},
      {"E0 00 40", MidiResult::kQueued}, {"E0 7F 3F", MidiResult::kIgnored},
      {"E0 00 41", MidiResult::kQueued}, {"90 01 01", MidiResult::kQueued},
      {"90 01 7F", MidiResult::kQueued}, {"90 01 00", MidiResult::kIgnored},
  };
  for (const auto& [words, result] : steps) EXPECT_EQ(Send(words), result) << words;
}

// A channel's own binding wins over any channel's; learn binds the next control moved on its
// own channel, replacing only that channel's binding, and does nothing else.
TEST_F(Controller, LearnAndChannelBindings) {
  input.Learn({ActionKind::kSlotMute, 3});
  EXPECT_EQ(Send("92 14 00"), MidiResult::kIgnored);  // a note off does not count
  EXPECT_EQ(Send("B2 14 7F"), MidiResult::kLearned);
  EXPECT_FALSE(input.learning());
  EXPECT_EQ(input.learned(), (MidiControl{3, MidiKind::kControl, 20}));
  EXPECT_EQ(Slot(3), std::vector<int32_t>({1, 0, 0}));  // the learning message did nothing
  EXPECT_EQ(Send("B2 14 7F"), MidiResult::kIgnored);    // still high: no press
  Send("B2 14 00");
  Send("B2 14 40");
  EXPECT_EQ(Slot(3), std::vector<int32_t>({1, 0, 1}));
  Send("B3 14 7F");  // channel 4 keeps the default: slot 1's level
  EXPECT_EQ(Slot(0), std::vector<int32_t>({350, 1, 0}));
  input.Learn({ActionKind::kMapX, -1});
  Send("B2 14 00");  // replaces the mute on channel 3
  EXPECT_EQ(input.mapping().Bound({3, MidiKind::kControl, 20}), (ControlAction{ActionKind::kMapX}));
  input.Unbind({kAnyChannel, MidiKind::kControl, 20});
  EXPECT_EQ(Send("B4 14 7F"), MidiResult::kIgnored);
  EXPECT_EQ(input.mapping().Bindings().size(), DefaultMidiMapping().Bindings().size());
}

TEST(ActionQueue, CoalescesOnlyTheLastContinuousEntryCountsDropsAndKeepsOrder) {
  ActionQueue q;
  const ControlAction x{ActionKind::kMapX}, y{ActionKind::kMapY}, sync{ActionKind::kSync},
      level1{ActionKind::kSlotLevel, 0}, level2{ActionKind::kSlotLevel, 1};
  const QueuedAction pushes[] = {{x, 1}, {x, 2}, {y, 3},      {x, 4},     {x, 5},
                                 {sync}, {sync}, {level1, 6}, {level2, 7}};
  for (const QueuedAction& a : pushes) EXPECT_TRUE(q.Push(a));
  std::vector<int> popped;  // kind, slot + 1, value
  for (QueuedAction a; q.Pop(a);)
    popped.push_back(static_cast<int>(a.action.kind) * 100 + (a.action.slot + 1) * 10 + a.value);
  EXPECT_EQ(popped, std::vector<int>({202, 303, 205, 700, 700, 116, 127}));
  for (size_t i = 0; i < ActionQueue::kCapacity; ++i) q.Push({i % 2 ? x : y, 0});
  EXPECT_FALSE(q.Push({y, 9}));
  EXPECT_FALSE(q.Push({sync, 0}));
  EXPECT_TRUE(q.Push({x, 9}));  // the last entry takes it
  EXPECT_EQ(std::vector<uint64_t>({q.size(), q.dropped(), q.mostHeld()}),
            std::vector<uint64_t>({ActionQueue::kCapacity, 2, ActionQueue::kCapacity}));
  QueuedAction a;  // in order across the end of its storage
  for (size_t i = 0; i < ActionQueue::kCapacity; ++i)
    ASSERT_TRUE(q.Pop(a) && a.action == (i % 2 ? x : y));
  EXPECT_EQ(a.value, 9);
}

std::string ParseMap(const std::string& text, MidiMapping* out = nullptr) {
  MidiMapping mapping;
  std::string message;
  if (!ParseMidiMap(text.data(), text.size(), mapping, message)) return message;
  if (out != nullptr) *out = mapping;
  return "";
}

// The rules every text file of the program keeps are the setup file tests'; here, the map's own.
TEST(MidiMapFile, RefusesWithOneMessageNamingTheLine) {
  const std::string head = "MIXORAMA-MIDI-MAP 1.0\n";
  auto line = [](int n, const std::string& why) {
    return "MIDI map error, line " + std::to_string(n) + " : " + why;
  };
  const std::string notABinding = line(2, "a line must read: channel kind number = action");
  const std::pair<std::string, std::string> cases[] = {
      {"", "The MIDI map is empty"},
      {"MIXORAMA-SETUP 1.0\nend\n", "This is not a Mixorama MIDI map"},
      {"MIXORAMA-MIDI-MAP 2.0\nend\n", "This MIDI map needs a newer version of Mixorama"},
      {head + "any cc 1 = sync\n", "The MIDI map is incomplete: its end line is missing"},
      {head + "17 cc 1 = sync\nend\n", line(2, "the channel must be 1 to 16 or any")},
      {head + "any pad 1 = sync\nend\n", line(2, "unknown kind 'pad'")},
      {head + "any cc 128 = sync\nend\n", line(2, "the number must be 0 to 127")},
      {head + "any cc = sync\nend\n", notABinding},
      {head + "any bend 3 = sync\nend\n", notABinding},
      {head + "any cc 1 sync\nend\n", notABinding},
      {head + "any cc 1 = play 2\nend\n", notABinding},
      {head + "any cc 1 = levle 2\nend\n", line(2, "unknown action 'levle'")},
      {head + "any cc 1 = map z\nend\n", line(2, "unknown action 'map z'")},
      {head + "any cc 1 = lock 9\nend\n", line(2, "slots are 1 to 8")},
      {head + "any cc 1 = mute\nend\n", line(2, "slots are 1 to 8")},
      {head + "any cc 1 = sync\n# x\nANY CC 1 = play\nend\n",
       line(4, "this control is bound twice")},
      {"MIXORAMA-MIDI-MAP 1.2\nany cc 1 = lock 0\nend\n", line(2, "slots are 1 to 8")},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(ParseMap(text), message) << text;
  // A later minor version may bring kinds and actions; the rest is still checked.
  MidiMapping later;
  EXPECT_EQ(ParseMap("MIXORAMA-MIDI-MAP 1.2\nany pad 1 = sync\n3 cc 7 = fade 2\n"
                     "16 note 0 = Lock 8\nend\n",
                     &later),
            "");
  EXPECT_EQ(later.Bindings().size(), 1u);
  EXPECT_EQ(later.Bound({16, MidiKind::kNote, 0}), (ControlAction{ActionKind::kSlotLock, 7}));
}

TEST(MidiMapFile, WritesEveryBindingAndReadsItBack) {
  MidiMapping map = DefaultMidiMapping();
  map.Bind({16, MidiKind::kBend, 0}, {ActionKind::kMapY, -1});
  map.Bind({1, MidiKind::kNote, 127}, {ActionKind::kSlotLevel, 7});
  const std::string text = WriteMidiMap(map);
  EXPECT_EQ(text.substr(0, 23), "MIXORAMA-MIDI-MAP 1.0\r\n");
  EXPECT_NE(text.find("\r\nany cc 20 = level 1\r\n"), std::string::npos);
  EXPECT_NE(
      text.find("\r\nany note 53 = sync\r\n1 note 127 = level 8\r\n16 bend = map y\r\nend\r\n"),
      std::string::npos);
  MidiMapping back;
  EXPECT_EQ(ParseMap("\xEF\xBB\xBF" + text, &back), "");
  EXPECT_TRUE(back == map);
  EXPECT_EQ(WriteMidiMap(back), text);
}

}  // namespace
}  // namespace mixorama::test
