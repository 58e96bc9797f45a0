// A scripted performance (ui/script.h) played by the engine on the virtual device: what
// mixorama-render mix (tools/render/mix.cpp) and the browser's audio worklet (web/wasm_api.cpp)
// play, kept in the portable ui/ library so both and the unit tests run the same code.
//
// Clock: times are whole milliseconds from the start of playback. By time t the device has
// played floor(t * rate / 1000) frames; the periodic timer fires at the ticks of the output
// timing (engine/output_timing.h: every 50 ms in the program timing, every 128 frames in the
// live one) up to the end; an event at t runs just before the first tick whose frame count is
// at least floor(t * rate / 1000). Among the events of one tick, the program timing keeps the
// script's order and the live timing the order of time (the script's order among equal times).
// Frames played between two ticks are those the ring held before the second of them ran.
// Events after the last tick but within the end are applied after the last frames are taken,
// so they are heard by nobody (their messages still show).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/virtual_device.h"
#include "ui/midi_input.h"
#include "ui/script.h"

namespace mixorama {

struct RenderRequest {
  int32_t rate = 11025;  // 11025, 22050 or 44100
  OutputTiming timing = OutputTiming::kProgram;
  // Files loaded before playback starts, in slot order: (slot index 0..7, path).
  std::vector<std::pair<int, std::string>> slots;
  std::vector<ScriptEvent> events;
  int64_t durationMs = 0;
  MidiMapping midiMap = DefaultMidiMapping();          // what the script's midi messages go through
  BlockAllocator allocator = DefaultBlockAllocator();  // where the channel table's blocks come from
};

// Receives every message the program would show in its information box.
using MessageSink = std::function<void(const char* text)>;

// Receives the played frames in order, in device format (16-bit little-endian stereo).
using FrameSink = std::function<void(const uint8_t* bytes, size_t count)>;

// The engine playing on the virtual device, moved forward by frame counts: the clock above
// as a step function, shared by RenderMix and the browser's audio worklet. Time 0 is the
// start of playback; the tick numbered k (1, 2, ...) runs when the clock reaches
// TickFrames(rate, timing, k) frames, also in the middle of an Advance. One thread.
class MixSession {
 public:
  // A fresh channel table at rate in the timing (every volume and target 1) with the engine
  // init run; ui receives the engine's messages, labels and squares and must outlive the
  // session. The table takes every memory block (the ring, the waves) from allocator.
  MixSession(int32_t rate, OutputTiming timing, UiSeam& ui,
             BlockAllocator allocator = DefaultBlockAllocator());
  // Stops playback and empties every slot.
  ~MixSession();
  MixSession(const MixSession&) = delete;
  MixSession& operator=(const MixSession&) = delete;

  Mixer& mixer() { return m_; }

  // Starts playback (live as the map-hover flag stands, as in the program) with the clock at
  // 0. Actions still queued are dropped.
  void Start();
  // Stops playback (the play button pressed while playing); the clock stands still until the
  // next Start.
  void Stop();

  // Runs action just before the tick numbered tick (after the actions queued for it before);
  // one queued for a tick already past runs before the next tick.
  void Queue(int64_t tick, std::function<void()> action);
  // The number of the next tick to run.
  int64_t nextTick() const { return ticksRun_ + 1; }

  // Moves the clock forward by frames, running every tick it reaches, and sends the frames
  // the device played meanwhile to sink (each read from the ring as it stood when played:
  // VirtualDevice::AdvanceTo).
  // Returns how many frames were sent: fewer than asked once the device stopped, none when
  // playback is off.
  uint64_t Advance(uint64_t frames, const FrameSink& sink);

  // Runs the queued actions now, without a tick (what comes after the last tick).
  void RunQueued();

 private:
  struct Pending {
    int64_t tick;
    std::function<void()> action;
  };

  Mixer m_;
  VirtualDevice device_;
  ManualTimer timer_;
  uint64_t clockFrames_ = 0;
  int64_t ticksRun_ = 0;
  std::vector<Pending> pending_;  // in queue order
  std::vector<Pending> due_;      // those of the tick being run
};

// Queues each event of a script for the tick it runs before, by the clock above, in the
// order the session's timing gives the events of one tick; apply (copied, as the events are)
// runs it then.
void QueueScript(MixSession& session, const std::vector<ScriptEvent>& events,
                 const std::function<void(const ScriptEvent&)>& apply);

// Plays the request: a fresh channel table (every volume and target 1), the engine init, the
// slot loads, start playback at time 0 with the mouse off the map, then the clock above up to
// durationMs. Sends exactly FramesByTime(rate, durationMs) frames to frames unless the engine
// could not start or the device stopped, and returns how many it sent.
uint64_t RenderMix(const RenderRequest& request, const FrameSink& frames,
                   const MessageSink& messages);

}  // namespace mixorama
