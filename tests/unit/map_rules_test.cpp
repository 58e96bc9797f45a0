// The mixing map's rules over the channel table: geometry, closeness at the documented
// positions, the colours, the slot choice, and what moves and clicks do to flags and targets.
#include "ui/map_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

namespace mixorama {
namespace {

// A table whose listed slots hold a (one-frame) wave, as far as the map can tell.
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

// ---- Geometry -----------------------------------------------------------------------------

struct GeometryCase {
  int slot;
  MapPoint point;
  SquareRect square;
};

class GeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTest, PointAndSquareMatchTheTable) {
  const GeometryCase& c = GetParam();
  EXPECT_EQ(SlotPoint(c.slot).x, c.point.x);
  EXPECT_EQ(SlotPoint(c.slot).y, c.point.y);
  const SquareRect r = SlotSquare(c.slot);
  EXPECT_EQ(r.left, c.square.left);
  EXPECT_EQ(r.top, c.square.top);
  EXPECT_EQ(r.right, c.square.right);
  EXPECT_EQ(r.bottom, c.square.bottom);
  // Inside the drawn map (pixels 0..349) and touching the border the point lies on.
  EXPECT_GE(r.left, 0);
  EXPECT_GE(r.top, 0);
  EXPECT_LE(r.right, 350);
  EXPECT_LE(r.bottom, 350);
  EXPECT_EQ(Closeness(c.point.x, c.point.y, c.slot), 350);
}

INSTANTIATE_TEST_SUITE_P(AllSlots, GeometryTest,
                         ::testing::Values(GeometryCase{0, {87, 0}, {77, 0, 97, 20}},
                                           GeometryCase{1, {0, 87}, {0, 77, 20, 97}},
                                           GeometryCase{2, {0, 262}, {0, 252, 20, 272}},
                                           GeometryCase{3, {87, 350}, {77, 330, 97, 350}},
                                           GeometryCase{4, {262, 350}, {252, 330, 272, 350}},
                                           GeometryCase{5, {350, 262}, {330, 252, 350, 272}},
                                           GeometryCase{6, {350, 87}, {330, 77, 350, 97}},
                                           GeometryCase{7, {262, 0}, {252, 0, 272, 20}}));

// ---- Closeness ----------------------------------------------------------------------------

struct ClosenessCase {
  const char* name;
  int32_t x;
  int32_t y;
  int32_t expected[kChannelCount];  // unclamped, slots 1..8
};

class ClosenessTest : public ::testing::TestWithParam<ClosenessCase> {};

TEST_P(ClosenessTest, EverySlot) {
  const ClosenessCase& c = GetParam();
  for (int s = 0; s < kChannelCount; ++s) {
    EXPECT_EQ(Closeness(c.x, c.y, s), c.expected[s]) << "slot " << s + 1;
    const int32_t clamped = c.expected[s] < 1 ? 1 : c.expected[s];
    EXPECT_EQ(ClampedCloseness(c.x, c.y, s), clamped) << "slot " << s + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Positions, ClosenessTest,
    ::testing::Values(
        // Distances 195.4 to 195.9, all truncated to 195.
        ClosenessCase{"Centre", 175, 175, {155, 155, 155, 155, 155, 155, 155, 155}},
        ClosenessCase{"TopLeftCorner", 0, 0, {263, 263, 88, -10, -87, -87, -10, 88}},
        // Slot 8 is 87 pixels away, slot 1 is 88.
        ClosenessCase{"TopMiddle", 175, 0, {262, 155, 35, -10, -10, 35, 155, 263}},
        ClosenessCase{"BottomRightCorner", 350, 350, {-87, -87, -10, 87, 262, 262, 87, -10}},
        // Root of 8 is 2.83 and of 26 is 5.10: truncated, not rounded.
        ClosenessCase{"NearSlot1", 89, 2, {348, 227, 76, 2, -38, -18, 76, 177}},
        ClosenessCase{"NearSlot1Off", 88, 5, {345, 230, 79, 5, -36, -17, 76, 176}}),
    [](const ::testing::TestParamInfo<ClosenessCase>& p) { return p.param.name; });

TEST(Closeness, ExactlyThreeHundredFiftyPixelsAwayIsZero) {
  EXPECT_EQ(Closeness(87, 350, 0), 0);  // slot 1's point to the bottom edge below it
  EXPECT_EQ(ClampedCloseness(87, 350, 0), 1);
  EXPECT_EQ(Closeness(87, 349, 0), 1);
  EXPECT_EQ(Closeness(87, 351, 0), -1);
}

TEST(Closeness, FarOffTheMapStaysNegativeWhenTheSumPassesThirtyOneBits) {
  // dx = -33118, dy = -33030 for slot 6: the sum of squares exceeds 2^31.
  EXPECT_LT(Closeness(-32768, -32768, 5), 0);
  EXPECT_EQ(ClampedCloseness(-32768, -32768, 5), 1);
  // Just below 2^31: a plain, very negative closeness.
  EXPECT_EQ(Closeness(32767, 32767, 0), -45928);
  for (int s = 0; s < kChannelCount; ++s) {
    EXPECT_LT(Closeness(-32768, 32767, s), 0);
    EXPECT_LT(Closeness(32767, -32768, s), 0);
  }
}

// ---- Colours ------------------------------------------------------------------------------

class LevelColorTest : public ::testing::TestWithParam<std::tuple<int32_t, ColorRef>> {};

TEST_P(LevelColorTest, Value) {
  EXPECT_EQ(LevelColor(std::get<0>(GetParam())), std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Levels, LevelColorTest,
                         ::testing::Values(std::make_tuple(1, 0x00FF0000u),  // idle blue
                                           std::make_tuple(2, 0x00FE0101u),  // f = 510 / 350
                                           std::make_tuple(3, 0x00FD0202u),
                                           std::make_tuple(175, 0x00807F7Fu),
                                           std::make_tuple(349, 0x0001FEFEu),
                                           std::make_tuple(350, 0x0000FFFFu)));

TEST(Colors, FixedStateColors) {
  EXPECT_EQ(kLockedColor, 0x000000FFu);
  EXPECT_EQ(kMutedColor, 0x0000FF00u);
  EXPECT_EQ(kIdleColor, 0x00FF0000u);
  EXPECT_EQ(LevelColor(1), kIdleColor);
}

TEST_F(MapTest, AtStartEverySquarePaintsIdleBlue) {
  for (int s = 0; s < kChannelCount; ++s) EXPECT_EQ(PaintColor(m, s), kIdleColor);
}

TEST_F(MapTest, PaintColorLockedBeatsMutedBeatsLevel) {
  m.targetVolume[2] = 175;
  EXPECT_EQ(PaintColor(m, 2), 0x00807F7Fu);
  m.muted[2] = 1;
  EXPECT_EQ(PaintColor(m, 2), kMutedColor);
  m.locked[2] = 1;
  EXPECT_EQ(PaintColor(m, 2), kLockedColor);
}

TEST_F(MapTest, EmptyFreeSlotPaintsItsTargetButDrawsIdleWhileHovering) {
  m.targetVolume[4] = 350;
  Hover();
  EXPECT_EQ(PaintColor(m, 4), 0x0000FFFFu);
  const SquareFill f = DrawSlotSquareRule(m, 4, 262, 350);
  EXPECT_EQ(f.slot, 4);
  EXPECT_EQ(f.color, kIdleColor);
  EXPECT_EQ(m.targetVolume[4], 350);  // an empty slot's target is not taken
}

// ---- Tracked area -------------------------------------------------------------------------

class TrackedAreaTest : public ::testing::TestWithParam<std::tuple<int32_t, int32_t, bool>> {};

TEST_P(TrackedAreaTest, Inclusive0To350) {
  const auto [x, y, inside] = GetParam();
  EXPECT_EQ(InTrackedArea(x, y), inside);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, TrackedAreaTest,
    ::testing::Values(std::make_tuple(0, 0, true), std::make_tuple(350, 350, true),
                      std::make_tuple(350, 0, true), std::make_tuple(0, 350, true),
                      std::make_tuple(351, 350, false), std::make_tuple(350, 351, false),
                      std::make_tuple(-1, 0, false), std::make_tuple(0, -1, false),
                      std::make_tuple(-32768, 175, false), std::make_tuple(175, 32767, false)));

// ---- Slot choice --------------------------------------------------------------------------

TEST_F(MapTest, CornerTieGoesToTheLowerSlot) {
  LoadAll();
  EXPECT_EQ(PickSlotFrom(m, noKeys, 0, 0), 0);      // slots 1 and 2 both 263
  EXPECT_EQ(PickSlotFrom(m, noKeys, 175, 175), 0);  // all eight at 155
}

TEST_F(MapTest, TieSkipsEmptySlots) {
  Load({1, 2, 3});
  EXPECT_EQ(PickSlotFrom(m, noKeys, 0, 0), 1);
  EXPECT_EQ(PickSlotFrom(m, noKeys, 175, 175), 1);
}

TEST_F(MapTest, TopMiddleChoosesSlot8) {
  LoadAll();
  EXPECT_EQ(PickSlotFrom(m, noKeys, 175, 0), 7);
}

TEST_F(MapTest, NothingLoadedChoosesNothing) {
  EXPECT_EQ(PickSlotFrom(m, noKeys, 87, 0), -1);
}

TEST_F(MapTest, SlotThreeHundredFiftyPixelsAwayIsNeverChosenByPosition) {
  Load({0});
  EXPECT_EQ(PickSlotFrom(m, noKeys, 87, 350), -1);  // closeness 0
  EXPECT_EQ(PickSlotFrom(m, noKeys, 87, 349), 0);   // closeness 1
  EXPECT_EQ(PickSlotFrom(m, noKeys, -10000, -10000), -1);
}

TEST_F(MapTest, FirstHeldKeypadKeyWinsLoadedOrNot) {
  bool keys[kChannelCount] = {};
  keys[2] = true;                                       // keypad 3
  keys[4] = true;                                       // keypad 5
  EXPECT_EQ(PickSlotFrom(m, keys, -10000, -10000), 2);  // nothing loaded, cursor far away
  LoadAll();
  EXPECT_EQ(PickSlotFrom(m, keys, 350, 87), 2);  // on slot 7's point
  bool key8[kChannelCount] = {};
  key8[7] = true;
  EXPECT_EQ(PickSlotFrom(m, key8, 87, 0), 7);
}

// ---- Mouse move ---------------------------------------------------------------------------

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

TEST_F(MapTest, MoveSetsClampedTargetsAtTheCorner) {
  LoadAll();
  MapMouseMove(m, 0, 0);
  const int32_t expected[kChannelCount] = {263, 263, 88, 1, 1, 1, 1, 88};
  for (int s = 0; s < kChannelCount; ++s) EXPECT_EQ(m.targetVolume[s], expected[s]) << s;
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
  EXPECT_EQ(m.targetVolume[0], 200);
  EXPECT_EQ(m.targetVolume[1], 1);
  EXPECT_EQ(m.targetVolume[2], 42);
  EXPECT_EQ(m.targetVolume[3], 155);
  EXPECT_EQ(m.targetVolume[4], 155);
}

TEST_F(MapTest, FarCornerIsStillInside) {
  LoadAll();
  MapMouseMove(m, 100, 100);
  const MoveResult r = MapMouseMove(m, 350, 350);
  EXPECT_FALSE(r.releaseCapture);
  EXPECT_EQ(m.mapHover.load(), 1);
  EXPECT_EQ(m.targetVolume[4], 262);
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

// ---- DrawSlotSquare -----------------------------------------------------------------------

TEST_F(MapTest, DrawWithoutHoverKeepsTargetAndShowsIdle) {
  LoadAll();
  m.targetVolume[0] = 99;
  const SquareFill f = DrawSlotSquareRule(m, 0, 87, 0);
  EXPECT_EQ(f.color, kIdleColor);
  EXPECT_EQ(m.targetVolume[0], 99);
}

TEST_F(MapTest, DrawWhileHoveringTakesTargetForLockedSlotToo) {
  LoadAll();
  Hover();
  m.locked[7] = 1;
  const SquareFill f = DrawSlotSquareRule(m, 7, 175, 0);
  EXPECT_EQ(f.color, kLockedColor);
  EXPECT_EQ(m.targetVolume[7], 263);
}

TEST_F(MapTest, DrawWhileHoveringLeavesMutedTarget) {
  LoadAll();
  Hover();
  m.muted[7] = 1;
  const SquareFill f = DrawSlotSquareRule(m, 7, 175, 0);
  EXPECT_EQ(f.color, kMutedColor);
  EXPECT_EQ(m.targetVolume[7], 1);
}

TEST_F(MapTest, DrawWhileHoveringFarAwayClampsToOne) {
  LoadAll();
  Hover();
  m.targetVolume[4] = 300;
  const SquareFill f = DrawSlotSquareRule(m, 4, 0, 0);
  EXPECT_EQ(f.color, kIdleColor);  // level colour of 1
  EXPECT_EQ(m.targetVolume[4], 1);
}

// ---- Buttons ------------------------------------------------------------------------------

enum class Flag { kFree, kLocked, kMuted };

struct ButtonCase {
  const char* name;
  Flag before;
  bool left;
  bool hovering;
  Flag after;
  int32_t target;  // expected target afterwards; the slot starts at 77 (1 when muted)
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
        // Not hovering: targets keep their values, free squares show idle blue.
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
  const ClickResult l = MapLeftClick(m, noKeys, 87, 0);  // slot 5 is 350+ pixels away
  const ClickResult r = MapRightClick(m, noKeys, 87, 0);
  EXPECT_EQ(l.slot, -1);
  EXPECT_EQ(r.slot, -1);
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
  // Unmuting does not write 1 first: with no hover the target stays where it was.
  Load({0});
  m.muted[0] = 1;
  m.targetVolume[0] = 120;  // e.g. set by a locked-then-muted path's earlier draw
  ApplyRightButton(m, 0);
  EXPECT_EQ(m.muted[0], 0);
  EXPECT_EQ(m.targetVolume[0], 120);
}

TEST_F(MapTest, LockedAndMutedSlotsKeepTargetsWhileTheMouseMoves) {
  LoadAll();
  Hover();
  MapLeftClick(m, noKeys, 87, 0);   // lock slot 1 at 350
  MapRightClick(m, noKeys, 0, 87);  // mute slot 2
  for (int32_t x = 0; x <= 350; x += 25) MapMouseMove(m, x, 350 - x);
  EXPECT_EQ(m.targetVolume[0], 350);
  EXPECT_EQ(m.targetVolume[1], 1);
  EXPECT_EQ(PaintColor(m, 0), kLockedColor);
  EXPECT_EQ(PaintColor(m, 1), kMutedColor);
}

}  // namespace
}  // namespace mixorama
