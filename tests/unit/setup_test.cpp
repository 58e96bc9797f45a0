// Setup files and the commands that change slots: the format's refusals, its exact text and
// relative paths, No Wave, the rate change and putting a saved setup in force.
#include <algorithm>

#include "engine/playback.h"
#include "ui/rate_change.h"
#include "ui/setup_file.h"
#include "ui/setup_session.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

const char kSetupPath[] = "C:\\Loops\\set.st";

std::string Parse(const std::string& text, SavedSetup* out = nullptr) {
  SavedSetup setup;
  std::string message;
  if (!ParseSetup(text.data(), text.size(), kSetupPath, setup, message)) return message;
  if (out != nullptr) *out = setup;
  return "";
}

TEST(SetupFormat, RefusesWithOneMessageNamingTheLineOrReads) {
  const std::string head = "MIXORAMA-SETUP 1.0\nrate = 22050\n";
  auto line = [](int n, const char* why) {
    return "Setup file error, line " + std::to_string(n) + " : " + why;
  };
  const std::pair<std::string, std::string> cases[] = {
      {"", "The setup file is empty"},
      {"RIFF....WAVE", "This is not a Mixorama setup file"},
      {"MIXORAMA-SETUPX 1.0\nrate = 11025\nend\n", "This is not a Mixorama setup file"},
      {"MIXORAMA-SETUP 2.0\nrate = 11025\nend\n",
       "This setup file needs a newer version of Mixorama"},
      {"MIXORAMA-SETUP 0.9\nend\n", line(1, "unknown version '0.9'")},
      {head + "slot1.level = 5", "The setup file is incomplete: its end line is missing"},
      {"MIXORAMA-SETUP 1.0\nend\n", "The setup file gives no rate"},
      {"MIXORAMA-SETUP 1.0\n", "The setup file is incomplete: its end line is missing"},
      {head + "rate = 11025\nend\n", line(3, "'rate' is given twice")},
      {"MIXORAMA-SETUP 1.0\nrate = 8000\nend\n", line(2, "the rate must be 11025, 22050 or 44100")},
      {head + "slot9.level = 5\nend\n", line(3, "unknown key 'slot9.level'")},
      {head + "slot1.level = 351\nend\n",
       line(3, "the level must be a whole number from 1 to 350")},
      {head + "slot1.level = 0\nend\n", line(3, "the level must be a whole number from 1 to 350")},
      {head + "slot2.muted = 2\nend\n", line(3, "muted must be 0 or 1")},
      {head + "Slot3.Path = a\nslot3.path = b\nend\n", line(4, "'slot3.path' is given twice")},
      {head + "slot1.path = " + std::string(251, 'x') + "\nend\n",
       line(3, "the path is longer than 259 characters")},
      {head + "no equals sign\nend\n", line(3, "a line must read key = value")},
      {head + "end\nrate = 1\n", line(4, "text after the end line")},
      {head + "slot1.path = a\x7F\nend\n", line(3, "the line holds a control character")},
      {head + "slot1.path = a\x01\nend\n", line(3, "the line holds a control character")},
      {head + "slot4.locked = 1\nslot4.muted = 1\nend\n",
       "Setup file error : slot 4 cannot be both locked and muted"},
      {head + "slot1.level = 000350\nend\n", ""},
      // A later minor version may add keys; the known ones are still checked.
      {"MIXORAMA-SETUP 1.7\nrate = 22050\ncolour = red\nend\n", ""},
      {"MIXORAMA-SETUP 1.7\nrate = 2\nend\n", line(2, "the rate must be 11025, 22050 or 44100")},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(Parse(text), message) << text;
  for (const char* rate : {"11026", "22049", "22051", "44099"}) {  // near the offered ones
    EXPECT_EQ(Parse(std::string("MIXORAMA-SETUP 1.0\nrate = ") + rate + "\nend\n"),
              line(2, "the rate must be 11025, 22050 or 44100"));
  }
  // Every cut before the end line is refused.
  const std::string whole = "MIXORAMA-SETUP 1.0\r\nrate = 22050\r\nslot1.path = a.wav\r\nend\r\n";
  for (size_t n = 0; n < whole.size() - 5; ++n) EXPECT_NE(Parse(whole.substr(0, n)), "") << n;
}

TEST(SetupFormat, WritesThisTextAndReadsItBack) {
  SavedSetup setup;
  setup.outputRate = 44100;
  setup.slots[0] = {"C:\\Loops\\drums\\kick.wav", 250, 1, 0};
  setup.slots[2] = {"D:\\other\\x.wav", 1, 0, 1};
  const std::string text = WriteSetup(setup, kSetupPath);
  std::string want =
      "MIXORAMA-SETUP 1.0\r\n"
      "# Mixorama setup: output rate, then each slot's wave, level (1 to 350),\r\n"
      "# locked and muted (0 or 1). A path that starts with neither a drive nor a\r\n"
      "# separator is relative to the folder of this file.\r\n"
      "rate = 44100\r\n";
  for (int s = 1; s <= 8; ++s) {
    const char* path = s == 1 ? " drums/kick.wav" : s == 3 ? " D:\\other\\x.wav" : "";
    const std::string n = std::to_string(s);
    want += "\r\nslot" + n + ".path =" + path + "\r\nslot" + n +
            ".level = " + (s == 1 ? "250" : "1") + "\r\nslot" + n +
            ".locked = " + (s == 1 ? "1" : "0") + "\r\nslot" + n +
            ".muted = " + (s == 3 ? "1" : "0") + "\r\n";
  }
  want += "\r\nend\r\n";
  EXPECT_EQ(text, want);
  SavedSetup back;
  ASSERT_EQ(Parse(text, &back), "");
  EXPECT_TRUE(back == setup);
  EXPECT_EQ(WriteSetup(back, kSetupPath), text);
}

TEST(SetupFormat, WavesBelowTheSetupsFolderAreStoredRelative) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Loops\\a.wav", "a.wav"},
      {"c:/loops/Sub/a.wav", "Sub/a.wav"},
      {"C:\\LoopsX\\a.wav", "C:\\LoopsX\\a.wav"},
      {"C:\\Loops\\..\\a.wav", "C:\\Loops\\..\\a.wav"},
      {"C:\\Loops\\.\\a.wav", "C:\\Loops\\.\\a.wav"},
  };
  for (auto [wave, stored] : cases) EXPECT_EQ(PathForSetup(wave, kSetupPath), stored) << wave;
  EXPECT_EQ(PathForSetup("/srv/l/a.wav", "/srv/l/set.st"), "a.wav");
  EXPECT_EQ(PathFromSetup("Sub/a.wav", "C:\\Loops\\set.st"), "C:\\Loops\\Sub\\a.wav");
  EXPECT_EQ(PathFromSetup("/x/a.wav", "C:\\Loops\\set.st"), "/x/a.wav");
}

class Panel : public Engine, public RateChangeUi {
 public:
  std::vector<std::string> panel;
  void SetPlayCaption(const char* text) override { panel.push_back(text); }
  void UpdateRateChecks() override { panel.emplace_back("checks"); }

 protected:
  void SetUp() override {
    m.engineReady = EngineInit(m);
    WriteFile("MIXSETUP_A.WAV", PcmWave(2, 16, 11025, Pattern(400)));
  }
};

// No Wave: unload, label, volume and flags, square, name, in this order; also on an empty slot.
TEST_F(Panel, NoWaveEmptiesTheSlotInOrder) {
  ASSERT_EQ(LoadFrames({{1, 1}}, 3), 1);
  m.volume[3] = 300;
  m.locked[3] = 1;
  m.peakLevel = 0;
  // The slot is empty before its label clears, its flags clear before its square is drawn.
  ui.onCall = [&](const std::string& call) {
    EXPECT_EQ(m.sampleMemory[3], nullptr);
    EXPECT_TRUE(call[0] != 's' || m.volume[3] + m.locked[3] + m.muted[3] == 1);
  };
  EmptySlot(m, 3);
  EmptySlot(m, 3);
  EXPECT_EQ(ui.calls, (std::vector<std::string>{"label:3:", "square:3", "label:3:", "square:3"}));
  EXPECT_EQ(m.volume[3] + m.locked[3] + m.active[3], 1);
  EXPECT_STREQ(m.slotName[3], "");
  EXPECT_EQ(m.peakLevel, -200);
}

TEST_F(Panel, RateChangeEmptiesEverySlotAndStartsAgainAtTheNewRate) {
  ASSERT_EQ(LoadFrames({{1, 1}}, 2), 1);
  m.muted[2] = 1;
  StartPlayback(m);
  ui.calls.clear();
  ApplyOutputRate(m, 44100, *this);
  EXPECT_TRUE(m.playing == 0 && m.muted[2] == 0 && m.sampleMemory[2] == nullptr);
  EXPECT_EQ(std::vector<int64_t>({m.ringSizeBytes, m.format.samplesPerSec, m.engineReady}),
            std::vector<int64_t>({44100, 44100, 1}));
  EXPECT_EQ(panel, (std::vector<std::string>{"Press here to play", "checks"}));
  ASSERT_EQ(ui.calls.size(), 16u);  // an empty label and a square for each slot
  EXPECT_EQ(ui.calls[4] + ui.calls[5], "label:2:square:2");
}

// Waves, levels, locks and mutes restored; playback goes on, restarted after a rate change.
TEST_F(Panel, ApplySetupRestoresTheSession) {
  for (bool otherRate : {false, true}) {
    SavedSetup setup;
    setup.outputRate = otherRate ? 22050 : 11025;
    setup.slots[1] = {"MIXSETUP_A.WAV", 200, 1, 0};
    setup.slots[4] = {"MIXSETUP_A.WAV", 90, 0, 1};  // muted: sounds at the lowest gain
    setup.slots[6] = {"mixsetup_missing.wav", 5, 0, 0};
    ASSERT_EQ(LoadFrames({{1, 1}}, 0), 1);
    StartPlayback(m);
    const int opens = static_cast<int>(std::count(device.log.begin(), device.log.end(), "open"));
    ui.messages.clear();
    ApplySetup(m, setup, *this);
    EXPECT_EQ(ui.messages, std::vector<std::string>{MessageText(Msg::kOpenFile)});
    EXPECT_TRUE(m.sampleMemory[0] == nullptr && m.sampleMemory[6] == nullptr);
    EXPECT_EQ(std::vector<int32_t>({m.targetVolume[1], m.locked[1], m.targetVolume[4], m.muted[4]}),
              std::vector<int32_t>({200, 1, 1, 1}));
    EXPECT_EQ(m.outputRate + m.playing, setup.outputRate + 1);
    EXPECT_EQ(std::count(device.log.begin(), device.log.end(), "open"), opens + otherRate);
    // Saved again, the session gives the same setup (but for the wave that failed).
    SavedSetup again = CaptureSetup(m, "");
    again.slots[6] = setup.slots[6];
    again.slots[4].level = 90;
    EXPECT_TRUE(again == setup);
    StopPlayback(m);
  }
}

}  // namespace
}  // namespace mixorama::test
