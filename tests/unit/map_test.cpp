// The mixing map's rules without a window: closeness, colours, the slot a click acts on, what
// a mouse move, each button and following the cursor do to targets, locks, mutes and the flags.
#include "ui/map_rules.h"
#include "unit/support.h"

namespace mixorama::test {
namespace {

TEST(Closeness, AtTheWorkedPositionsAndItsColour) {
  const struct {
    int32_t x, y;
    int32_t expected[kChannelCount];
  } cases[] = {
      {87, 0, {350, 227, 74, 0, -41, -21, 73, 175}},
      {175, 175, {155, 155, 155, 155, 155, 155, 155, 155}},
      {0, 0, {263, 263, 88, -10, -87, -87, -10, 88}},
      {175, 0, {262, 155, 35, -10, -10, 35, 155, 263}},
  };
  for (const auto& c : cases) {
    for (int s = 0; s < kChannelCount; ++s) {
      EXPECT_EQ(Closeness(c.x, c.y, s), c.expected[s]) << c.x << "," << c.y << " slot " << s + 1;
    }
  }
  EXPECT_LT(Closeness(-32768, -32768, 5), 0);  // the sum of squares passes 31 bits
  EXPECT_EQ(ClampedCloseness(0, 0, 4), 1);
  EXPECT_EQ(ClampedCloseness(87, 350, 0), 1);  // exactly 350 pixels away
  EXPECT_EQ(std::vector<ColorRef>({LevelColor(1), LevelColor(175), LevelColor(350)}),
            std::vector<ColorRef>({0x00FF0000u, 0x00807F7Fu, 0x0000FFFFu}));  // blue, grey, yellow
}

class Map : public Engine {
 protected:
  void LoadSlots(std::initializer_list<int> slots) {
    for (int s : slots) ASSERT_EQ(LoadFrames({{0, 0}}, s), 1);
  }
};

TEST_F(Map, AClickActsOnTheHeldKeyOrTheNearestLoadedSlot) {
  LoadSlots({1, 2, 7});
  bool keys[kChannelCount] = {};
  EXPECT_EQ(PickSlotFrom(m, keys, 0, 0), 1);      // slots 1 and 2 tie; slot 1 is empty
  EXPECT_EQ(PickSlotFrom(m, keys, 175, 175), 1);  // all tie: the lowest loaded one
  EXPECT_EQ(PickSlotFrom(m, keys, 262, 0), 7);
  EXPECT_EQ(PickSlotFrom(m, keys, 350, 350), -1);  // no loaded slot within 350 pixels
  std::vector<int> asked;  // keypad 4 and 6 down: the asking stops at 4, keeping 6's press
  ReadKeypad([&](int k) { return asked.push_back(k), k == 3 || k == 5; }, keys);
  EXPECT_EQ(asked, std::vector<int>({0, 1, 2, 3}));
  EXPECT_EQ(PickSlotFrom(m, keys, 262, 0), 3);  // the key wins, loaded or not
}

// A move sets the clamped closeness as the target of loaded, free slots; leaving releases.
TEST_F(Map, MovesFollowFreeLoadedSlotsAndLeavingReleases) {
  LoadSlots({0, 1, 2, 4});
  m.locked[1] = m.muted[2] = 1;
  m.targetVolume[1] = 77;
  m.targetVolume[3] = 9;  // empty: not followed
  MoveResult r = MapMouseMove(m, 0, 0);
  EXPECT_TRUE(r.takeCapture && !r.releaseCapture && m.live && m.mapHover);
  ASSERT_EQ(r.fillCount, 2);
  EXPECT_EQ(std::vector<ColorRef>({ColorRef(r.fills[0].slot), r.fills[0].color,
                                   ColorRef(r.fills[1].slot), r.fills[1].color}),
            std::vector<ColorRef>({0, LevelColor(263), 4, LevelColor(1)}));
  EXPECT_EQ(std::vector<int32_t>(m.targetVolume, m.targetVolume + 5),
            std::vector<int32_t>({263, 77, 1, 9, 1}));

  r = MapMouseMove(m, 350, 350);  // still inside
  EXPECT_FALSE(r.takeCapture || r.releaseCapture);
  EXPECT_EQ(m.targetVolume[4], 262);
  for (auto [x, y] : {std::pair{351, 350}, {-1, 0}, {0, 351}, {100, -1}}) {
    MapMouseMove(m, 100, 100);
    const int32_t before = m.targetVolume[0];
    r = MapMouseMove(m, x, y);
    EXPECT_EQ(std::vector<int32_t>({r.releaseCapture, r.repaintAll, r.fillCount, m.mapHover, m.live,
                                    m.targetVolume[0]}),
              std::vector<int32_t>({1, 1, 0, 0, 1, before}))
        << x << "," << y;
  }
  r = MapMouseMove(m, 400, 10);  // a first move outside takes and releases at once
  EXPECT_TRUE(r.takeCapture && r.releaseCapture);
}

// Each button from each state of a slot, with the cursor over the map at (87, 10).
TEST_F(Map, ButtonsLockMuteAndFreeTheChosenSlot) {
  LoadSlots({0});
  const int32_t atCursor = ClampedCloseness(87, 10, 0);  // 340
  const struct {
    int32_t locked, muted;
    bool left;
    int32_t lockedAfter, mutedAfter, target;
    ColorRef colour;
  } cases[] = {
      {0, 0, true, 1, 0, atCursor, kLockedColor},
      {0, 0, false, 0, 1, 1, kMutedColor},
      {1, 0, true, 0, 0, atCursor, LevelColor(atCursor)},
      {1, 0, false, 0, 1, 1, kMutedColor},
      {0, 1, true, 1, 0, atCursor, kLockedColor},
      {0, 1, false, 0, 0, atCursor, LevelColor(atCursor)},
  };
  const bool noKeys[kChannelCount] = {};
  MapMouseMove(m, 87, 10);
  for (const auto& c : cases) {
    m.locked[0] = c.locked;
    m.muted[0] = c.muted;
    m.targetVolume[0] = 200;
    const ClickResult r =
        c.left ? MapLeftClick(m, noKeys, 87, 10) : MapRightClick(m, noKeys, 87, 10);
    EXPECT_EQ(
        std::vector<int64_t>({r.slot, m.locked[0], m.muted[0], m.targetVolume[0], r.fill.color}),
        std::vector<int64_t>({0, c.lockedAfter, c.mutedAfter, c.target, c.colour}))
        << c.locked << c.muted << c.left;
  }
}

// Besides a click (the buttons above): following and drawing do nothing while the cursor is
// off the map, an empty slot never follows and shows idle, the full repaint shows targets, and
// locked shows over muted (a setup file may hold both).
TEST_F(Map, FollowingTheCursorAndColours) {
  LoadSlots({0, 1});
  m.targetVolume[0] = m.targetVolume[6] = 175;
  FollowCursor(m, 0, 87, 0);
  EXPECT_EQ(DrawSlotSquareRule(m, 0, 87, 0).color, kIdleColor);
  m.mapHover = 1;
  FollowCursor(m, 6, 350, 87);
  EXPECT_EQ(std::vector<int32_t>({m.targetVolume[0], m.targetVolume[6]}),
            std::vector<int32_t>({175, 175}));
  EXPECT_EQ(DrawSlotSquareRule(m, 6, 350, 87).color, kIdleColor);
  EXPECT_EQ(PaintColor(m, 6), LevelColor(175));
  m.muted[1] = 1;
  EXPECT_EQ(PaintColor(m, 1), kMutedColor);
  m.locked[1] = 1;
  EXPECT_EQ(PaintColor(m, 1), kLockedColor);
  EXPECT_EQ(DrawSlotSquareRule(m, 1, 0, 87).color, kLockedColor);
}

}  // namespace
}  // namespace mixorama::test
