#include "ui/map_rules.h"

#include <climits>
#include <cmath>
#include <mutex>

namespace mixorama {

namespace {

// Slot points, slots 1..8 anticlockwise from the left half of the top edge.
constexpr MapPoint kSlotPoints[kChannelCount] = {
    {87, 0},         {0, 87},         {0, 262},       {87, kMapSize},
    {262, kMapSize}, {kMapSize, 262}, {kMapSize, 87}, {262, 0},
};

// Each square lies against the border, centred along it on the slot point: 10 pixels to
// either side of the point along the border, inward from the border 20 pixels.
constexpr int32_t SquareStart(int32_t pointCoord) {
  if (pointCoord == 0) return 0;
  if (pointCoord == kMapSize) return kMapSize - kSquareSize;
  return pointCoord - kSquareSize / 2;
}

}  // namespace

MapPoint SlotPoint(int slot) {
  return kSlotPoints[slot];
}

SquareRect SlotSquare(int slot) {
  const MapPoint p = kSlotPoints[slot];
  const int32_t left = SquareStart(p.x);
  const int32_t top = SquareStart(p.y);
  return SquareRect{left, top, left + kSquareSize, top + kSquareSize};
}

int32_t Closeness(int32_t x, int32_t y, int slot) {
  const MapPoint p = kSlotPoints[slot];
  // The sum of squares is a 32-bit quantity. Mouse positions are 16-bit, so it can pass 2^31
  // only for positions tens of thousands of pixels off the map; there it wraps negative, its
  // root is no number, and the 32-bit truncation of that is INT32_MIN. 350 minus INT32_MIN
  // wraps in turn: the result stays far below 0, so such a slot is never chosen or followed.
  const uint32_t dx = static_cast<uint32_t>(x) - static_cast<uint32_t>(p.x);
  const uint32_t dy = static_cast<uint32_t>(y) - static_cast<uint32_t>(p.y);
  const uint32_t sumBits = dx * dx + dy * dy;
  if (sumBits > static_cast<uint32_t>(INT32_MAX)) return INT32_MIN + kUnityVolume;
  const int32_t sum = static_cast<int32_t>(sumBits);
  const int32_t distance = static_cast<int32_t>(std::sqrt(static_cast<double>(sum)));
  return kUnityVolume - distance;
}

int32_t ClampedCloseness(int32_t x, int32_t y, int slot) {
  const int32_t v = Closeness(x, y, slot);
  return v < 1 ? 1 : v;
}

ColorRef LevelColor(int32_t v) {
  const uint32_t f = static_cast<uint32_t>(v * 255 / kUnityVolume);
  return ((255u - f) << 16) | (f << 8) | f;
}

bool InTrackedArea(int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x <= kMapSize && y <= kMapSize;
}

bool SlotLoaded(const Mixer& m, int slot) {
  return m.sampleMemory[slot] != nullptr;
}

ColorRef PaintColor(const Mixer& m, int slot) {
  if (m.locked[slot] != 0) return kLockedColor;
  if (m.muted[slot] != 0) return kMutedColor;
  // The GUI thread is the only writer of targets, so it reads them without the lock.
  return LevelColor(m.targetVolume[slot]);
}

void ReadKeypad(const std::function<bool(int key)>& keyDown, bool keypadDown[kChannelCount]) {
  bool found = false;
  for (int k = 0; k < kChannelCount; ++k) {
    keypadDown[k] = !found && keyDown(k);
    found = found || keypadDown[k];
  }
}

int PickSlotFrom(const Mixer& m, const bool keypadDown[kChannelCount], int32_t x, int32_t y) {
  for (int k = 0; k < kChannelCount; ++k) {
    if (keypadDown[k]) return k;
  }
  int32_t best = 0;
  int result = -1;
  for (int slot = 0; slot < kChannelCount; ++slot) {
    if (!SlotLoaded(m, slot)) continue;
    const int32_t c = Closeness(x, y, slot);
    if (c > best) {
      best = c;
      result = slot;
    }
  }
  return result;
}

void FollowCursor(Mixer& m, int slot, int32_t cursorX, int32_t cursorY) {
  if (m.mapHover == 0 || !SlotLoaded(m, slot) || m.muted[slot] != 0) return;
  const int32_t v = ClampedCloseness(cursorX, cursorY, slot);
  std::lock_guard<std::mutex> hold(m.lock);
  m.targetVolume[slot] = v;
}

SquareFill DrawSlotSquareRule(const Mixer& m, int slot, int32_t cursorX, int32_t cursorY) {
  if (m.locked[slot] != 0) return SquareFill{slot, kLockedColor};
  if (m.muted[slot] != 0) return SquareFill{slot, kMutedColor};
  if (m.mapHover != 0 && SlotLoaded(m, slot)) {
    return SquareFill{slot, LevelColor(ClampedCloseness(cursorX, cursorY, slot))};
  }
  return SquareFill{slot, kIdleColor};
}

MoveResult MapMouseMove(Mixer& m, int32_t x, int32_t y) {
  MoveResult r;
  if (m.mapHover == 0) {
    r.takeCapture = true;
    m.live = 1;
    m.mapHover = 1;
  }
  if (!InTrackedArea(x, y)) {
    r.releaseCapture = true;
    r.repaintAll = true;
    m.mapHover = 0;
    return r;
  }
  std::lock_guard<std::mutex> hold(m.lock);
  for (int slot = 0; slot < kChannelCount; ++slot) {
    if (m.locked[slot] != 0 || m.muted[slot] != 0 || !SlotLoaded(m, slot)) continue;
    const int32_t v = ClampedCloseness(x, y, slot);
    r.fills[r.fillCount++] = SquareFill{slot, LevelColor(v)};
    m.targetVolume[slot] = v;
  }
  return r;
}

void ApplyLeftButton(Mixer& m, int slot) {
  m.locked[slot] = m.locked[slot] == 0 ? 1 : 0;
  m.muted[slot] = 0;
}

void ApplyRightButton(Mixer& m, int slot) {
  if (m.muted[slot] == 0) {
    std::lock_guard<std::mutex> hold(m.lock);
    m.targetVolume[slot] = 1;
  }
  m.muted[slot] = m.muted[slot] == 0 ? 1 : 0;
  m.locked[slot] = 0;
}

SquareFill ApplySlotLevel(Mixer& m, int slot, int value) {
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.targetVolume[slot] = 1 + value * (kUnityVolume - 1) / 127;
  }
  m.locked[slot] = 1;
  m.muted[slot] = 0;
  return SquareFill{slot, kLockedColor};
}

namespace {

// A press of either button: the slot, the button's flag steps, the cursor, the square.
ClickResult Click(Mixer& m, void (*applyButton)(Mixer&, int), const bool keypadDown[kChannelCount],
                  int32_t x, int32_t y) {
  ClickResult r;
  r.slot = PickSlotFrom(m, keypadDown, x, y);
  if (r.slot < 0) return r;
  applyButton(m, r.slot);
  FollowCursor(m, r.slot, x, y);
  r.fill = DrawSlotSquareRule(m, r.slot, x, y);
  return r;
}

}  // namespace

ClickResult MapLeftClick(Mixer& m, const bool keypadDown[kChannelCount], int32_t x, int32_t y) {
  return Click(m, &ApplyLeftButton, keypadDown, x, y);
}

ClickResult MapRightClick(Mixer& m, const bool keypadDown[kChannelCount], int32_t x, int32_t y) {
  return Click(m, &ApplyRightButton, keypadDown, x, y);
}

}  // namespace mixorama
