// The mixing map's rules, without any window: slot geometry, closeness, the colour rules, the
// slot choice of a click and what a mouse move, a button press and following the cursor do
// to the channel table. The Windows map (TLaMap) only reads the cursor and the keypad, calls these
// and draws what they return; the renderer calls them with its scripted cursor.
//
// Coordinates are the map's client pixels: origin top-left, x right, y down. The tracked
// area is 0..350 inclusive on both axes; drawing covers pixels 0..349.
//
// Threads: every function here runs on the GUI thread (or the renderer's one thread).
// Target volumes are written under Mixer::lock because the tick reads them; locked and muted
// are GUI-thread only and written without it. None of these may be called with Mixer::lock
// held. The live and map-hover flags are the atomics on Mixer.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/mixer.h"

namespace mixorama {

using ColorRef = uint32_t;  // 0x00BBGGRR

inline constexpr int32_t kMapSize = 350;  // tracked 0..350 inclusive, drawn 0..349
inline constexpr int32_t kSquareSize = 20;

inline constexpr ColorRef kLockedColor = 0x000000FF;  // red
inline constexpr ColorRef kMutedColor = 0x0000FF00;   // green
inline constexpr ColorRef kIdleColor = 0x00FF0000;    // blue

struct MapPoint {
  int32_t x;
  int32_t y;
};

// A slot's square: left/top included, right/bottom excluded (left + 20, top + 20).
struct SquareRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// The slot's fixed point on the map border. slot is the index 0..7 (slot number - 1).
MapPoint SlotPoint(int slot);

// The slot's 20 x 20 square, inside the map against the border, centred on its point.
SquareRect SlotSquare(int slot);

// 350 minus the whole-pixel distance from (x, y) to the slot's point: the sum of squares in
// 32-bit integers, the root in double, truncated toward zero. 0 or negative from 350 pixels
// on; a sum beyond 32 bits (only for positions far off the map) also gives a negative value.
int32_t Closeness(int32_t x, int32_t y, int slot);

// Closeness raised to at least 1: the target volume that the cursor at (x, y) gives (1..350).
int32_t ClampedCloseness(int32_t x, int32_t y, int slot);

// Level colour of a volume v (1..350): f = v * 255 / 350, colour (f, f, 255 - f).
ColorRef LevelColor(int32_t v);

// Whether (x, y) lies in the tracked area, 0..350 inclusive on both axes.
bool InTrackedArea(int32_t x, int32_t y);

// A slot is loaded while its sample memory is held.
bool SlotLoaded(const Mixer& m, int slot);

// Colour of the slot's square in a full repaint (PaintMap): locked red, else muted green,
// else the level colour of its target volume, loaded or not.
ColorRef PaintColor(const Mixer& m, int slot);

// Reads the keypad for a click. keyDown(k) asks the platform about keypad key k + 1 (0..7) and
// is true when the key is down or was pressed since the previous query; asking clears that
// "pressed since" report. Keys are asked in order 1..8 and the asking stops at the first key
// down, so a press of a later key is not consumed and still counts for the next click.
// keypadDown[k] receives the answers, false for keys not asked.
void ReadKeypad(const std::function<bool(int key)>& keyDown, bool keypadDown[kChannelCount]);

// Slot choice of a click (without the platform reads). keypadDown[k] is true when
// keypad key k + 1 is reported down or pressed since the previous query. The first such key
// wins, loaded or not; otherwise the loaded slot with the greatest closeness at (x, y) above
// 0, the lowest slot on ties. Returns the slot index 0..7, or -1 when none qualifies.
int PickSlotFrom(const Mixer& m, const bool keypadDown[kChannelCount], int32_t x, int32_t y);

// One square to fill, as the rules ask for it.
struct SquareFill {
  int slot;
  ColorRef color;
};

// The "follow the cursor" step, with the cursor at (cursorX, cursorY) in map coordinates:
// while the map-hover flag is set and the slot is loaded and not muted (locked slots too), the
// slot's target becomes the clamped closeness at the cursor. Takes Mixer::lock for the write.
void FollowCursor(Mixer& m, int slot, int32_t cursorX, int32_t cursorY);

// DrawSlotSquare's colour, with the cursor at (cursorX, cursorY): locked red, muted green,
// hovering and loaded the level colour of the clamped closeness at the cursor, else idle
// blue. Changes nothing.
SquareFill DrawSlotSquareRule(const Mixer& m, int slot, int32_t cursorX, int32_t cursorY);

// What the window must do after a mouse move, in this order: take the capture and focus the
// map (takeCapture), then release the capture (releaseCapture) and repaint the whole map
// (repaintAll), then fill the listed squares. A first move outside the tracked area does
// both capture steps in the same message.
struct MoveResult {
  bool takeCapture = false;
  bool releaseCapture = false;
  bool repaintAll = false;
  int fillCount = 0;
  SquareFill fills[kChannelCount] = {};
};

// WM_MOUSEMOVE at (x, y). On the first move (map-hover clear) sets the live and map-hover
// flags. Outside the tracked area clears the map-hover flag (the live flag stays). Inside,
// every loaded slot that is neither locked nor muted gets the clamped closeness as its
// target and its square in that level colour; other squares are left as they are. Takes
// Mixer::lock once for the target writes.
MoveResult MapMouseMove(Mixer& m, int32_t x, int32_t y);

// Flag steps of the left button for a chosen slot: locked toggles, muted becomes 0.
void ApplyLeftButton(Mixer& m, int slot);

// Flag steps of the right button for a chosen slot: when not muted the target becomes 1
// (under Mixer::lock); then muted toggles and locked becomes 0.
void ApplyRightButton(Mixer& m, int slot);

// A controller's slot level, value 0..127: the target becomes 1 + floor(value * 349 / 127)
// (under Mixer::lock), locked 1 (never toggled), muted 0; on any slot, loaded or not. Nothing
// else changes and the slot does not follow the cursor. Returns its square's fill: locked red.
SquareFill ApplySlotLevel(Mixer& m, int slot, int value);

// What a click did: the slot acted on (-1: nothing happened) and its square's new fill.
struct ClickResult {
  int slot = -1;
  SquareFill fill{-1, 0};
};

// A whole button press with the cursor at (x, y): PickSlotFrom, the button's flag steps,
// then FollowCursor and DrawSlotSquareRule at the same cursor position.
ClickResult MapLeftClick(Mixer& m, const bool keypadDown[kChannelCount], int32_t x, int32_t y);
ClickResult MapRightClick(Mixer& m, const bool keypadDown[kChannelCount], int32_t x, int32_t y);

}  // namespace mixorama
