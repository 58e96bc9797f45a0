// The No Wave and Sync steps on the channel table, with the user-interface calls recorded.
#include "ui/panel_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/recording_ui.h"

namespace mixorama {
namespace {

class PanelCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { m.ui = &ui; }

  // A slot holding two frames, playing, with its flags and volumes set as a mix left them.
  void FillSlot(int s) {
    m.sampleMemory[s] = m.allocator.allocZeroed(8);
    m.sampleData[s] = static_cast<uint8_t*>(m.sampleMemory[s]);
    m.lengthBytes[s] = 8;
    m.readPosBytes[s] = 4;
    m.active[s] = 1;
    m.volume[s] = 300;
    m.targetVolume[s] = 300;
    m.locked[s] = 1;
    std::strcpy(m.slotName[s], "C:\\LOOPS\\KICK.WAV");
  }

  Mixer m;
  RecordingUi ui;
};

TEST_F(PanelCommandsTest, NoWaveEmptiesTheSlotInOrder) {
  FillSlot(3);
  m.peakLevel = 70000;
  NoWaveCommand(m, 3);
  EXPECT_EQ(m.active[3], 0);
  EXPECT_EQ(m.sampleMemory[3], nullptr);
  EXPECT_EQ(m.peakLevel, 69900);
  EXPECT_EQ(m.volume[3], 1);
  EXPECT_EQ(m.locked[3], 0);
  EXPECT_EQ(m.muted[3], 0);
  EXPECT_STREQ(m.slotName[3], "");
  EXPECT_EQ(m.targetVolume[3], 300);  // only the map writes targets
  EXPECT_EQ(m.readPosBytes[3], 4);    // left as it is, like the length
  EXPECT_EQ(m.lengthBytes[3], 8);
  ASSERT_EQ(ui.calls.size(), 2u);
  EXPECT_EQ(ui.calls[0], "label:3:");
  EXPECT_EQ(ui.calls[1], "square:3");
}

TEST_F(PanelCommandsTest, NoWaveOnAnEmptySlotRunsTheSameSteps) {
  m.muted[5] = 1;
  m.volume[5] = 40;
  NoWaveCommand(m, 5);
  EXPECT_EQ(m.peakLevel, -100);
  EXPECT_EQ(m.muted[5], 0);
  EXPECT_EQ(m.volume[5], 1);
  EXPECT_STREQ(m.slotName[5], "");
  ASSERT_EQ(ui.calls.size(), 2u);
  EXPECT_EQ(ui.calls[1], "square:5");
}

TEST_F(PanelCommandsTest, NoWaveLeavesTheOtherSlots) {
  FillSlot(0);
  FillSlot(1);
  NoWaveCommand(m, 0);
  EXPECT_EQ(m.active[1], 1);
  EXPECT_NE(m.sampleMemory[1], nullptr);
  EXPECT_EQ(m.locked[1], 1);
  EXPECT_EQ(m.volume[1], 300);
  EXPECT_STREQ(m.slotName[1], "C:\\LOOPS\\KICK.WAV");
}

// The square is redrawn while the slot name still holds the old path, the flags are clear.
class StateAtDraw : public UiSeam {
 public:
  explicit StateAtDraw(Mixer& mixer) : m_(mixer) {}
  void InfoBox(const char*) override {}
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int slot) override {
    nameAtDraw = m_.slotName[slot];
    lockedAtDraw = m_.locked[slot];
    volumeAtDraw = m_.volume[slot];
  }
  void DeferredMenuStep() override {}
  std::string nameAtDraw;
  int32_t lockedAtDraw = -1;
  int32_t volumeAtDraw = -1;

 private:
  Mixer& m_;
};

TEST_F(PanelCommandsTest, SquareIsDrawnBeforeTheNameIsEmptied) {
  FillSlot(2);
  StateAtDraw seam(m);
  m.ui = &seam;
  NoWaveCommand(m, 2);
  EXPECT_EQ(seam.nameAtDraw, "C:\\LOOPS\\KICK.WAV");
  EXPECT_EQ(seam.lockedAtDraw, 0);
  EXPECT_EQ(seam.volumeAtDraw, 1);
}

TEST_F(PanelCommandsTest, SyncRewindsEveryChannelAndThePeakOnly) {
  FillSlot(0);
  FillSlot(6);
  m.peakLevel = 12345;
  m.writeIndexBytes = 40;
  SyncCommand(m);
  EXPECT_EQ(m.readPosBytes[0], 0);
  EXPECT_EQ(m.readPosBytes[6], 0);
  EXPECT_EQ(m.peakLevel, 0);
  EXPECT_EQ(m.active[0], 1);
  EXPECT_EQ(m.volume[6], 300);
  EXPECT_EQ(m.writeIndexBytes, 40u);
  EXPECT_TRUE(ui.calls.empty());
}

}  // namespace
}  // namespace mixorama
