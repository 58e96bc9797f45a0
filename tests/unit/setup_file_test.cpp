// Setup files: refusals (one message, result untouched), accepted forms, wave paths, the
// writer/parser round trip and capturing a session.
#include "ui/setup_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "engine/mixer.h"

namespace mixorama {
namespace {

const char kWinSetup[] = "C:\\Loops\\Live\\set.st";
const char kUnixSetup[] = "/home/ann/loops/set.st";
const std::string kHead = "MIXORAMA-SETUP 1.0\nrate = 11025\n";
const char kNotSetup[] = "This is not a Mixorama setup file";
const char kNoEnd[] = "The setup file is incomplete: its end line is missing";
const char kBadRate[] = "the rate must be 11025, 22050 or 44100";
const char kBadLevel[] = "the level must be a whole number from 1 to 350";
const char kCtl[] = "the line holds a control character";

std::string LineError(int line, const std::string& what) {
  return "Setup file error, line " + std::to_string(line) + " : " + what;
}

SavedSetup Sentinel() {
  SavedSetup s;
  s.outputRate = 44100;
  s.slots[4].path = "untouched";
  s.slots[4].level = 77;
  return s;
}

bool Parse(const std::string& text, SavedSetup& out, std::string& message,
           const std::string& setupPath = kWinSetup) {
  return ParseSetup(text.data(), text.size(), setupPath, out, message);
}

struct BadCase {
  std::string text;
  std::string message;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.message;
}

class SetupRefusalTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(SetupRefusalTest, GivesOneMessageAndChangesNothing) {
  SavedSetup out = Sentinel();
  std::string message;
  EXPECT_FALSE(Parse(GetParam().text, out, message));
  EXPECT_EQ(message, GetParam().message);
  EXPECT_TRUE(out == Sentinel());
}

const std::string kV = "MIXORAMA-SETUP ";
INSTANTIATE_TEST_SUITE_P(
    Malformed, SetupRefusalTest,
    ::testing::Values(
        BadCase{"", "The setup file is empty"},
        BadCase{std::string("RIFF\x24\0\0\0WAVEfmt ", 16), kNotSetup},
        BadCase{"[slots]\nslot1=kick.wav\n", kNotSetup},
        BadCase{"MIXORAMA-SETUP\nrate = 11025\nend\n", kNotSetup},
        BadCase{"MIXORAMA-SETUP1.0\nend\n", kNotSetup},
        BadCase{"mixorama-setup 1.0\nrate = 11025\nend\n", kNotSetup},
        BadCase{std::string("MIXORAMA-SETUP 1.0\0\nend\n", 24), kNotSetup},
        BadCase{kHead + std::string(kSetupMaxBytes, '#') + "\nend\n", kNotSetup},
        BadCase{kV + "2.0\nrate = 11025\nend\n",
                "This setup file needs a newer version of Mixorama"},
        BadCase{kV + "0.9\nend\n", LineError(1, "unknown version '0.9'")},
        BadCase{kV + "1.\nend\n", LineError(1, "unknown version '1.'")},
        BadCase{kV + "99999999999\nend\n", LineError(1, "unknown version '99999999999'")},
        BadCase{kHead + "slot1.path = a.wav\n", kNoEnd},
        BadCase{kV + "1.0\nslot1.path = a.wav\nend\n", "The setup file gives no rate"},
        BadCase{kHead + "rate = 22050\nend\n", LineError(3, "'rate' is given twice")},
        BadCase{kV + "1.0\nrate = 48000\nend\n", LineError(2, kBadRate)},
        BadCase{kV + "1.0\nrate = +11025\nend\n", LineError(2, kBadRate)},
        BadCase{kHead + "slot2.level = 0\nend\n", LineError(3, kBadLevel)},
        BadCase{kHead + "slot2.level = 351\nend\n", LineError(3, kBadLevel)},
        BadCase{kHead + "slot2.level = 1 2\nend\n", LineError(3, kBadLevel)},
        BadCase{kHead + "slot2.level = 4294967546\nend\n", LineError(3, kBadLevel)},
        BadCase{kHead + "slot8.locked = 2\nend\n", LineError(3, "locked must be 0 or 1")},
        BadCase{kHead + "slot8.muted = yes\nend\n", LineError(3, "muted must be 0 or 1")},
        BadCase{kHead + "slot4.locked = 1\nslot4.muted = 1\nend\n",
                "Setup file error : slot 4 cannot be both locked and muted"},
        BadCase{kHead + "slot1.path = a\nSLOT1.PATH = b\nend\n",
                LineError(4, "'SLOT1.PATH' is given twice")},
        BadCase{kHead + "slot9.path = a\nend\n", LineError(3, "unknown key 'slot9.path'")},
        BadCase{kHead + "slot0.path = a\nend\n", LineError(3, "unknown key 'slot0.path'")},
        BadCase{kHead + std::string(60, 'k') + " = 1\nend\n",
                LineError(3, "unknown key '" + std::string(40, 'k') + "...'")},
        BadCase{kHead + "slot1.path a.wav\nend\n", LineError(3, "a line must read key = value")},
        BadCase{kHead + "end\nslot1.path = a.wav\n", LineError(4, "text after the end line")},
        BadCase{kHead + std::string("slot1.path = a\0.wav\nend\n", 24), LineError(3, kCtl)},
        BadCase{kHead + "slot1.path = a\r.wav\nend\n", LineError(3, kCtl)},
        BadCase{kHead + "slot1.path = " + std::string(259 - 13, 'p') + "\nend\n",
                LineError(3, "the path is longer than 259 characters")}));

TEST(SetupTruncation, EveryCutBeforeTheEndLineIsRefused) {
  SavedSetup full;
  full.outputRate = 44100;
  for (int s = 0; s < kChannelCount; ++s) {
    full.slots[s].path = "C:\\Loops\\Live\\w" + std::to_string(s) + ".wav";
    full.slots[s].level = 10 + s;
  }
  const std::string text = WriteSetup(full, kWinSetup);
  const size_t endLine = text.rfind("\r\nend");
  ASSERT_NE(endLine, std::string::npos);
  for (size_t cut = 0; cut < endLine + 5; ++cut) {
    SavedSetup out = Sentinel();
    std::string message;
    ASSERT_FALSE(ParseSetup(text.data(), cut, kWinSetup, out, message)) << "cut at " << cut;
    ASSERT_FALSE(message.empty());
    ASSERT_TRUE(out == Sentinel()) << "cut at " << cut;
  }
  SavedSetup out;
  std::string message;
  EXPECT_TRUE(ParseSetup(text.data(), endLine + 5, kWinSetup, out, message)) << message;
  EXPECT_TRUE(out == full);
}

TEST(SetupParse, ReadsEveryKeyWithItsDefaults) {
  const std::string kLongest = "C:\\" + std::string(256, 'p');  // 259 characters
  const std::string text = kHead +
                           "slot1.path = kick.wav\nslot1.level = 240\nslot1.locked = 1\n"
                           "slot3.path = D:\\Other\\snare.wav\nslot3.muted = 1\n"
                           "slot5.path =\nslot5.level = 30\nslot7.path = " +
                           kLongest + "\nend\n";
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse(text, out, message)) << message;
  EXPECT_EQ(out.outputRate, 11025);
  EXPECT_TRUE(out.slots[0] == (SetupSlot{"C:\\Loops\\Live\\kick.wav", 240, 1, 0}));
  EXPECT_TRUE(out.slots[2] == (SetupSlot{"D:\\Other\\snare.wav", 1, 0, 1}));
  EXPECT_EQ(out.slots[4].path, "");  // an empty path leaves the slot empty
  EXPECT_EQ(out.slots[6].path, kLongest);
  for (int s : {1, 3, 5, 7}) EXPECT_TRUE(out.slots[s] == SetupSlot{}) << "slot " << s;
}

TEST(SetupParse, AcceptsWhatEditorsProduce) {
  // BOM, CR LF, blanks and tabs, comments, upper-case keys, any order, no line end after end.
  const std::string text =
      "\xEF\xBB\xBFMIXORAMA-SETUP 1.0  \r\n# my drums\r\n\r\n"
      "\tSLOT2.Level\t=\t350 \r\n   slot2.path=  sub dir/hat #2.wav  \r\n"
      "rate=44100\r\n  # indented comment\r\nend";
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse(text, out, message, kUnixSetup)) << message;
  EXPECT_EQ(out.outputRate, 44100);
  EXPECT_EQ(out.slots[1].path, "/home/ann/loops/sub dir/hat #2.wav");
  EXPECT_EQ(out.slots[1].level, 350);
}

TEST(SetupParse, Versions) {
  SavedSetup out;
  std::string message;
  // Without a minor it is the same format: unknown keys are still refused.
  ASSERT_TRUE(Parse("MIXORAMA-SETUP 1\nrate = 11025\nend\n", out, message)) << message;
  EXPECT_FALSE(Parse("MIXORAMA-SETUP 1\nrate = 11025\ncolour = red\nend\n", out, message));
  // A later minor may add keys, but known keys are still checked.
  const std::string later =
      "MIXORAMA-SETUP 1.3\nrate = 11025\nslot1.pan = -20\ntempo = 120\nslot9.path = x\n"
      "slot1.path = a.wav\nend\n";
  ASSERT_TRUE(Parse(later, out, message)) << message;
  EXPECT_EQ(out.slots[0].path, "C:\\Loops\\Live\\a.wav");
  out = Sentinel();
  EXPECT_FALSE(Parse("MIXORAMA-SETUP 1.3\nrate = 12000\nend\n", out, message));
  EXPECT_EQ(message, LineError(2, kBadRate));
  EXPECT_TRUE(out == Sentinel());
}

struct PathCase {
  const char* wave;
  const char* setup;
  const char* stored;
};

void PrintTo(const PathCase& c, std::ostream* os) {
  *os << c.wave << " in " << c.setup;
}

class PathForSetupTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathForSetupTest, StoresBesideAndBelowRelativeOtherwiseAsGiven) {
  EXPECT_EQ(PathForSetup(GetParam().wave, GetParam().setup), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathForSetupTest,
    ::testing::Values(
        PathCase{"C:\\Loops\\drums\\808\\kick.wav", "C:\\Loops\\set.st", "drums/808/kick.wav"},
        PathCase{"C:\\LOOPS\\DRUMS\\KICK.WAV", "c:\\Loops\\set.st", "DRUMS/KICK.WAV"},
        PathCase{"C:/Loops/drums/kick.wav", "C:\\Loops\\set.st", "drums/kick.wav"},
        PathCase{"/home/ann/loops/a.wav", "/home/ann/loops/set.st", "a.wav"},
        PathCase{"C:\\Loops2\\kick.wav", "C:\\Loops\\set.st", "C:\\Loops2\\kick.wav"},
        PathCase{"D:\\Loops\\kick.wav", "C:\\Loops\\set.st", "D:\\Loops\\kick.wav"},
        PathCase{"C:\\Loops\\..\\kick.wav", "C:\\Loops\\set.st", "C:\\Loops\\..\\kick.wav"},
        PathCase{"C:\\Loops\\", "C:\\Loops\\set.st", "C:\\Loops\\"},
        PathCase{"\\\\srv\\share\\a.wav", "\\\\srv\\share\\set.st", "a.wav"},
        PathCase{"C:\\Loops\\kick.wav", "set.st", "C:\\Loops\\kick.wav"},
        PathCase{"", "C:\\Loops\\set.st", ""}));

TEST(PathFromSetup, JoinsRelativeEntriesAndKeepsAbsoluteOnes) {
  EXPECT_EQ(PathFromSetup("drums/kick.wav", "C:\\Loops\\set.st"), "C:\\Loops\\drums\\kick.wav");
  EXPECT_EQ(PathFromSetup("drums\\kick.wav", "/srv/loops/set.st"), "/srv/loops/drums/kick.wav");
  EXPECT_EQ(PathFromSetup("kick.wav", "set.st"), "kick.wav");
  EXPECT_EQ(PathFromSetup("", "C:\\Loops\\set.st"), "");
  for (const char* entry : {"C:\\x\\a.wav", "c:/x/a.wav", "\\x\\a.wav", "/x/a.wav",
                            "\\\\srv\\share\\a.wav", "D:a.wav"}) {
    EXPECT_TRUE(IsAbsolutePath(entry)) << entry;
    EXPECT_EQ(PathFromSetup(entry, "C:\\Loops\\set.st"), entry);
  }
  for (const char* entry : {"a.wav", "sub\\a.wav", "1:a.wav", ":a.wav", "..\\a.wav"}) {
    EXPECT_FALSE(IsAbsolutePath(entry)) << entry;
  }
}

SavedSetup SampleSession(const std::string& folder, char sep) {
  SavedSetup s;
  s.outputRate = 22050;
  s.slots[0] = {folder + "kick.wav", 350, 1, 0};
  s.slots[1] = {folder + "drums" + sep + "snare.wav", 12, 0, 1};
  s.slots[3] = {std::string(sep == '\\' ? "E:\\elsewhere\\" : "/mnt/other/") + "bass.wav", 200, 0,
                0};
  s.slots[7] = {folder + "a b#c=d.wav", 1, 0, 0};
  return s;
}

TEST(SetupRoundTrip, SavingAndLoadingGivesTheSameSession) {
  struct Where {
    const char* setup;
    const char* folder;
    char sep;
  };
  for (const Where& w :
       {Where{kWinSetup, "C:\\Loops\\Live\\", '\\'}, Where{kUnixSetup, "/home/ann/loops/", '/'}}) {
    const SavedSetup session = SampleSession(w.folder, w.sep);
    const std::string text = WriteSetup(session, w.setup);
    EXPECT_EQ(text.rfind("MIXORAMA-SETUP 1.0\r\n", 0), 0u);
    EXPECT_NE(text.find("slot2.path = drums/snare.wav\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("slot3.path =\r\n"), std::string::npos) << text;  // no trailing blank
    SavedSetup back;
    std::string message;
    ASSERT_TRUE(ParseSetup(text.data(), text.size(), w.setup, back, message)) << message;
    EXPECT_TRUE(back == session) << text;
  }
  // Moved to another folder, the relative waves follow it.
  const std::string text = WriteSetup(SampleSession("C:\\Loops\\Live\\", '\\'), kWinSetup);
  SavedSetup moved;
  std::string message;
  ASSERT_TRUE(ParseSetup(text.data(), text.size(), "F:\\Shared\\set.st", moved, message));
  EXPECT_EQ(moved.slots[0].path, "F:\\Shared\\kick.wav");
  EXPECT_EQ(moved.slots[1].path, "F:\\Shared\\drums\\snare.wav");
  EXPECT_EQ(moved.slots[3].path, "E:\\elsewhere\\bass.wav");
}

TEST(CaptureSetup, TakesLoadedSlotsAndMakesStartupNamesAbsolute) {
  Mixer m;
  m.outputRate = 44100;
  m.sampleMemory[0] = m.allocator.allocZeroed(4);
  m.targetVolume[0] = 123;
  m.locked[0] = 1;  // slot name "BD7525.WAV": relative to the start-up folder
  m.sampleMemory[2] = m.allocator.allocZeroed(4);
  std::snprintf(m.slotName[2], kPathBytes, "%s", "D:\\X\\MA.WAV");
  m.muted[2] = 1;
  m.targetVolume[2] = 1;
  m.targetVolume[1] = 99;  // named but no wave (its load failed): saved empty
  m.muted[1] = 1;

  const SavedSetup s = CaptureSetup(m, "C:\\Demo");
  EXPECT_EQ(s.outputRate, 44100);
  EXPECT_TRUE(s.slots[0] == (SetupSlot{"C:\\Demo\\BD7525.WAV", 123, 1, 0}));
  EXPECT_TRUE(s.slots[1] == SetupSlot{});
  EXPECT_TRUE(s.slots[2] == (SetupSlot{"D:\\X\\MA.WAV", 1, 0, 1}));
  for (int slot = 3; slot < kChannelCount; ++slot) EXPECT_TRUE(s.slots[slot] == SetupSlot{});
  EXPECT_EQ(CaptureSetup(m, "/srv/demo/").slots[0].path, "/srv/demo/BD7525.WAV");
  EXPECT_EQ(CaptureSetup(m, "").slots[0].path, "BD7525.WAV");
}

}  // namespace
}  // namespace mixorama
