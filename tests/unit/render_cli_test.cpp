// The mix command's script and command line: bad input is refused with a message naming the
// line or option, exit code 2 and no output file; good input gives a canonical wave file.
#include "ui/render_cli.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ui/render_session.h"

namespace mixorama {
namespace {

namespace fs = std::filesystem;

// ---- Script lines -------------------------------------------------------------------------

struct BadLine {
  const char* name;
  const char* script;
  const char* message;  // expected start of the error
};

class BadScriptTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadScriptTest, NamesTheLine) {
  std::vector<ScriptEvent> events;
  std::string error;
  EXPECT_FALSE(ParseScript(GetParam().script, events, error));
  EXPECT_EQ(error.rfind(GetParam().message, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScriptTest,
    ::testing::Values(BadLine{"TimeNotANumber", "abc move 1 2", "line 1: "},
                      BadLine{"NegativeTime", "# start\n-5 sync", "line 2: "},
                      BadLine{"TimeWithUnit", "10ms sync", "line 1: "},
                      BadLine{"OnlyATime", "10", "line 1: a verb is missing"},
                      BadLine{"UnknownVerb", "0 sync\n\n10 jump", "line 3: unknown verb 'jump'"},
                      BadLine{"VerbInCapitals", "10 SYNC", "line 1: unknown verb"},
                      BadLine{"MoveOneCoordinate", "10 move 1", "line 1: move needs"},
                      BadLine{"MoveThreeCoordinates", "10 move 1 2 3", "line 1: unexpected '3'"},
                      BadLine{"MoveBeyond16Bits", "10 move 32768 0", "line 1: move needs"},
                      BadLine{"MoveNotANumber", "10 move 1 y", "line 1: move needs"},
                      BadLine{"KeypadZero", "10 left 0", "line 1: keypad keys"},
                      BadLine{"KeypadNine", "10 right 9", "line 1: keypad keys"},
                      BadLine{"KeypadTwoKeys", "10 right 3 5", "line 1: unexpected '5'"},
                      BadLine{"LoadSlotNine", "10 load 9 a.wav", "line 1: load needs a slot"},
                      BadLine{"LoadNoFile", "10 load 1", "line 1: load needs a file"},
                      BadLine{"LoadNoSlot", "10 load", "line 1: load needs a slot"},
                      BadLine{"UnloadExtra", "10 unload 1 x", "line 1: unexpected 'x'"},
                      BadLine{"SyncExtra", "10 sync now", "line 1: unexpected 'now'"}),
    [](const ::testing::TestParamInfo<BadLine>& p) { return p.param.name; });

TEST(ScriptTest, ReadsEveryVerbWithCommentsBlankLinesAndCrLf) {
  const std::string text =
      "# a performance\r\n"
      "\r\n"
      "0 move -5 351   # off the map\r\n"
      "  50   left\r\n"
      "60 right 3\n"
      "70 sync\n"
      "80 load 2 my loops/kick one.wav  # a path with spaces\n"
      "90 unload 8\n";
  std::vector<ScriptEvent> e;
  std::string error;
  ASSERT_TRUE(ParseScript(text, e, error)) << error;
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0].verb, ScriptVerb::kMove);
  EXPECT_EQ(e[0].x, -5);
  EXPECT_EQ(e[0].y, 351);
  EXPECT_EQ(e[0].line, 3);
  EXPECT_EQ(e[1].verb, ScriptVerb::kLeft);
  EXPECT_EQ(e[1].timeMs, 50);
  EXPECT_EQ(e[1].keypadKey, 0);
  EXPECT_EQ(e[2].verb, ScriptVerb::kRight);
  EXPECT_EQ(e[2].keypadKey, 3);
  EXPECT_EQ(e[3].verb, ScriptVerb::kSync);
  EXPECT_EQ(e[4].verb, ScriptVerb::kLoad);
  EXPECT_EQ(e[4].slot, 1);
  EXPECT_EQ(e[4].path, "my loops/kick one.wav");
  EXPECT_EQ(e[5].verb, ScriptVerb::kUnload);
  EXPECT_EQ(e[5].slot, 7);
  EXPECT_EQ(e[5].line, 8);
}

TEST(ScriptTest, PathOfTwoHundredSixtyCharactersIsRefused) {
  std::vector<ScriptEvent> e;
  std::string error;
  EXPECT_TRUE(ParseScript("1 load 1 " + std::string(259, 'a'), e, error)) << error;
  EXPECT_FALSE(ParseScript("1 load 1 " + std::string(260, 'a'), e, error));
  EXPECT_EQ(error.rfind("line 1: ", 0), 0u);
}

// ---- The command ----------------------------------------------------------------------------

class MixCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("mixorama_cli_" + std::string(info->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    out_ = (dir_ / "out.wav").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the command; what it printed lands in `printed`.
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "mix");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    std::FILE* err = std::tmpfile();
    const int code = MixCommand(static_cast<int>(argv.size()), argv.data(), err);
    std::rewind(err);
    printed.clear();
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, err)) > 0) printed.append(buf, n);
    std::fclose(err);
    return code;
  }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  fs::path dir_;
  std::string out_;
  std::string printed;
};

TEST_F(MixCommandTest, BadScriptLineExitsTwoWithoutOutput) {
  const std::string script = Write("s.txt", "0 move 10 10\n# fine\n100 wiggle\n");
  EXPECT_EQ(Run({"--rate", "11025", "--script", script, "--ms", "1000", out_}), 2);
  EXPECT_NE(printed.find("line 3"), std::string::npos) << printed;
  EXPECT_NE(printed.find("wiggle"), std::string::npos) << printed;
  EXPECT_FALSE(fs::exists(out_));
}

struct BadArgs {
  const char* name;
  std::vector<std::string> args;
  const char* mentions;
};

class BadUsageTest : public MixCommandTest, public ::testing::WithParamInterface<BadArgs> {};

TEST_P(BadUsageTest, ExitsTwoWithoutOutput) {
  std::vector<std::string> args = GetParam().args;
  args.push_back(out_);
  EXPECT_EQ(Run(args), 2);
  EXPECT_NE(printed.find(GetParam().mentions), std::string::npos) << printed;
  EXPECT_FALSE(fs::exists(out_));
}

INSTANTIATE_TEST_SUITE_P(
    Args, BadUsageTest,
    ::testing::Values(
        BadArgs{"NoRate", {"--ms", "10"}, "--rate"},
        BadArgs{"OddRate", {"--rate", "48000", "--ms", "10"}, "11025"},
        BadArgs{"NoMs", {"--rate", "11025"}, "--ms"},
        BadArgs{"NegativeMs", {"--rate", "11025", "--ms", "-1"}, "--ms"},
        BadArgs{"MsTooLong", {"--rate", "44100", "--ms", "99999999999"}, "too long"},
        BadArgs{"SlotNine", {"--rate", "11025", "--ms", "10", "--slot", "9", "a"}, "1 to 8"},
        BadArgs{"SlotTwice",
                {"--rate", "11025", "--ms", "10", "--slot", "2", "a", "--slot", "2", "b"},
                "twice"},
        BadArgs{"UnknownOption", {"--rate", "11025", "--ms", "10", "--loud"}, "--loud"},
        BadArgs{"MissingScript",
                {"--rate", "11025", "--ms", "10", "--script", "/nonexistent/s"},
                "/nonexistent/s"}),
    [](const ::testing::TestParamInfo<BadArgs>& p) { return p.param.name; });

TEST_F(MixCommandTest, NoOutputFileIsBadUsage) {
  EXPECT_EQ(Run({"--rate", "11025", "--ms", "10"}), 2);
}

TEST_F(MixCommandTest, WritesACanonicalWaveOfExactlyTheFramesPlayed) {
  // A missing slot file is reported like the program's message box, and the render goes on.
  EXPECT_EQ(
      Run({"--rate", "22050", "--slot", "3", (dir_ / "none.wav").string(), "--ms", "1234", out_}),
      0);
  EXPECT_FALSE(printed.empty());
  std::ifstream in(out_, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const uint32_t frames = 1234 * 22050 / 1000;  // 27209
  ASSERT_EQ(bytes.size(), 44u + 4u * frames);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 44), WaveHeader(22050, 4 * frames));
  auto le32 = [&bytes](size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 static_cast<uint32_t>(bytes[at + 3]) << 24);
  };
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(le32(4), 36u + 4u * frames);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(le32(16), 16u);
  EXPECT_EQ(le32(20), 0x00020001u);  // PCM, 2 channels
  EXPECT_EQ(le32(24), 22050u);
  EXPECT_EQ(le32(28), 88200u);
  EXPECT_EQ(le32(32), 0x00100004u);  // block 4, 16 bits
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(le32(40), 4u * frames);
}

TEST_F(MixCommandTest, ZeroMillisecondsGivesAnEmptyDataChunk) {
  EXPECT_EQ(Run({"--ms", "0", "--rate", "44100", out_}), 0);
  EXPECT_EQ(fs::file_size(out_), 44u);
}

TEST_F(MixCommandTest, UnwritableOutputExitsOne) {
  EXPECT_EQ(Run({"--rate", "11025", "--ms", "10", (dir_ / "no" / "such" / "dir.wav").string()}), 1);
}

}  // namespace
}  // namespace mixorama
