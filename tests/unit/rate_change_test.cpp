// Changing the output rate after the user agreed, and putting a saved setup in force: the
// order of the panel and engine steps, what every slot looks like afterwards, engine-init
// failure, playback left as it was, and a whole session saved and loaded again.
#include "ui/rate_change.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/output.h"
#include "engine/virtual_device.h"
#include "engine/wave_loader.h"
#include "tests/unit/recording_ui.h"
#include "ui/setup_file.h"

namespace mixorama {
namespace {

// Records the play-button captions and check-mark updates into the same call list as the
// UiSeam, so the whole order of a command can be checked at once.
class RecordingPanel : public RateChangeUi {
 public:
  explicit RecordingPanel(std::vector<std::string>& calls) : calls_(calls) {}
  void SetPlayCaption(const char* text) override {
    calls_.push_back(std::string("caption:") + text);
  }
  void UpdateRateChecks() override { calls_.emplace_back("checks"); }

 private:
  std::vector<std::string>& calls_;
};

void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 16-bit stereo PCM wave of frames frames at rate, holding a ramp.
void WriteWave(const std::string& path, uint32_t rate, uint32_t frames) {
  std::string w = "RIFF";
  PutLe(w, 36 + frames * 4, 4);
  w += "WAVEfmt ";
  PutLe(w, 16, 4);
  PutLe(w, 1, 2);
  PutLe(w, 2, 2);
  PutLe(w, rate, 4);
  PutLe(w, rate * 4, 4);
  PutLe(w, 4, 2);
  PutLe(w, 16, 2);
  w += "data";
  PutLe(w, frames * 4, 4);
  for (uint32_t i = 0; i < frames * 2; ++i) PutLe(w, (i * 37) & 0x7FFF, 2);
  std::ofstream(path, std::ios::binary) << w;
}

class RateChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Upper-case names throughout: the loader keeps slot names in upper case, and a session
    // loaded back must find its files on a case-sensitive file system too.
    std::filesystem::remove_all(kFolder);
    std::filesystem::create_directory(kFolder);
    WriteWave(folder + "A.WAV", 11025, 1000);
    WriteWave(folder + "B.WAV", 22050, 3000);
    WriteWave(folder + "C.WAV", 44100, 500);
    m.device = &dev;
    m.timer = &timer;
    m.ui = &ui;
    m.engineReady = EngineInit(m);
    ASSERT_EQ(m.engineReady, 1);
    for (int s = 0; s < kChannelCount; ++s) m.slotName[s][0] = '\0';
  }

  void TearDown() override { std::filesystem::remove_all(kFolder); }

  void Load(int slot, const char* name) {
    LoadWaveIntoSlot(m, (folder + name).c_str(), slot);
    ASSERT_NE(m.sampleMemory[slot], nullptr) << name;
  }

  void Play() {
    StartPlayback(m);
    ASSERT_EQ(m.playing, 1);
  }

  // Relative to the folder the tests run in, and in upper case (see SetUp).
  static constexpr char kFolder[] = "MIXO_RATE_TEST";
  const std::string folder = std::string(kFolder) + "/";
  Mixer m;
  VirtualDevice dev;
  ManualTimer timer;
  RecordingUi ui;
  RecordingPanel panel{ui.calls};
};

TEST_F(RateChangeTest, EmptiesEverySlotStopsPlaybackAndInitialisesAtTheNewRate) {
  Load(0, "A.WAV");
  Load(5, "B.WAV");
  m.locked[0] = 1;
  m.muted[5] = 1;
  m.volume[0] = 300;
  Play();
  timer.Fire();
  const std::string keptName = m.slotName[5];
  ui.Clear();

  ApplyOutputRate(m, 44100, panel);

  std::vector<std::string> expected = {"caption:Press here to play"};
  for (int s = 0; s < kChannelCount; ++s) {
    expected.push_back("square:" + std::to_string(s));
    expected.push_back("label:" + std::to_string(s) + ":");
  }
  expected.emplace_back("checks");
  EXPECT_EQ(ui.calls, expected);
  EXPECT_EQ(m.playing, 0);
  EXPECT_FALSE(timer.running());
  EXPECT_FALSE(dev.IsOpen());
  EXPECT_EQ(m.outputRate, 44100);
  EXPECT_EQ(m.ringSizeBytes, 44100u);
  EXPECT_EQ(m.engineReady, 1);
  EXPECT_EQ(m.format.samplesPerSec, 44100u);
  EXPECT_EQ(m.loopBuffer.lengthBytes, 44100u);
  ASSERT_NE(m.outputRing, nullptr);
  // A fresh ring is silence, not the stop pattern of the ring it replaced.
  for (uint32_t i = 0; i < m.ringSizeBytes; ++i) ASSERT_EQ(m.outputRing[i], 0) << i;
  for (int s = 0; s < kChannelCount; ++s) {
    EXPECT_EQ(m.sampleMemory[s], nullptr) << s;
    EXPECT_EQ(m.active[s], 0) << s;
    EXPECT_EQ(m.volume[s], 1) << s;
    EXPECT_EQ(m.locked[s], 0) << s;
    EXPECT_EQ(m.muted[s], 0) << s;
  }
  EXPECT_EQ(keptName, m.slotName[5]);  // names stay; only the waves go

  // A wave loaded afterwards is converted at the new rate: 1000 frames at 11025 become 4000.
  Load(2, "A.WAV");
  EXPECT_EQ(m.lengthBytes[2], 4000 * 4);
}

TEST_F(RateChangeTest, FailedEngineInitKeepsTheNewRateAndItsCheckMark) {
  Load(1, "C.WAV");
  dev = VirtualDevice(VirtualDevice::Options{0, {0xFFFFF, 2}, 0, true});
  ui.Clear();

  ApplyOutputRate(m, 22050, panel);

  EXPECT_EQ(m.engineReady, 0);
  EXPECT_EQ(m.outputRate, 22050);
  EXPECT_EQ(m.ringSizeBytes, 22048u);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Impossible to detect an audio card"});
  EXPECT_EQ(ui.calls.back(), "checks");
  EXPECT_EQ(m.sampleMemory[1], nullptr);
  StartPlayback(m);
  EXPECT_EQ(m.playing, 0);
}

TEST_F(RateChangeTest, SetupAtTheSameRateLoadsWhilePlaybackGoesOn) {
  Load(0, "A.WAV");
  Load(4, "C.WAV");
  Play();
  const int opens = dev.openCount();

  SavedSetup setup;
  setup.outputRate = m.outputRate;
  setup.slots[0] = {folder + "B.WAV", 200, 1, 0};
  setup.slots[2] = {folder + "C.WAV", 90, 0, 1};
  setup.slots[3] = {folder + "MISSING.WAV", 300, 1, 0};
  setup.slots[6] = {folder + "A.WAV", 44, 0, 0};
  ui.Clear();

  ApplySetup(m, setup, panel);

  EXPECT_EQ(m.playing, 1);
  EXPECT_EQ(dev.openCount(), opens);
  EXPECT_TRUE(timer.running());
  // The one wave that fails is reported in the loader's words and its slot ends empty.
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Error opening file"});
  EXPECT_EQ(m.sampleMemory[3], nullptr);
  EXPECT_EQ(m.locked[3], 0);
  // Slot 5 was playing C.WAV; the setup has it empty.
  EXPECT_EQ(m.sampleMemory[4], nullptr);
  EXPECT_STREQ(m.slotName[4], "");

  EXPECT_EQ(m.targetVolume[0], 200);
  EXPECT_EQ(m.locked[0], 1);
  EXPECT_EQ(m.muted[0], 0);
  EXPECT_EQ(m.targetVolume[2], 1);  // muted: the lowest gain, whatever level was saved
  EXPECT_EQ(m.muted[2], 1);
  EXPECT_EQ(m.targetVolume[6], 44);
  EXPECT_EQ(m.locked[6], 0);
  for (int s : {0, 2, 6}) EXPECT_EQ(m.active[s], 1) << s;
  // Each restored slot's square is drawn again once its flags are in place.
  EXPECT_EQ(ui.calls.back(), "square:7");
  int squaresOfSlot0 = 0;
  for (int s : ui.squares) squaresOfSlot0 += s == 0 ? 1 : 0;
  EXPECT_EQ(squaresOfSlot0, 2);
}

// A map whose hover flag is still set after a dialog took the capture: drawing a square sets
// the target from a cursor far from every slot point.
class StaleHoverUi : public RecordingUi {
 public:
  Mixer* m = nullptr;
  void DrawSlotSquare(int slot) override {
    RecordingUi::DrawSlotSquare(slot);
    if (m->muted[slot] == 0) m->targetVolume[slot] = 1;
  }
};

TEST_F(RateChangeTest, SavedLevelsSurviveDrawingWhileTheHoverFlagIsStale) {
  StaleHoverUi stale;
  stale.m = &m;
  m.ui = &stale;
  SavedSetup setup;
  setup.outputRate = m.outputRate;
  setup.slots[0] = {folder + "A.WAV", 160, 0, 0};
  setup.slots[1] = {folder + "B.WAV", 250, 1, 0};
  ApplySetup(m, setup, panel);
  EXPECT_EQ(m.targetVolume[0], 160);
  EXPECT_EQ(m.targetVolume[1], 250);
  EXPECT_TRUE(CaptureSetup(m, "") == setup);
}

TEST_F(RateChangeTest, SetupAtAnotherRateRestartsPlaybackThatWasOn) {
  Load(0, "A.WAV");
  Play();
  SavedSetup setup;
  setup.outputRate = 22050;
  setup.slots[1] = {folder + "A.WAV", 350, 0, 0};
  ui.Clear();

  ApplySetup(m, setup, panel);

  EXPECT_EQ(ui.calls.front(), "caption:Press here to play");
  EXPECT_EQ(ui.calls.back(), "caption:Press here to cut sound");
  EXPECT_EQ(m.playing, 1);
  EXPECT_TRUE(dev.IsOpen());
  EXPECT_EQ(dev.openedFormat().samplesPerSec, 22050u);
  EXPECT_EQ(m.sampleMemory[0], nullptr);
  EXPECT_EQ(m.lengthBytes[1], 2000 * 4);
  EXPECT_EQ(m.readPosBytes[1], 0);  // start playback runs Sync
}

TEST_F(RateChangeTest, SetupAtAnotherRateLeavesStoppedPlaybackStopped) {
  SavedSetup setup;
  setup.outputRate = 44100;
  setup.slots[7] = {folder + "C.WAV", 10, 0, 0};
  ApplySetup(m, setup, panel);
  EXPECT_EQ(m.playing, 0);
  EXPECT_FALSE(timer.running());
  EXPECT_EQ(m.outputRate, 44100);
  EXPECT_EQ(m.sampleMemory[7] != nullptr, true);
  for (const std::string& call : ui.calls) EXPECT_NE(call, "caption:Press here to cut sound");
}

TEST_F(RateChangeTest, SetupAtAnotherRateWithoutADeviceDoesNotClaimToPlay) {
  Play();
  dev = VirtualDevice(VirtualDevice::Options{0, {0xFFFFF, 2}, 0, true});
  SavedSetup setup;
  setup.outputRate = 44100;
  ApplySetup(m, setup, panel);
  EXPECT_EQ(m.engineReady, 0);
  EXPECT_EQ(m.playing, 0);
  EXPECT_EQ(ui.calls.back(), "square:7");  // the last No Wave step; no "cut sound" caption
}

TEST_F(RateChangeTest, SavedSessionLoadsBackAsTheSameSession) {
  Load(1, "B.WAV");
  Load(3, "C.WAV");
  Load(6, "A.WAV");
  m.targetVolume[1] = 250;
  m.locked[1] = 1;
  m.targetVolume[3] = 1;
  m.muted[3] = 1;
  m.targetVolume[6] = 123;
  const SavedSetup saved = CaptureSetup(m, "");
  const std::string setupPath = folder + "SET.ST";
  const std::string text = WriteSetup(saved, setupPath);
  EXPECT_NE(text.find("slot2.path = B.WAV\r\n"), std::string::npos) << text;

  // Another session at another rate, then the file is read and put in force.
  ApplyOutputRate(m, 44100, panel);
  Load(0, "C.WAV");
  m.locked[0] = 1;
  SavedSetup parsed;
  std::string message;
  ASSERT_TRUE(ParseSetup(text.data(), text.size(), setupPath, parsed, message)) << message;
  ApplySetup(m, parsed, panel);

  EXPECT_TRUE(CaptureSetup(m, "") == saved);
  EXPECT_EQ(m.outputRate, 11025);
  EXPECT_EQ(m.sampleMemory[0], nullptr);
  EXPECT_EQ(m.locked[0], 0);
}

}  // namespace
}  // namespace mixorama
