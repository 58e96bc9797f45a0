// A scripted performance played by the engine on the virtual device: what mixorama-render mix
// runs, kept here so tests drive the same code.
//
// Clock: times are whole milliseconds from the start of playback. By time t the device has
// played floor(t * rate / 1000) frames; the periodic timer fires at t = 50, 100, ... up to
// the end; the script events not yet applied whose time is <= t are applied, in file order,
// just before the tick at t. Frames played between two ticks are those the ring held before
// the second of them ran. Events after the last tick but within the end are applied after
// the last frames are taken, so they are heard by nobody (their messages still show).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mixorama {

struct Mixer;

enum class ScriptVerb { kMove, kLeft, kRight, kSync, kLoad, kUnload };

// One line of a performance script: "TIME VERB ARGS".
struct ScriptEvent {
  int64_t timeMs = 0;
  ScriptVerb verb = ScriptVerb::kSync;
  int32_t x = 0;      // move: map position
  int32_t y = 0;      // move
  int slot = -1;      // load, unload: slot index 0..7
  int keypadKey = 0;  // left, right: keypad key 1..8 held during the click, 0 for none
  std::string path;   // load: the file chosen
  int line = 0;       // 1-based line in the script, for messages
};

// Parses a script. Blank lines and text from '#' on are ignored. On a bad line returns false
// and sets error to "line N: what is wrong" (N 1-based); events then holds nothing useful.
bool ParseScript(const std::string& text, std::vector<ScriptEvent>& events, std::string& error);

// The cursor before the first move: far outside the map, 350 pixels or more from every slot
// point, so a click there chooses no slot by position.
inline constexpr int32_t kCursorAwayX = -10000;
inline constexpr int32_t kCursorAwayY = -10000;

struct RenderRequest {
  int32_t rate = 11025;  // 11025, 22050 or 44100
  // Files loaded before playback starts, in slot order: (slot index 0..7, path).
  std::vector<std::pair<int, std::string>> slots;
  std::vector<ScriptEvent> events;
  int64_t durationMs = 0;
  // Called after the tick at each multiple of 50 ms (and once at the end with durationMs),
  // with the channel table as it stands then; for tests that look at flags and targets.
  std::function<void(int64_t timeMs, const Mixer& m)> afterTick;
};

// Frames the device has played by time ms at rate: floor(ms * rate / 1000).
uint64_t FramesByTime(int32_t rate, int64_t ms);

// Receives the played frames in order, in device format (16-bit little-endian stereo).
using FrameSink = std::function<void(const uint8_t* bytes, size_t count)>;
// Receives every message the program would show in its information box.
using MessageSink = std::function<void(const char* text)>;

// Plays the request: a fresh channel table (every volume and target 1), the engine init, the
// slot loads, start playback at time 0 with the mouse off the map, then the clock above up to
// durationMs. Sends exactly FramesByTime(rate, durationMs) frames to frames unless the engine
// could not start or the device stopped, and returns how many it sent.
uint64_t RenderMix(const RenderRequest& request, const FrameSink& frames,
                   const MessageSink& messages);

// The 44-byte header of a canonical PCM wave file: 2 channels, 16 bits, the rate, and a data
// chunk of dataBytes.
std::vector<uint8_t> WaveHeader(int32_t rate, uint32_t dataBytes);

}  // namespace mixorama
