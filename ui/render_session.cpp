#include "ui/render_session.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/output.h"
#include "engine/virtual_device.h"
#include "engine/wave_loader.h"
#include "ui/map_rules.h"
#include "ui/panel_commands.h"

namespace mixorama {

namespace {

constexpr int64_t kTickMs = kTickPeriodMs;

// The user interface as the renderer sees it: messages go to the sink, labels are not
// shown, DrawSlotSquare applies the map's rule at the scripted cursor.
class RenderUi : public UiSeam {
 public:
  RenderUi(Mixer& m, const MessageSink& messages) : m_(m), messages_(messages) {}

  void InfoBox(const char* text) override {
    if (messages_) messages_(text);
  }
  void SetSlotLabel(int /*slot*/, const char* /*text*/) override {}
  void DrawSlotSquare(int slot) override { DrawSlotSquareRule(m_, slot, cursorX, cursorY); }
  void DeferredMenuStep() override {}

  int32_t cursorX = kCursorAwayX;
  int32_t cursorY = kCursorAwayY;

 private:
  Mixer& m_;
  const MessageSink& messages_;
};

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Splits off the first whitespace-separated word of rest; rest keeps what follows it.
std::string NextWord(std::string& rest) {
  rest = Trim(rest);
  size_t n = 0;
  while (n < rest.size() && !std::isspace(static_cast<unsigned char>(rest[n]))) ++n;
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

bool Fail(std::string& error, int line, const std::string& what) {
  error = "line " + std::to_string(line) + ": " + what;
  return false;
}

// Sends the frames the device played since `sent`, read from the ring as it holds them now.
void EmitPlayed(const Mixer& m, const VirtualDevice& device, uint64_t& sent,
                const FrameSink& frames) {
  const uint64_t played = device.framesPlayed();
  const uint64_t ringFrames = m.ringSizeBytes / kFrameBytes;
  while (sent < played) {
    const uint64_t at = sent % ringFrames;
    const uint64_t run = std::min(played - sent, ringFrames - at);
    if (frames) {
      frames(m.outputRing + at * kFrameBytes, static_cast<size_t>(run * kFrameBytes));
    }
    sent += run;
  }
}

void ApplyEvent(Mixer& m, RenderUi& ui, const ScriptEvent& e) {
  bool keys[kChannelCount] = {};
  switch (e.verb) {
    case ScriptVerb::kMove:
      ui.cursorX = e.x;
      ui.cursorY = e.y;
      // Off the map while the map does not hold the capture, a move reaches another window.
      if (m.mapHover == 0 && !InTrackedArea(e.x, e.y)) return;
      MapMouseMove(m, e.x, e.y);
      return;
    case ScriptVerb::kLeft:
    case ScriptVerb::kRight:
      if (e.keypadKey != 0) keys[e.keypadKey - 1] = true;
      if (e.verb == ScriptVerb::kLeft) {
        MapLeftClick(m, keys, ui.cursorX, ui.cursorY);
      } else {
        MapRightClick(m, keys, ui.cursorX, ui.cursorY);
      }
      return;
    case ScriptVerb::kSync:
      SyncCommand(m);
      return;
    case ScriptVerb::kLoad:
      LoadWaveIntoSlot(m, e.path.c_str(), e.slot);
      return;
    case ScriptVerb::kUnload:
      NoWaveCommand(m, e.slot);
      return;
  }
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

uint64_t FramesByTime(int32_t rate, int64_t ms) {
  if (ms <= 0) return 0;
  return static_cast<uint64_t>(ms) * static_cast<uint64_t>(rate) / 1000u;
}

uint64_t RenderMix(const RenderRequest& request, const FrameSink& frames,
                   const MessageSink& messages) {
  Mixer m;
  VirtualDevice::Options options;
  options.capture = false;  // frames are taken from the ring as they are played
  VirtualDevice device(options);
  ManualTimer timer;
  RenderUi ui(m, messages);
  m.device = &device;
  m.timer = &timer;
  m.ui = &ui;
  m.outputRate = request.rate;
  m.ringSizeBytes = RingSizeForRate(request.rate);

  m.engineReady = EngineInit(m);
  {
    std::lock_guard<std::mutex> hold(m.lock);
    for (int c = 0; c < kChannelCount; ++c) {
      m.volume[c] = 1;
      m.targetVolume[c] = 1;
    }
  }
  for (const auto& [slot, path] : request.slots) LoadWaveIntoSlot(m, path.c_str(), slot);
  StartPlayback(m);

  // Each event runs before the first tick at or after its time (the tick at 50 for time 0),
  // in file order among those of the same tick; later ones after the last frames.
  const int64_t lastTick = request.durationMs / kTickMs;
  std::vector<std::pair<int64_t, const ScriptEvent*>> queue;
  for (const ScriptEvent& e : request.events) {
    if (e.timeMs > request.durationMs) continue;
    const int64_t tick = std::max<int64_t>(1, (e.timeMs + kTickMs - 1) / kTickMs);
    queue.emplace_back(std::min(tick, lastTick + 1), &e);
  }
  std::stable_sort(queue.begin(), queue.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  uint64_t sent = 0;
  size_t next = 0;
  for (int64_t k = 1; k <= lastTick; ++k) {
    device.AdvanceTo(FramesByTime(request.rate, k * kTickMs));
    EmitPlayed(m, device, sent, frames);
    for (; next < queue.size() && queue[next].first == k; ++next) {
      ApplyEvent(m, ui, *queue[next].second);
    }
    if (timer.running()) timer.Fire();
    if (request.afterTick) request.afterTick(k * kTickMs, m);
  }
  device.AdvanceTo(FramesByTime(request.rate, request.durationMs));
  EmitPlayed(m, device, sent, frames);
  for (; next < queue.size(); ++next) ApplyEvent(m, ui, *queue[next].second);
  if (request.afterTick) request.afterTick(request.durationMs, m);

  StopPlayback(m);
  for (int c = 0; c < kChannelCount; ++c) UnloadChannel(m, c);
  return sent;
}

std::vector<uint8_t> WaveHeader(int32_t rate, uint32_t dataBytes) {
  std::vector<uint8_t> h(44, 0);
  auto put32 = [&h](size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&h](size_t at, uint32_t v) {
    h[at] = static_cast<uint8_t>(v);
    h[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto putTag = [&h](size_t at, const char* tag) {
    for (size_t i = 0; i < 4; ++i) h[at + i] = static_cast<uint8_t>(tag[i]);
  };
  putTag(0, "RIFF");
  put32(4, 36u + dataBytes);
  putTag(8, "WAVE");
  putTag(12, "fmt ");
  put32(16, 16);
  put16(20, 1);  // PCM
  put16(22, 2);  // stereo
  put32(24, static_cast<uint32_t>(rate));
  put32(28, static_cast<uint32_t>(rate) * 4u);
  put16(32, 4);   // bytes per frame
  put16(34, 16);  // bits per sample
  putTag(36, "data");
  put32(40, dataBytes);
  return h;
}

}  // namespace mixorama
