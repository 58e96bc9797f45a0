// The performance script: what mixorama-render mix plays and the page sends, one event a
// line ("TIME VERB ARGS", times in whole milliseconds), and how one event acts on the mix
// exactly as the program takes the same input. When the events run is the render session's
// clock (ui/render_session.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "ui/map_rules.h"
#include "ui/midi_input.h"

namespace mixorama {

enum class ScriptVerb { kMove, kLeft, kRight, kSync, kLoad, kUnload, kMidi };

// One line of a performance script: "TIME VERB ARGS". "TIME midi B0 1C 40" is a message from a
// controller: any number of bytes, each two hex digits.
struct ScriptEvent {
  int64_t timeMs = 0;
  ScriptVerb verb = ScriptVerb::kSync;
  int32_t x = 0;               // move: map position
  int32_t y = 0;               // move
  int slot = -1;               // load, unload: slot index 0..7
  int keypadKey = 0;           // left, right: keypad key 1..8 held during the click, 0 for none
  std::string path;            // load: the file chosen
  std::vector<uint8_t> bytes;  // midi: the message
  int line = 0;                // 1-based line in the script, for messages
};

// Parses a script. Blank lines and text from '#' on are ignored. On a bad line returns false
// and sets error to "line N: what is wrong" (N 1-based); events then holds nothing useful.
bool ParseScript(const std::string& text, std::vector<ScriptEvent>& events, std::string& error);

// The cursor before the first move: far outside the map, 350 pixels or more from every slot
// point, so a click there chooses no slot by position.
inline constexpr int32_t kCursorAwayX = -10000;
inline constexpr int32_t kCursorAwayY = -10000;

// Where the scripted mouse is, in map coordinates.
struct ScriptCursor {
  int32_t x = kCursorAwayX;
  int32_t y = kCursorAwayY;
};

// What an event asks the map to draw besides the squares the UI seam draws itself: the whole
// map first when repaintAll, then the fills in order. pressPlay: a controller pressed the play
// button, which the front end presses in turn (the renderer, playing from start to end, does
// nothing).
struct MapDrawing {
  bool repaintAll = false;
  int fillCount = 0;
  SquareFill fills[kChannelCount] = {};
  bool pressPlay = false;
};

// Applies one event as the program takes the same input: a move updates cursor and reaches the
// map only while it holds the capture or lies in the tracked area; a click picks its slot at
// cursor (the key, 1..8, first); sync, load (through LoadWaveIntoSlot) and unload ("No Wave");
// a midi message goes to controller and what it queued is applied at once, with the scripted
// cursor as the controller's cursor. GUI thread, without Mixer::lock.
MapDrawing ApplyScriptEvent(Mixer& m, ScriptCursor& cursor, MidiInput& controller,
                            const ScriptEvent& e);

// The controller's surface on a scripted cursor: moves as the script's moves, squares and the
// play button into drawing.
class ScriptSurface : public ControllerSurface {
 public:
  ScriptSurface(Mixer& m, ScriptCursor& cursor, MapDrawing& drawing)
      : m_(m), cursor_(cursor), drawing_(drawing) {}
  MapPoint Cursor() override { return MapPoint{cursor_.x, cursor_.y}; }
  void MoveTo(int32_t x, int32_t y) override;
  void Fill(const SquareFill& fill) override;
  void PressPlay() override { drawing_.pressPlay = true; }

 private:
  Mixer& m_;
  ScriptCursor& cursor_;
  MapDrawing& drawing_;
};

}  // namespace mixorama
