// Setup files: the parser's refusals (each with its one message and no change to the result),
// what it accepts, relative and absolute wave paths, the writer/parser round trip, and the
// capture of a session from the channel table.
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

// A full file of the current version, as a person might write it (LF line ends).
std::string ValidBody() {
  return "MIXORAMA-SETUP 1.0\n"
         "rate = 22050\n"
         "slot1.path = kick.wav\n"
         "slot1.level = 240\n"
         "slot1.locked = 1\n"
         "slot3.path = D:\\Other\\snare.wav\n"
         "slot3.muted = 1\n"
         "end\n";
}

// A result that a failed parse must leave exactly as it was.
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

// ---- Refusals ------------------------------------------------------------------------------

struct BadCase {
  const char* name;
  std::string text;
  std::string message;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.name;
}

class SetupRefusalTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(SetupRefusalTest, GivesOneMessageAndChangesNothing) {
  SavedSetup out = Sentinel();
  std::string message;
  EXPECT_FALSE(Parse(GetParam().text, out, message));
  EXPECT_EQ(message, GetParam().message);
  EXPECT_TRUE(out == Sentinel());
}

const std::string kHead = "MIXORAMA-SETUP 1.0\nrate = 11025\n";

INSTANTIATE_TEST_SUITE_P(
    Malformed, SetupRefusalTest,
    ::testing::Values(
        BadCase{"Empty", "", "The setup file is empty"},
        BadCase{"WaveFile", std::string("RIFF\x24\0\0\0WAVEfmt ", 16),
                "This is not a Mixorama setup file"},
        BadCase{"OtherText", "[slots]\nslot1=kick.wav\n", "This is not a Mixorama setup file"},
        BadCase{"MagicWithoutVersion", "MIXORAMA-SETUP\nrate = 11025\nend\n",
                "This is not a Mixorama setup file"},
        BadCase{"MagicGluedToVersion", "MIXORAMA-SETUP1.0\nend\n",
                "This is not a Mixorama setup file"},
        BadCase{"LowerCaseMagic", "mixorama-setup 1.0\nrate = 11025\nend\n",
                "This is not a Mixorama setup file"},
        BadCase{"NewerMajor", "MIXORAMA-SETUP 2.0\nrate = 11025\nend\n",
                "This setup file needs a newer version of Mixorama"},
        BadCase{"MajorZero", "MIXORAMA-SETUP 0.9\nend\n",
                "Setup file error, line 1 : unknown version '0.9'"},
        BadCase{"VersionWords", "MIXORAMA-SETUP one\nend\n",
                "Setup file error, line 1 : unknown version 'one'"},
        BadCase{"VersionEndsInDot", "MIXORAMA-SETUP 1.\nend\n",
                "Setup file error, line 1 : unknown version '1.'"},
        BadCase{"HugeVersion", "MIXORAMA-SETUP 99999999999\nend\n",
                "Setup file error, line 1 : unknown version '99999999999'"},
        BadCase{"HeaderOnly", "MIXORAMA-SETUP 1.0\n",
                "The setup file is incomplete: its end line is missing"},
        BadCase{"NoEndLine", kHead + "slot1.path = a.wav\n",
                "The setup file is incomplete: its end line is missing"},
        BadCase{"NoRate", "MIXORAMA-SETUP 1.0\nslot1.path = a.wav\nend\n",
                "The setup file gives no rate"},
        BadCase{"RateTwice", kHead + "rate = 22050\nend\n",
                "Setup file error, line 3 : 'rate' is given twice"},
        BadCase{"RateNotOffered", "MIXORAMA-SETUP 1.0\nrate = 48000\nend\n",
                "Setup file error, line 2 : the rate must be 11025, 22050 or 44100"},
        BadCase{"RateSigned", "MIXORAMA-SETUP 1.0\nrate = +11025\nend\n",
                "Setup file error, line 2 : the rate must be 11025, 22050 or 44100"},
        BadCase{"RateEmpty", "MIXORAMA-SETUP 1.0\nrate =\nend\n",
                "Setup file error, line 2 : the rate must be 11025, 22050 or 44100"},
        BadCase{"LevelZero", kHead + "slot2.level = 0\nend\n",
                "Setup file error, line 3 : the level must be a whole number from 1 to 350"},
        BadCase{"LevelAboveUnity", kHead + "slot2.level = 351\nend\n",
                "Setup file error, line 3 : the level must be a whole number from 1 to 350"},
        BadCase{"LevelNegative", kHead + "slot2.level = -5\nend\n",
                "Setup file error, line 3 : the level must be a whole number from 1 to 350"},
        BadCase{"LevelWithBlankInside", kHead + "slot2.level = 1 2\nend\n",
                "Setup file error, line 3 : the level must be a whole number from 1 to 350"},
        BadCase{"LevelOverflowing", kHead + "slot2.level = 4294967546\nend\n",
                "Setup file error, line 3 : the level must be a whole number from 1 to 350"},
        BadCase{"LockedTwo", kHead + "slot8.locked = 2\nend\n",
                "Setup file error, line 3 : locked must be 0 or 1"},
        BadCase{"MutedWord", kHead + "slot8.muted = yes\nend\n",
                "Setup file error, line 3 : muted must be 0 or 1"},
        BadCase{"LockedAndMuted", kHead + "slot4.locked = 1\nslot4.muted = 1\nend\n",
                "Setup file error : slot 4 cannot be both locked and muted"},
        BadCase{"PathTwice", kHead + "slot1.path = a.wav\nSLOT1.PATH = b.wav\nend\n",
                "Setup file error, line 4 : 'SLOT1.PATH' is given twice"},
        BadCase{"SlotNine", kHead + "slot9.path = a.wav\nend\n",
                "Setup file error, line 3 : unknown key 'slot9.path'"},
        BadCase{"SlotZero", kHead + "slot0.path = a.wav\nend\n",
                "Setup file error, line 3 : unknown key 'slot0.path'"},
        BadCase{"MistypedKey", kHead + "slot1.levle = 20\nend\n",
                "Setup file error, line 3 : unknown key 'slot1.levle'"},
        BadCase{"LongUnknownKeyShortened", kHead + std::string(60, 'k') + " = 1\nend\n",
                "Setup file error, line 3 : unknown key '" + std::string(40, 'k') + "...'"},
        BadCase{"NoEquals", kHead + "slot1.path a.wav\nend\n",
                "Setup file error, line 3 : a line must read key = value"},
        BadCase{"TextAfterEnd", kHead + "end\nslot1.path = a.wav\n",
                "Setup file error, line 4 : text after the end line"},
        BadCase{"NulInsideLine", kHead + std::string("slot1.path = a\0.wav\nend\n", 24),
                "Setup file error, line 3 : the line holds a control character"},
        BadCase{"NulInHeader", std::string("MIXORAMA-SETUP 1.0\0\nend\n", 24),
                "This is not a Mixorama setup file"},
        BadCase{"BareCarriageReturn", kHead + "slot1.path = a\r.wav\nend\n",
                "Setup file error, line 3 : the line holds a control character"},
        BadCase{"PathTooLongOnceJoined",
                kHead + "slot1.path = " + std::string(259 - 13, 'p') + "\nend\n",
                "Setup file error, line 3 : the path is longer than 259 characters"},
        BadCase{"FarTooBig", kHead + std::string(kSetupMaxBytes, '#') + "\nend\n",
                "This is not a Mixorama setup file"}),
    [](const ::testing::TestParamInfo<BadCase>& p) { return std::string(p.param.name); });

// Cut anywhere before its end line, a saved file is refused, whatever the cut leaves.
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

// ---- What is accepted ---------------------------------------------------------------------

TEST(SetupParse, ReadsEveryKeyWithItsDefaults) {
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse(ValidBody(), out, message)) << message;
  EXPECT_EQ(out.outputRate, 22050);
  EXPECT_EQ(out.slots[0].path, "C:\\Loops\\Live\\kick.wav");
  EXPECT_EQ(out.slots[0].level, 240);
  EXPECT_EQ(out.slots[0].locked, 1);
  EXPECT_EQ(out.slots[0].muted, 0);
  EXPECT_EQ(out.slots[2].path, "D:\\Other\\snare.wav");
  EXPECT_EQ(out.slots[2].level, 1);
  EXPECT_EQ(out.slots[2].muted, 1);
  for (int s : {1, 3, 4, 5, 6, 7}) {
    EXPECT_TRUE(out.slots[s] == SetupSlot{}) << "slot " << s;
  }
}

TEST(SetupParse, AcceptsWhatEditorsProduce) {
  // A byte-order mark, CR LF line ends, blanks and tabs around everything, comments,
  // upper-case keys, keys in any order and no line end after "end".
  const std::string text =
      "\xEF\xBB\xBFMIXORAMA-SETUP 1.0  \r\n"
      "# my drums\r\n"
      "\r\n"
      "\tSLOT2.Level\t=\t350 \r\n"
      "   slot2.path=  sub dir/hat #2.wav  \r\n"
      "rate=44100\r\n"
      "  # indented comment\r\n"
      "end";
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse(text, out, message, kUnixSetup)) << message;
  EXPECT_EQ(out.outputRate, 44100);
  EXPECT_EQ(out.slots[1].path, "/home/ann/loops/sub dir/hat #2.wav");
  EXPECT_EQ(out.slots[1].level, 350);
}

TEST(SetupParse, VersionWithoutMinorIsTheSameFormat) {
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse("MIXORAMA-SETUP 1\nrate = 11025\nend\n", out, message)) << message;
  EXPECT_FALSE(Parse("MIXORAMA-SETUP 1\nrate = 11025\ncolour = red\nend\n", out, message));
}

TEST(SetupParse, LaterMinorVersionMayAddKeysButKnownKeysAreStillChecked) {
  SavedSetup out;
  std::string message;
  const std::string later =
      "MIXORAMA-SETUP 1.3\nrate = 11025\nslot1.pan = -20\ntempo = 120\nslot9.path = x\n"
      "slot1.path = a.wav\nend\n";
  ASSERT_TRUE(Parse(later, out, message)) << message;
  EXPECT_EQ(out.slots[0].path, "C:\\Loops\\Live\\a.wav");

  out = Sentinel();
  EXPECT_FALSE(Parse("MIXORAMA-SETUP 1.3\nrate = 12000\nend\n", out, message));
  EXPECT_EQ(message, "Setup file error, line 2 : the rate must be 11025, 22050 or 44100");
  EXPECT_TRUE(out == Sentinel());
}

TEST(SetupParse, EmptyPathLeavesTheSlotEmpty) {
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse(kHead + "slot5.path =\nslot5.level = 30\nend\n", out, message)) << message;
  EXPECT_EQ(out.slots[4].path, "");
}

TEST(SetupParse, LongestPathFits) {
  const std::string path = "C:\\" + std::string(256, 'p');  // 259 characters
  SavedSetup out;
  std::string message;
  ASSERT_TRUE(Parse(kHead + "slot1.path = " + path + "\nend\n", out, message)) << message;
  EXPECT_EQ(out.slots[0].path, path);
}

// ---- Paths ---------------------------------------------------------------------------------

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
        PathCase{"C:\\Loops\\kick.wav", "C:\\Loops\\set.st", "kick.wav"},
        PathCase{"C:\\Loops\\drums\\808\\kick.wav", "C:\\Loops\\set.st", "drums/808/kick.wav"},
        // The program keeps slot names in upper case; the dialog gives the folder as typed.
        PathCase{"C:\\LOOPS\\DRUMS\\KICK.WAV", "c:\\Loops\\set.st", "DRUMS/KICK.WAV"},
        PathCase{"C:/Loops/drums/kick.wav", "C:\\Loops\\set.st", "drums/kick.wav"},
        PathCase{"/home/ann/loops/a.wav", "/home/ann/loops/set.st", "a.wav"},
        // A sibling folder whose name starts like the setup's folder is not below it.
        PathCase{"C:\\Loops2\\kick.wav", "C:\\Loops\\set.st", "C:\\Loops2\\kick.wav"},
        PathCase{"C:\\kick.wav", "C:\\Loops\\set.st", "C:\\kick.wav"},
        PathCase{"D:\\Loops\\kick.wav", "C:\\Loops\\set.st", "D:\\Loops\\kick.wav"},
        PathCase{"C:\\Loops\\..\\kick.wav", "C:\\Loops\\set.st", "C:\\Loops\\..\\kick.wav"},
        PathCase{"C:\\Loops\\.\\kick.wav", "C:\\Loops\\set.st", "C:\\Loops\\.\\kick.wav"},
        PathCase{"C:\\Loops\\\\kick.wav", "C:\\Loops\\set.st", "C:\\Loops\\\\kick.wav"},
        PathCase{"C:\\Loops\\", "C:\\Loops\\set.st", "C:\\Loops\\"},
        PathCase{"\\\\srv\\share\\a.wav", "\\\\srv\\share\\set.st", "a.wav"},
        PathCase{"C:\\Loops\\kick.wav", "set.st", "C:\\Loops\\kick.wav"},
        PathCase{"", "C:\\Loops\\set.st", ""}));

TEST(PathFromSetup, JoinsRelativeEntriesInTheSetupFoldersSeparator) {
  EXPECT_EQ(PathFromSetup("drums/kick.wav", "C:\\Loops\\set.st"), "C:\\Loops\\drums\\kick.wav");
  EXPECT_EQ(PathFromSetup("drums\\kick.wav", "/srv/loops/set.st"), "/srv/loops/drums/kick.wav");
  EXPECT_EQ(PathFromSetup("kick.wav", "set.st"), "kick.wav");
  EXPECT_EQ(PathFromSetup("", "C:\\Loops\\set.st"), "");
}

TEST(PathFromSetup, KeepsAbsoluteEntriesByteForByte) {
  for (const char* entry : {"C:\\x\\a.wav", "c:/x/a.wav", "\\x\\a.wav", "/x/a.wav",
                            "\\\\srv\\share\\a.wav", "D:a.wav"}) {
    EXPECT_TRUE(IsAbsolutePath(entry)) << entry;
    EXPECT_EQ(PathFromSetup(entry, "C:\\Loops\\set.st"), entry);
  }
  for (const char* entry : {"a.wav", "sub\\a.wav", "1:a.wav", ":a.wav", "..\\a.wav"}) {
    EXPECT_FALSE(IsAbsolutePath(entry)) << entry;
  }
}

// ---- Round trip ----------------------------------------------------------------------------

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
}

TEST(SetupRoundTrip, MovedFolderStillFindsItsWaves) {
  const SavedSetup session = SampleSession("C:\\Loops\\Live\\", '\\');
  const std::string text = WriteSetup(session, kWinSetup);
  SavedSetup moved;
  std::string message;
  ASSERT_TRUE(ParseSetup(text.data(), text.size(), "F:\\Shared\\set.st", moved, message));
  EXPECT_EQ(moved.slots[0].path, "F:\\Shared\\kick.wav");
  EXPECT_EQ(moved.slots[1].path, "F:\\Shared\\drums\\snare.wav");
  EXPECT_EQ(moved.slots[3].path, "E:\\elsewhere\\bass.wav");
}

// ---- Capturing the session ------------------------------------------------------------------

TEST(CaptureSetup, TakesLoadedSlotsAndMakesStartupNamesAbsolute) {
  Mixer m;
  m.outputRate = 44100;
  m.sampleMemory[0] = m.allocator.allocZeroed(4);
  m.targetVolume[0] = 123;
  m.locked[0] = 1;  // slot name "BD7525.WAV": relative to the folder the program started in
  m.sampleMemory[2] = m.allocator.allocZeroed(4);
  std::snprintf(m.slotName[2], kPathBytes, "%s", "D:\\X\\MA.WAV");
  m.muted[2] = 1;
  m.targetVolume[2] = 1;
  // Slot 2 has a name but no wave (its load failed): saved empty, whatever its flags say.
  m.targetVolume[1] = 99;
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
