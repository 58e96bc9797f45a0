#include "ui/render_session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/playback.h"
#include "engine/slot.h"
#include "engine/virtual_device.h"
#include "ui/map_rules.h"
#include "ui/text_trim.h"

namespace mixorama {

namespace {

// The user interface as the renderer sees it: messages go to the sink, labels are not
// shown, squares are not drawn; slots follow the scripted cursor.
class RenderUi : public UiSeam {
 public:
  explicit RenderUi(const MessageSink& messages) : messages_(messages) {}

  void InfoBox(const char* text) override {
    if (messages_) messages_(text);
  }
  void SetSlotLabel(int /*slot*/, const char* /*text*/) override {}
  void DrawSlotSquare(int /*slot*/) override {}
  void FollowCursor(int slot) override {
    ::mixorama::FollowCursor(*mixer, slot, cursor.x, cursor.y);
  }

  ScriptCursor cursor;
  MidiInput controller;
  Mixer* mixer = nullptr;  // set once the session holding it exists, before any drawing

 private:
  const MessageSink& messages_;
};

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

bool Fail(std::string& error, int line, const std::string& what) {
  error = "line " + std::to_string(line) + ": " + what;
  return false;
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptEvent>& events, std::string& error) {
  events.clear();
  int line = 0;
  size_t start = 0;
  while (start <= text.size()) {
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
    const std::string timeWord = NextWord(rest);
    int64_t time = 0;
    if (!ParseBounded(timeWord, 0, INT64_MAX / 1000, time) || timeWord[0] == '-') {
      return Fail(error, line, "'" + timeWord + "' is not a time in whole milliseconds");
    }
    e.timeMs = time;
    const std::string verb = NextWord(rest);
    if (verb == "move") {
      e.verb = ScriptVerb::kMove;
      int64_t x = 0;
      int64_t y = 0;
      // Mouse positions travel as signed 16-bit values.
      if (!ParseBounded(NextWord(rest), -32768, 32767, x) ||
          !ParseBounded(NextWord(rest), -32768, 32767, y)) {
        return Fail(error, line, "move needs X and Y, whole numbers from -32768 to 32767");
      }
      e.x = static_cast<int32_t>(x);
      e.y = static_cast<int32_t>(y);
    } else if (verb == "left" || verb == "right") {
      e.verb = verb == "left" ? ScriptVerb::kLeft : ScriptVerb::kRight;
      const std::string key = NextWord(rest);
      int64_t k = 0;
      if (!key.empty()) {
        if (!ParseBounded(key, 1, 8, k)) return Fail(error, line, "keypad keys are 1 to 8");
        e.keypadKey = static_cast<int>(k);
      }
    } else if (verb == "sync") {
      e.verb = ScriptVerb::kSync;
    } else if (verb == "load" || verb == "unload") {
      e.verb = verb == "load" ? ScriptVerb::kLoad : ScriptVerb::kUnload;
      int64_t n = 0;
      if (!ParseBounded(NextWord(rest), 1, 8, n)) {
        return Fail(error, line, verb + " needs a slot number from 1 to 8");
      }
      e.slot = static_cast<int>(n - 1);
      if (e.verb == ScriptVerb::kLoad) {
        e.path = Trim(rest);
        rest.clear();
        if (e.path.empty()) return Fail(error, line, "load needs a file");
        if (e.path.size() >= static_cast<size_t>(kPathBytes)) {
          return Fail(error, line, "the file name is longer than 259 characters");
        }
      }
    } else if (verb == "midi") {
      e.verb = ScriptVerb::kMidi;
      for (std::string word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
        uint8_t byte = 0;
        if (!ParseHexByte(word, byte)) {
          return Fail(error, line, "'" + word + "' is not a byte in two hex digits");
        }
        e.bytes.push_back(byte);
      }
    } else if (verb.empty()) {
      return Fail(error, line, "a verb is missing after the time");
    } else {
      return Fail(error, line, "unknown verb '" + verb + "'");
    }
    if (!Trim(rest).empty()) return Fail(error, line, "unexpected '" + Trim(rest) + "'");
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

MixSession::MixSession(int32_t rate, OutputTiming timing, UiSeam& ui, BlockAllocator allocator) {
  m_.device = &device_;
  m_.timer = &timer_;
  m_.ui = &ui;
  m_.allocator = allocator;
  RestartOutput(m_, rate, timing);
}

MixSession::~MixSession() {
  StopPlayback(m_);
  for (int c = 0; c < kChannelCount; ++c) UnloadChannel(m_, c);
}

void MixSession::Start() {
  StartPlayback(m_);
  clockFrames_ = 0;
  ticksRun_ = 0;
  pending_.clear();
}

void MixSession::Queue(int64_t tick, std::function<void()> action) {
  pending_.push_back({tick, std::move(action)});
}

void MixSession::Stop() {
  StopPlayback(m_);
}

uint64_t MixSession::Advance(uint64_t frames, const FrameSink& sink) {
  const uint64_t end = clockFrames_ + frames;
  const uint64_t playedBefore = device_.framesPlayed();
  for (;;) {
    const int64_t tick = ticksRun_ + 1;
    const uint64_t tickFrames = TickFrames(m_.outputRate, m_.timing, tick);
    if (tickFrames > end) break;
    device_.AdvanceTo(tickFrames, sink);
    // Actions run in queue order; those of later ticks wait. Both lists keep their storage,
    // so a tick with nothing new queued allocates nothing (the worklet ticks every quantum).
    size_t kept = 0;
    for (size_t i = 0; i < pending_.size(); ++i) {
      if (pending_[i].tick <= tick) {
        due_.push_back(std::move(pending_[i]));
      } else if (kept++ != i) {  // a function moved onto itself may be left empty
        pending_[kept - 1] = std::move(pending_[i]);
      }
    }
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(kept), pending_.end());
    for (Pending& p : due_) p.action();
    due_.clear();
    if (timer_.running()) timer_.Fire();
    ticksRun_ = tick;
  }
  device_.AdvanceTo(end, sink);
  clockFrames_ = end;
  return device_.framesPlayed() - playedBefore;
}

void MixSession::RunQueued() {
  std::vector<Pending> now = std::move(pending_);
  pending_.clear();
  for (Pending& p : now) p.action();
}

void QueueScript(MixSession& session, const std::vector<ScriptEvent>& events,
                 const std::function<void(const ScriptEvent&)>& apply) {
  const Mixer& m = session.mixer();
  std::vector<const ScriptEvent*> order;
  for (const ScriptEvent& e : events) order.push_back(&e);
  if (m.timing == OutputTiming::kLive) {
    std::stable_sort(order.begin(), order.end(), [](const ScriptEvent* a, const ScriptEvent* b) {
      return a->timeMs < b->timeMs;
    });
  }
  for (const ScriptEvent* e : order) {
    const uint64_t frames = FramesByTime(m.outputRate, e->timeMs);
    session.Queue(FirstTickAtOrAfter(m.outputRate, m.timing, frames),
                  [apply, e = *e] { apply(e); });
  }
}

uint64_t RenderMix(const RenderRequest& request, const FrameSink& frames,
                   const MessageSink& messages) {
  RenderUi ui(messages);
  ui.controller.SetMapping(request.midiMap);
  MixSession session(request.rate, request.timing, ui, request.allocator);
  Mixer& m = session.mixer();
  ui.mixer = &m;
  for (const auto& [slot, path] : request.slots) LoadWaveIntoSlot(m, path.c_str(), slot);
  session.Start();

  // Events after the end are never applied; those after the last tick stay queued until the
  // last frames are taken.
  std::vector<ScriptEvent> events;
  for (const ScriptEvent& e : request.events) {
    if (e.timeMs <= request.durationMs) events.push_back(e);
  }
  QueueScript(session, events, [&m, &ui](const ScriptEvent& e) {
    ApplyScriptEvent(m, ui.cursor, ui.controller, e);
  });
  const uint64_t sent = session.Advance(FramesByTime(request.rate, request.durationMs), frames);
  session.RunQueued();
  return sent;
}

}  // namespace mixorama
