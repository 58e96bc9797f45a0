#include "ui/render_session.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "engine/mixer.h"
#include "engine/mixer_tick.h"
#include "engine/playback.h"
#include "engine/slot.h"
#include "engine/virtual_device.h"

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

}  // namespace

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
