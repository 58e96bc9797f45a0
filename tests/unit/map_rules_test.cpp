// The mixing map's rules: geometry, closeness, colours, slot choice, moves and clicks.
#include "ui/map_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace mixorama {
namespace {

class MapTest : public ::testing::Test {
 protected:
  void Load(std::initializer_list<int> slots) {
    for (int s : slots) {
      if (m.sampleMemory[s] == nullptr) m.sampleMemory[s] = m.allocator.allocZeroed(4);
    }
  }
  void LoadAll() { Load({0, 1, 2, 3, 4, 5, 6, 7}); }
  void Hover() {
    m.mapHover = 1;
    m.live = 1;
  }

  Mixer m;
  bool noKeys[kChannelCount] = {};
};

struct ClosenessCase {
  const char* name;
  int32_t x;
  int32_t y;
  int32_t expected[kChannelCount];  // unclamped
};

class ClosenessTest : public ::testing::TestWithParam<ClosenessCase> {};

TEST_P(ClosenessTest, EverySlot) {
  const ClosenessCase& c = GetParam();
  for (int s = 0; s < kChannelCount; ++s) {
    EXPECT_EQ(Closeness(c.x, c.y, s), c.expected[s]) << "slot " << s + 1;
    EXPECT_EQ(ClampedCloseness(c.x, c.y, s), std::max(1, c.expected[s])) << "slot " << s + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Positions, ClosenessTest,
    ::testing::Values(ClosenessCase{"Centre", 175, 175, {155, 155, 155, 155, 155, 155, 155, 155}},
                      ClosenessCase{"TopLeftCorner", 0, 0, {263, 263, 88, -10, -87, -87, -10, 88}},
                      ClosenessCase{"TopMiddle", 175, 0, {262, 155, 35, -10, -10, 35, 155, 263}},
                      // Square roots truncated, not rounded.
                      ClosenessCase{"NearSlot1", 89, 2, {348, 227, 76, 2, -38, -18, 76, 177}}),
    [](const ::testing::TestParamInfo<ClosenessCase>& p) { return p.param.name; });

TEST(Closeness, ThreeHundredFiftyPixelsAndFarOff) {
  EXPECT_EQ(Closeness(87, 350, 0), 0);
  EXPECT_EQ(ClampedCloseness(87, 350, 0), 1);
  EXPECT_EQ(Closeness(87, 349, 0), 1);
  EXPECT_EQ(Closeness(87, 351, 0), -1);
  // The sum of squares passes 2^31 here.
  EXPECT_LT(Closeness(-32768, -32768, 5), 0);
  EXPECT_EQ(ClampedCloseness(-32768, -32768, 5), 1);
  EXPECT_EQ(Closeness(32767, 32767, 0), -45928);
  for (int s = 0; s < kChannelCount; ++s) {
    EXPECT_LT(Closeness(-32768, 32767, s), 0);
    EXPECT_LT(Closeness(32767, -32768, s), 0);
  }
}

TEST(Colors, LevelColorAtTheEnds) {
  const std::tuple<int32_t, ColorRef> cases[] = {{1, 0x00FF0000u},
                                                 {2, 0x00FE0101u},
                                                 {175, 0x00807F7Fu},
                                                 {349, 0x0001FEFEu},
                                                 {350, 0x0000FFFFu}};
  for (const auto& [level, color] : cases) EXPECT_EQ(LevelColor(level), color) << level;
}

TEST_F(MapTest, PaintColorLockedBeatsMutedBeatsLevel) {
  m.targetVolume[2] = 175;
  EXPECT_EQ(PaintColor(m, 2), 0x00807F7Fu);
  m.muted[2] = 1;
  EXPECT_EQ(PaintColor(m, 2), 0x0000FF00u);
  m.locked[2] = 1;
  EXPECT_EQ(PaintColor(m, 2), 0x000000FFu);
}

TEST_F(MapTest, EmptyFreeSlotPaintsItsTargetButDrawsIdleWhileHovering) {
  m.targetVolume[4] = 350;
  Hover();
  EXPECT_EQ(PaintColor(m, 4), 0x0000FFFFu);
  const SquareFill f = DrawSlotSquareRule(m, 4, 262, 350);
  EXPECT_EQ(f.slot, 4);
  EXPECT_EQ(f.color, kIdleColor);
  EXPECT_EQ(m.targetVolume[4], 350);
}

TEST(TrackedArea, Inclusive0To350) {
  const std::tuple<int32_t, int32_t, bool> cases[] = {
      {0, 0, true},         {350, 350, true},   {350, 0, true}, {0, 350, true},
      {351, 350, false},    {350, 351, false},  {-1, 0, false}, {0, -1, false},
      {-32768, 175, false}, {175, 32767, false}};
  for (const auto& [x, y, inside] : cases) EXPECT_EQ(InTrackedArea(x, y), inside) << x << "," << y;
}

TEST_F(MapTest, PickByNearnessTiesGoLowAndSkipEmptyOrTooFar) {
  EXPECT_EQ(PickSlotFrom(m, noKeys, 87, 0), -1);  // nothing loaded
  Load({0});
  EXPECT_EQ(PickSlotFrom(m, noKeys, 87, 350), -1);  // closeness 0
  EXPECT_EQ(PickSlotFrom(m, noKeys, 87, 349), 0);
  EXPECT_EQ(PickSlotFrom(m, noKeys, -10000, -10000), -1);
  m.allocator.release(m.sampleMemory[0]);
  m.sampleMemory[0] = nullptr;
  Load({1, 2, 3});
  EXPECT_EQ(PickSlotFrom(m, noKeys, 0, 0), 1);
  EXPECT_EQ(PickSlotFrom(m, noKeys, 175, 175), 1);
  LoadAll();
  EXPECT_EQ(PickSlotFrom(m, noKeys, 0, 0), 0);
  EXPECT_EQ(PickSlotFrom(m, noKeys, 175, 175), 0);
  EXPECT_EQ(PickSlotFrom(m, noKeys, 175, 0), 7);
}

TEST_F(MapTest, FirstHeldKeypadKeyWinsLoadedOrNot) {
  bool keys[kChannelCount] = {};
  keys[2] = true;  // keypad 3
  keys[4] = true;  // keypad 5
  EXPECT_EQ(PickSlotFrom(m, keys, -10000, -10000), 2);
  LoadAll();
  EXPECT_EQ(PickSlotFrom(m, keys, 350, 87), 2);
}

TEST_F(MapTest, FirstMoveInsideTakesCaptureAndSetsFlags) {
  LoadAll();
  const MoveResult r = MapMouseMove(m, 175, 175);
  EXPECT_TRUE(r.takeCapture);
  EXPECT_FALSE(r.releaseCapture);
  EXPECT_FALSE(r.repaintAll);
  EXPECT_EQ(m.live.load(), 1);
  EXPECT_EQ(m.mapHover.load(), 1);
  ASSERT_EQ(r.fillCount, 8);
  for (int s = 0; s < kChannelCount; ++s) {
    EXPECT_EQ(r.fills[s].slot, s);
    EXPECT_EQ(r.fills[s].color, LevelColor(155));
    EXPECT_EQ(m.targetVolume[s], 155);
  }
  const MoveResult again = MapMouseMove(m, 87, 0);
  EXPECT_FALSE(again.takeCapture);
  EXPECT_EQ(m.targetVolume[0], 350);
  EXPECT_EQ(again.fills[0].color, 0x0000FFFFu);
}

TEST_F(MapTest, MoveSkipsLockedMutedAndEmptySlots) {
  Load({0, 1, 3, 4});
  m.locked[0] = 1;
  m.targetVolume[0] = 200;
  m.muted[1] = 1;
  m.targetVolume[1] = 1;
  m.targetVolume[2] = 42;  // empty
  const MoveResult r = MapMouseMove(m, 175, 175);
  ASSERT_EQ(r.fillCount, 2);
  EXPECT_EQ(r.fills[0].slot, 3);
  EXPECT_EQ(r.fills[1].slot, 4);
  const int32_t expected[5] = {200, 1, 42, 155, 155};
  for (int s = 0; s < 5; ++s) EXPECT_EQ(m.targetVolume[s], expected[s]) << s;
}

class LeaveTest : public MapTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(LeaveTest, LeavingReleasesRepaintsAndKeepsLiveAndTargets) {
  LoadAll();
  MapMouseMove(m, 175, 175);
  const MoveResult r = MapMouseMove(m, GetParam().first, GetParam().second);
  EXPECT_FALSE(r.takeCapture);
  EXPECT_TRUE(r.releaseCapture);
  EXPECT_TRUE(r.repaintAll);
  EXPECT_EQ(r.fillCount, 0);
  EXPECT_EQ(m.mapHover.load(), 0);
  EXPECT_EQ(m.live.load(), 1);
  for (int s = 0; s < kChannelCount; ++s) EXPECT_EQ(m.targetVolume[s], 155);
}

INSTANTIATE_TEST_SUITE_P(Outside, LeaveTest,
                         ::testing::Values(std::make_pair(351, 350), std::make_pair(-1, 0),
                                           std::make_pair(0, -1), std::make_pair(175, 351)));

TEST_F(MapTest, FirstMoveOutsideTakesAndReleasesInOneMessage) {
  LoadAll();
  const MoveResult r = MapMouseMove(m, 400, 100);
  EXPECT_TRUE(r.takeCapture);
  EXPECT_TRUE(r.releaseCapture);
  EXPECT_TRUE(r.repaintAll);
  EXPECT_EQ(r.fillCount, 0);
  EXPECT_EQ(m.live.load(), 1);
  EXPECT_EQ(m.mapHover.load(), 0);
  for (int s = 0; s < kChannelCount; ++s) EXPECT_EQ(m.targetVolume[s], 1);
}

TEST_F(MapTest, DrawWhileHoveringTakesLockedAndClampedTargetsButNotMuted) {
  LoadAll();
  Hover();
  m.locked[7] = 1;
  EXPECT_EQ(DrawSlotSquareRule(m, 7, 175, 0).color, kLockedColor);
  EXPECT_EQ(m.targetVolume[7], 263);
  m.muted[6] = 1;
  EXPECT_EQ(DrawSlotSquareRule(m, 6, 0, 0).color, kMutedColor);
  EXPECT_EQ(m.targetVolume[6], 1);
  m.targetVolume[4] = 300;
  EXPECT_EQ(DrawSlotSquareRule(m, 4, 0, 0).color, kIdleColor);
  EXPECT_EQ(m.targetVolume[4], 1);
}

enum class Flag { kFree, kLocked, kMuted };

struct ButtonCase {
  const char* name;
  Flag before;
  bool left;
  bool hovering;
  Flag after;
  int32_t target;  // the slot starts at 77 (1 when muted)
  ColorRef color;
};

class ButtonTest : public MapTest, public ::testing::WithParamInterface<ButtonCase> {};

// The cursor at (175, 0): slot 8 at closeness 263, the nearest.
TEST_P(ButtonTest, Transition) {
  const ButtonCase& c = GetParam();
  LoadAll();
  if (c.hovering) Hover();
  m.targetVolume[7] = c.before == Flag::kMuted ? 1 : 77;
  m.locked[7] = c.before == Flag::kLocked ? 1 : 0;
  m.muted[7] = c.before == Flag::kMuted ? 1 : 0;
  const ClickResult r = c.left ? MapLeftClick(m, noKeys, 175, 0) : MapRightClick(m, noKeys, 175, 0);
  EXPECT_EQ(r.slot, 7);
  EXPECT_EQ(r.fill.slot, 7);
  EXPECT_EQ(m.locked[7], c.after == Flag::kLocked ? 1 : 0);
  EXPECT_EQ(m.muted[7], c.after == Flag::kMuted ? 1 : 0);
  EXPECT_EQ(m.targetVolume[7], c.target);
  EXPECT_EQ(r.fill.color, c.color);
  for (int s = 0; s < 7; ++s) {
    EXPECT_EQ(m.locked[s], 0);
    EXPECT_EQ(m.muted[s], 0);
    EXPECT_EQ(m.targetVolume[s], 1);
  }
}

const ColorRef kLevel263 = LevelColor(263);

INSTANTIATE_TEST_SUITE_P(
    Table, ButtonTest,
    ::testing::Values(
        ButtonCase{"FreeLeftLocks", Flag::kFree, true, true, Flag::kLocked, 263, kLockedColor},
        ButtonCase{"FreeRightMutes", Flag::kFree, false, true, Flag::kMuted, 1, kMutedColor},
        ButtonCase{"LockedLeftFrees", Flag::kLocked, true, true, Flag::kFree, 263, kLevel263},
        ButtonCase{"LockedRightMutes", Flag::kLocked, false, true, Flag::kMuted, 1, kMutedColor},
        ButtonCase{"MutedLeftLocks", Flag::kMuted, true, true, Flag::kLocked, 263, kLockedColor},
        ButtonCase{"MutedRightFrees", Flag::kMuted, false, true, Flag::kFree, 263, kLevel263},
        ButtonCase{"NoHoverFreeLeftLocks", Flag::kFree, true, false, Flag::kLocked, 77,
                   kLockedColor},
        ButtonCase{"NoHoverLockedLeftFrees", Flag::kLocked, true, false, Flag::kFree, 77,
                   kIdleColor},
        ButtonCase{"NoHoverFreeRightMutes", Flag::kFree, false, false, Flag::kMuted, 1,
                   kMutedColor},
        ButtonCase{"NoHoverMutedRightFreesAtOne", Flag::kMuted, false, false, Flag::kFree, 1,
                   kIdleColor}),
    [](const ::testing::TestParamInfo<ButtonCase>& p) { return p.param.name; });

TEST_F(MapTest, ClickWithNoQualifyingSlotDoesNothing) {
  Load({4});
  Hover();
  m.targetVolume[4] = 50;
  EXPECT_EQ(MapLeftClick(m, noKeys, 87, 0).slot, -1);  // slot 5 is 350+ pixels away
  EXPECT_EQ(MapRightClick(m, noKeys, 87, 0).slot, -1);
  EXPECT_EQ(m.locked[4], 0);
  EXPECT_EQ(m.muted[4], 0);
  EXPECT_EQ(m.targetVolume[4], 50);
}

TEST_F(MapTest, KeypadClickOnEmptySlotTogglesItsFlags) {
  Hover();
  bool key3[kChannelCount] = {};
  key3[2] = true;
  m.targetVolume[2] = 60;
  ClickResult r = MapRightClick(m, key3, 0, 262);
  EXPECT_EQ(r.slot, 2);
  EXPECT_EQ(r.fill.color, kMutedColor);
  EXPECT_EQ(m.muted[2], 1);
  EXPECT_EQ(m.targetVolume[2], 1);
  r = MapLeftClick(m, key3, 0, 262);
  EXPECT_EQ(r.fill.color, kLockedColor);
  EXPECT_EQ(m.locked[2], 1);
  EXPECT_EQ(m.muted[2], 0);
  EXPECT_EQ(m.targetVolume[2], 1);  // empty: the cursor does not set it
}

TEST_F(MapTest, RightClickOnMutedSlotKeepsTargetBeforeDrawing) {
  Load({0});
  m.muted[0] = 1;
  m.targetVolume[0] = 120;
  ApplyRightButton(m, 0);
  EXPECT_EQ(m.muted[0], 0);
  EXPECT_EQ(m.targetVolume[0], 120);
}

}  // namespace
}  // namespace mixorama
