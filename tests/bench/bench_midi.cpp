// The controller flood: 10,000 messages a second for 10 seconds into eight loops playing at
// 44100 in the live timing, received between render quanta as the browser's worklet receives
// them, queued, and drained before each tick; beside the same 10 seconds without a message.
// Besides the time of the whole run, the counters give the longest render quantum in CPU time
// (a stall would show there: a quantum is 2.9 ms of sound), the most actions queued at once, the
// drops, the allocations once the first second is played (memory growth would show there) and
// whether the output equals the renderer's, which applies every message at its time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/slot.h"
#include "engine/wave_writer.h"
#include "ui/midi_input.h"
#include "ui/render_session.h"

namespace {
std::atomic<uint64_t> g_allocations{0};
}  // namespace

// Every allocation counted. GCC takes the free in these replacements for a mismatch with the
// new it sees inlined elsewhere; the pair below is the program's one allocator.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  ++g_allocations;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#pragma GCC diagnostic pop

namespace mixorama {
namespace {

constexpr int32_t kRate = 44100;
constexpr int kSeconds = 10;
constexpr int kMessagesPerSecond = 10000;
constexpr int kMessages = kSeconds * kMessagesPerSecond;
constexpr uint64_t kQuantum = 128;  // frames per render call, as the worklet's

class NoUi : public UiSeam {
 public:
  void InfoBox(const char*) override {}
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
};

// Eight loops of noise bursts, 16-bit stereo at 44100, of different lengths, as files.
std::vector<std::string> Waves() {
  std::vector<std::string> paths;
  const int frames[kChannelCount] = {44100, 22050, 11025, 8820, 33075, 4410, 17640, 2205};
  for (int c = 0; c < kChannelCount; ++c) {
    std::vector<uint8_t> data(static_cast<size_t>(frames[c]) * 4);
    uint32_t seed = 777u + static_cast<uint32_t>(c);
    for (size_t i = 0; i < data.size(); i += 2) {
      seed = seed * 1664525u + 1013904223u;
      const int32_t envelope = 32767 - static_cast<int32_t>(i / 4 % 5512) * 5;
      const auto s =
          static_cast<int16_t>((static_cast<int32_t>(seed >> 16) - 32768) * envelope / 32768);
      data[i] = static_cast<uint8_t>(s);
      data[i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
    }
    const std::vector<uint8_t> file = WaveFile(kRate, data, 2, 16);
    paths.push_back(
        (std::filesystem::temp_directory_path() / ("mixorama-flood" + std::to_string(c) + ".wav"))
            .string());
    std::FILE* f = std::fopen(paths.back().c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  return paths;
}

// The flood: runs of five values on map X, map Y and a slot's fader in turn, a mute pad every
// 50 messages; message i arrives at frame i * 44100 / 10000.
struct Message {
  uint8_t bytes[3];
};
std::vector<Message> Flood() {
  std::vector<Message> flood;
  for (int i = 0; i < kMessages; ++i) {
    const auto v = static_cast<uint8_t>((i * 7) % 128);
    const int run = i / 5 % 3;
    const auto slot = static_cast<uint8_t>(i / 15 % kChannelCount);
    if (i % 50 == 0) {
      flood.push_back({{0x90, static_cast<uint8_t>(36 + slot), 0x7F}});
    } else {
      flood.push_back({{0xB0, static_cast<uint8_t>(run == 0 ? 28 : run == 1 ? 29 : 20 + slot), v}});
    }
  }
  return flood;
}

uint64_t ArrivalFrame(int i) {
  return static_cast<uint64_t>(i) * kRate / kMessagesPerSecond;
}

struct Flooded {
  MixSession* session;
  MidiInput input;
  ScriptCursor cursor;
  bool drainQueued = false;
};

// CPU time of this thread, in microseconds: a quantum's cost without the time the loaded
// machine takes the core away.
double ThreadCpuUs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

struct Figures {
  double longestQuantumUs = 0;
  uint64_t allocationsAfterOneSecond = 0;
  size_t mostQueued = 0;
  uint64_t dropped = 0;
};

// Plays 10 s with the flood (or none), as the worklet does: messages received before the
// quantum in which they would have arrived, one drain queued for the next tick.
Figures Play(bool withFlood, const std::vector<std::string>& waves,
             const std::vector<Message>& flood, std::vector<uint8_t>* out) {
  NoUi ui;
  MixSession session(kRate, OutputTiming::kLive, ui);
  Mixer& m = session.mixer();
  for (int c = 0; c < kChannelCount; ++c) LoadWaveIntoSlot(m, waves[c].c_str(), c);
  Flooded f{&session, MidiInput(), ScriptCursor(), false};
  MapMouseMove(m, 175, 175);  // live from the start
  f.cursor = ScriptCursor{175, 175};
  session.Start();
  const FrameSink sink = [out](const uint8_t* p, size_t n) {
    if (out != nullptr) out->insert(out->end(), p, p + n);
  };
  double longestUs = 0;
  uint64_t allocationsAtOneSecond = 0;
  size_t next = 0;
  const uint64_t total = static_cast<uint64_t>(kSeconds) * kRate;
  for (uint64_t clock = 0; clock < total; clock += kQuantum) {
    const double start = ThreadCpuUs();
    while (withFlood && next < flood.size() && ArrivalFrame(static_cast<int>(next)) < clock) {
      f.input.Receive(flood[next].bytes, 3);
      ++next;
      if (!f.drainQueued) {
        f.drainQueued = true;
        Flooded* ctx = &f;
        session.Queue(session.nextTick(), [ctx] {
          ctx->drainQueued = false;
          MapDrawing drawing;
          ScriptSurface surface(ctx->session->mixer(), ctx->cursor, drawing);
          ctx->input.Drain(ctx->session->mixer(), surface);
        });
      }
    }
    session.Advance(std::min(kQuantum, total - clock), sink);
    longestUs = std::max(longestUs, ThreadCpuUs() - start);
    if (clock < static_cast<uint64_t>(kRate)) allocationsAtOneSecond = g_allocations;
  }
  return Figures{longestUs, g_allocations - allocationsAtOneSecond, f.input.queue().mostHeld(),
                 f.input.queue().dropped()};
}

void BM_TenSecondsOfEightLoops(benchmark::State& state) {
  const std::vector<std::string> waves = Waves();
  const std::vector<Message> flood = Flood();
  const bool withFlood = state.range(0) != 0;
  if (withFlood) {
    // Once, not timed: the flood's output against the renderer's.
    std::vector<uint8_t> played;
    Play(true, waves, flood, &played);
    RenderRequest request;
    request.rate = kRate;
    request.timing = OutputTiming::kLive;
    for (int c = 0; c < kChannelCount; ++c) request.slots.emplace_back(c, waves[c]);
    request.durationMs = kSeconds * 1000;
    std::vector<std::string> lines = {"0 move 175 175"};
    char text[64];
    for (int i = 0; i < kMessages; ++i) {
      // Received before the quantum that starts after its arrival, a message is applied at
      // the tick that ends that quantum: the first whole millisecond past its start.
      const uint64_t received = (ArrivalFrame(i) / kQuantum + 1) * kQuantum;
      const int64_t ms = static_cast<int64_t>(((received + 1) * 1000 + kRate - 1) / kRate);
      std::snprintf(text, sizeof text, "%lld midi %02X %02X %02X", static_cast<long long>(ms),
                    flood[i].bytes[0], flood[i].bytes[1], flood[i].bytes[2]);
      lines.emplace_back(text);
    }
    std::string script;
    for (const std::string& l : lines) script += l + "\n";
    std::string error;
    ParseScript(script, request.events, error);
    std::vector<uint8_t> rendered;
    RenderMix(
        request, [&](const uint8_t* p, size_t n) { rendered.insert(rendered.end(), p, p + n); },
        nullptr);
    state.counters["equals_renderer"] = played == rendered ? 1 : 0;
  }
  Figures worst;
  for (auto _ : state) {
    const Figures f = Play(withFlood, waves, flood, nullptr);
    worst.longestQuantumUs = std::max(worst.longestQuantumUs, f.longestQuantumUs);
    worst.allocationsAfterOneSecond =
        std::max(worst.allocationsAfterOneSecond, f.allocationsAfterOneSecond);
    worst.mostQueued = std::max(worst.mostQueued, f.mostQueued);
    worst.dropped = std::max(worst.dropped, f.dropped);
  }
  auto& c = state.counters;
  c["messages"] = withFlood ? kMessages : 0;
  c["longest_quantum_us"] = worst.longestQuantumUs;
  c["allocations_after_1s"] = static_cast<double>(worst.allocationsAfterOneSecond);
  c["most_queued"] = static_cast<double>(worst.mostQueued);
  c["dropped"] = static_cast<double>(worst.dropped);
}
BENCHMARK(BM_TenSecondsOfEightLoops)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mixorama

BENCHMARK_MAIN();
