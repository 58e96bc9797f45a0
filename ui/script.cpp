#include "ui/script.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "engine/slot.h"
#include "ui/text_trim.h"

namespace mixorama {

namespace {

// Splits off the first whitespace-separated word of rest; rest keeps what follows it.
std::string NextWord(std::string& rest) {
  rest = Trim(rest);
  size_t n = 0;
  while (n < rest.size() && !IsTextSpace(rest[n])) ++n;
  std::string word = rest.substr(0, n);
  rest = rest.substr(n);
  return word;
}

// A whole decimal integer within [lo, hi], with an optional leading minus.
bool ParseBounded(const std::string& word, int64_t lo, int64_t hi, int64_t& value) {
  if (word.empty() || word.size() > 19) return false;
  size_t i = word[0] == '-' ? 1 : 0;
  if (i == word.size()) return false;
  for (size_t k = i; k < word.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(word[k]))) return false;
  }
  errno = 0;
  const long long v = std::strtoll(word.c_str(), nullptr, 10);
  if (errno != 0 || v < lo || v > hi) return false;
  value = v;
  return true;
}

// A byte written as exactly two hex digits.
bool ParseHexByte(const std::string& word, uint8_t& byte) {
  if (word.size() != 2) return false;
  int value = 0;
  for (char c : word) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                  : -1;
    if (digit < 0) return false;
    value = value * 16 + digit;
  }
  byte = static_cast<uint8_t>(value);
  return true;
}

}  // namespace

namespace {

// The arguments of one verb, from rest (which keeps what follows them). "" when they are
// well formed, else what is wrong.
std::string ParseMove(std::string& rest, ScriptEvent& e) {
  int64_t x = 0;
  int64_t y = 0;
  // Mouse positions travel as signed 16-bit values.
  if (!ParseBounded(NextWord(rest), -32768, 32767, x) ||
      !ParseBounded(NextWord(rest), -32768, 32767, y)) {
    return "move needs X and Y, whole numbers from -32768 to 32767";
  }
  e.x = static_cast<int32_t>(x);
  e.y = static_cast<int32_t>(y);
  return "";
}

std::string ParseClick(std::string& rest, ScriptEvent& e) {
  const std::string key = NextWord(rest);
  int64_t k = 0;
  if (key.empty()) return "";
  if (!ParseBounded(key, 1, kChannelCount, k)) return "keypad keys are 1 to 8";
  e.keypadKey = static_cast<int>(k);
  return "";
}

std::string ParseSlotFile(const std::string& verb, std::string& rest, ScriptEvent& e) {
  int64_t n = 0;
  if (!ParseBounded(NextWord(rest), 1, kChannelCount, n)) {
    return verb + " needs a slot number from 1 to 8";
  }
  e.slot = static_cast<int>(n - 1);
  if (e.verb != ScriptVerb::kLoad) return "";
  e.path = Trim(rest);
  rest.clear();
  if (e.path.empty()) return "load needs a file";
  if (e.path.size() >= static_cast<size_t>(kPathBytes)) {
    return "the file name is longer than " + std::to_string(kPathBytes - 1) + " characters";
  }
  return "";
}

std::string ParseMidiBytes(std::string& rest, ScriptEvent& e) {
  for (std::string word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
    uint8_t byte = 0;
    if (!ParseHexByte(word, byte)) return "'" + word + "' is not a byte in two hex digits";
    e.bytes.push_back(byte);
  }
  return "";
}

// One line without its comment, trimmed and not empty: "TIME VERB ARGS".
std::string ParseLine(std::string rest, ScriptEvent& e) {
  const std::string timeWord = NextWord(rest);
  int64_t time = 0;
  if (!ParseBounded(timeWord, 0, INT64_MAX / 1000, time) || timeWord[0] == '-') {
    return "'" + timeWord + "' is not a time in whole milliseconds";
  }
  e.timeMs = time;
  const std::string verb = NextWord(rest);
  std::string wrong;
  if (verb == "move") {
    e.verb = ScriptVerb::kMove;
    wrong = ParseMove(rest, e);
  } else if (verb == "left" || verb == "right") {
    e.verb = verb == "left" ? ScriptVerb::kLeft : ScriptVerb::kRight;
    wrong = ParseClick(rest, e);
  } else if (verb == "sync") {
    e.verb = ScriptVerb::kSync;
  } else if (verb == "load" || verb == "unload") {
    e.verb = verb == "load" ? ScriptVerb::kLoad : ScriptVerb::kUnload;
    wrong = ParseSlotFile(verb, rest, e);
  } else if (verb == "midi") {
    e.verb = ScriptVerb::kMidi;
    wrong = ParseMidiBytes(rest, e);
  } else {
    return verb.empty() ? "a verb is missing after the time" : "unknown verb '" + verb + "'";
  }
  if (wrong.empty() && !Trim(rest).empty()) wrong = "unexpected '" + Trim(rest) + "'";
  return wrong;
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptEvent>& events, std::string& error) {
  events.clear();
  int line = 0;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string rest = text.substr(start, end - start);
    start = end + 1;
    ++line;
    const size_t hash = rest.find('#');
    if (hash != std::string::npos) rest.erase(hash);
    rest = Trim(rest);
    if (rest.empty()) continue;
    ScriptEvent e;
    e.line = line;
    const std::string wrong = ParseLine(rest, e);
    if (!wrong.empty()) {
      error = "line " + std::to_string(line) + ": " + wrong;
      return false;
    }
    events.push_back(e);
  }
  return true;
}

namespace {

// One event fills at most eight squares. Past that (a drain of several controller actions)
// the whole map is repainted from the state, and the later fills drawn over it.
void AddFill(MapDrawing& drawing, const SquareFill& fill) {
  if (drawing.fillCount == kChannelCount) {
    drawing.repaintAll = true;
    drawing.fillCount = 0;
  }
  drawing.fills[drawing.fillCount++] = fill;
}

// A move of the scripted mouse, or of a controller, to (x, y).
void MoveCursor(Mixer& m, ScriptCursor& cursor, int32_t x, int32_t y, MapDrawing& drawing) {
  cursor.x = x;
  cursor.y = y;
  // Off the map while the map does not hold the capture, a move reaches another window.
  if (m.mapHover == 0 && !InTrackedArea(x, y)) return;
  const MoveResult moved = MapMouseMove(m, x, y);
  if (moved.repaintAll) drawing = MapDrawing{true, 0, {}, drawing.pressPlay};
  for (int i = 0; i < moved.fillCount; ++i) AddFill(drawing, moved.fills[i]);
}

}  // namespace

void ScriptSurface::MoveTo(int32_t x, int32_t y) {
  MoveCursor(m_, cursor_, x, y, drawing_);
}

void ScriptSurface::Fill(const SquareFill& fill) {
  AddFill(drawing_, fill);
}

MapDrawing ApplyScriptEvent(Mixer& m, ScriptCursor& cursor, MidiInput& controller,
                            const ScriptEvent& e) {
  MapDrawing drawing;
  bool keys[kChannelCount] = {};
  switch (e.verb) {
    case ScriptVerb::kMove:
      MoveCursor(m, cursor, e.x, e.y, drawing);
      break;
    case ScriptVerb::kLeft:
    case ScriptVerb::kRight: {
      if (e.keypadKey != 0) keys[e.keypadKey - 1] = true;
      const ClickResult click = e.verb == ScriptVerb::kLeft
                                    ? MapLeftClick(m, keys, cursor.x, cursor.y)
                                    : MapRightClick(m, keys, cursor.x, cursor.y);
      if (click.slot >= 0) AddFill(drawing, click.fill);
      break;
    }
    case ScriptVerb::kSync:
      Sync(m);
      break;
    case ScriptVerb::kLoad:
      LoadWaveIntoSlot(m, e.path.c_str(), e.slot);
      break;
    case ScriptVerb::kUnload:
      EmptySlot(m, e.slot);
      break;
    case ScriptVerb::kMidi: {
      controller.Receive(e.bytes.data(), e.bytes.size());
      ScriptSurface surface(m, cursor, drawing);
      controller.Drain(m, surface);
      break;
    }
  }
  return drawing;
}

}  // namespace mixorama
