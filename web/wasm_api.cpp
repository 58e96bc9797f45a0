// The engine as the browser page plays it: a C interface that the audio worklet calls. The
// worklet is the device: it moves the session's clock by the frames it renders, so ticks,
// events and the frames played follow the same rules as mixorama-render mix.
//
// Texts cross the interface as single-byte (Latin-1) strings through one text buffer: the
// caller asks mx_text for room, writes the bytes, then calls the function that reads them.
// Results that are texts are left in the result buffer (mx_result, mx_result_size).
// Everything runs on the worklet's one thread.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/playback.h"
#include "engine/slot.h"
#include "engine/texts.h"
#include "engine/wave_loader.h"
#include "engine/wave_writer.h"
#include "ui/map_rules.h"
#include "ui/midi_input.h"
#include "ui/midi_map.h"
#include "ui/rate_change.h"
#include "ui/render_session.h"
#include "ui/setup_file.h"
#include "ui/setup_session.h"
#include "web/page_files.h"

#define MX_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace mixorama {
namespace {

// The setup file's name on the page: waves saved in it are plain names, loaded by name.
constexpr uint32_t kMaxQuantum = 4096;  // frames per mx_render call

// The panel as the page shows it: labels, square colours and the message queue, which the
// worklet sends to the page whenever something changed.
class PageUi : public UiSeam {
 public:
  void InfoBox(const char* text) override {
    messages.emplace_back(text);
    changed = true;
  }
  void SetSlotLabel(int slot, const char* text) override {
    labels[slot] = text;
    changed = true;
  }
  void DrawSlotSquare(int slot) override {
    squares[slot] = DrawSlotSquareRule(*mixer, slot, cursor.x, cursor.y).color;
    changed = true;
  }
  void FollowCursor(int slot) override {
    ::mixorama::FollowCursor(*mixer, slot, cursor.x, cursor.y);
  }

  void Draw(const MapDrawing& drawing) {
    if (drawing.repaintAll) {
      for (int s = 0; s < kChannelCount; ++s) squares[s] = PaintColor(*mixer, s);
    }
    for (int i = 0; i < drawing.fillCount; ++i) {
      squares[drawing.fills[i].slot] = drawing.fills[i].color;
    }
    changed = true;
  }

  Mixer* mixer = nullptr;
  ScriptCursor cursor;
  MidiInput controller;      // kept across engines: the mapping belongs to the page
  bool playPressed = false;  // a controller pressed play, not yet told to the page
  std::string labels[kChannelCount];
  ColorRef squares[kChannelCount] = {};
  std::vector<std::string> messages;  // not yet sent to the page
  bool changed = true;
};

// The panel calls of a rate change: the page sets its own caption and check marks.
class NoPanelCalls : public RateChangeUi {
 public:
  void SetPlayCaption(const char*) override {}
  void UpdateRateChecks() override {}
};

PageUi g_ui;
std::unique_ptr<MixSession> g_session;
bool g_controllerDrainQueued = false;  // a drain of the controller's queue waits for a tick
std::vector<char> g_text(1);
std::string g_result;
int16_t g_output[kMaxQuantum * 2];
// The same frames as the output channels take them: left then right, each value / 32768.
float g_outputFloat[2][kMaxQuantum];
uint32_t g_filled = 0;  // frames of g_output written by the current mx_render

// Appends played frames (16-bit little-endian stereo bytes, as WebAssembly's memory holds
// int16_t) to g_output. Made once, so a render quantum builds no function object.
const FrameSink g_toOutput = [](const uint8_t* bytes, size_t count) {
  std::memcpy(g_output + g_filled * 2, bytes, count);
  g_filled += static_cast<uint32_t>(count / kFrameBytes);
};

std::string Text() {
  return std::string(g_text.data(), g_text.size() - 1);
}

// Runs a page action now when nothing plays, else just before the next tick: a change made
// between two ticks reaches the tick that follows, as a window message does in the program.
void RunOrQueue(std::function<void()> action) {
  if (g_session->mixer().playing != 0) {
    g_session->Queue(g_session->nextTick(), std::move(action));
  } else {
    action();
  }
}

void Apply(const ScriptEvent& e) {
  const MapDrawing drawing = ApplyScriptEvent(g_session->mixer(), g_ui.cursor, g_ui.controller, e);
  g_ui.Draw(drawing);
  g_ui.playPressed = g_ui.playPressed || drawing.pressPlay;
}

// Applies the controller's queue now when nothing plays, else just before the next tick, as
// page input; one drain waits at a time, so a flood between two ticks costs one queued action.
void DrainControllerSoon() {
  if (g_controllerDrainQueued || !g_ui.controller.pending()) return;
  g_controllerDrainQueued = true;
  RunOrQueue([] {
    g_controllerDrainQueued = false;
    MapDrawing drawing;
    ScriptSurface surface(g_session->mixer(), g_ui.cursor, drawing);
    g_ui.controller.Drain(g_session->mixer(), surface);
    g_ui.Draw(drawing);
    g_ui.playPressed = g_ui.playPressed || drawing.pressPlay;
  });
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace
}  // namespace mixorama

using namespace mixorama;

// Room for a text of size bytes (kept NUL-terminated); returns where to write it.
MX_EXPORT(mx_text) char* mx_text(uint32_t size) {
  g_text.assign(size + 1, '\0');
  return g_text.data();
}

MX_EXPORT(mx_result) const char* mx_result() {
  return g_result.data();
}
MX_EXPORT(mx_result_size) uint32_t mx_result_size() {
  return static_cast<uint32_t>(g_result.size());
}

// A new engine at rate (11025, 22050 or 44100), in the live timing when live is 1 and the
// program's otherwise, every slot empty, not playing. Returns the engine-ready flag.
MX_EXPORT(mx_init) int32_t mx_init(int32_t rate, int32_t live) {
  g_session.reset();
  MidiInput controller = g_ui.controller;
  g_ui = PageUi();
  g_ui.controller = controller;
  g_controllerDrainQueued = false;
  g_session = std::make_unique<MixSession>(
      rate, live != 0 ? OutputTiming::kLive : OutputTiming::kProgram, g_ui);
  g_ui.mixer = &g_session->mixer();
  for (int s = 0; s < kChannelCount; ++s) g_ui.squares[s] = PaintColor(g_session->mixer(), s);
  return g_session->mixer().engineReady;
}

// Switches the output timing (live 1: the live timing, 0: the program's) of the session in
// force, keeping the slots, their flags and volumes, the cursor and the map's hover. When
// playing, playback starts again in the new timing, every loop from its first frame (as the
// play button does). Returns the engine-ready flag.
MX_EXPORT(mx_set_timing) int32_t mx_set_timing(int32_t live) {
  Mixer& m = g_session->mixer();
  const OutputTiming timing = live != 0 ? OutputTiming::kLive : OutputTiming::kProgram;
  if (timing == m.timing) return m.engineReady;
  const bool wasPlaying = m.playing != 0;
  g_session->Stop();
  RestartOutput(m, m.outputRate, timing);
  if (wasPlaying) g_session->Start();
  g_ui.changed = true;
  return m.engineReady;
}

// Loads every slot from its slot name, as the program does at start.
MX_EXPORT(mx_load_startup) void mx_load_startup() {
  Mixer& m = g_session->mixer();
  // As the program's start-up: the labels then show the whole stored name ("BD7525.WAV"),
  // unlike those of waves loaded later ("BD7525."); empty when the load failed.
  for (int s = 0; s < kChannelCount; ++s) {
    LoadWaveIntoSlot(m, m.slotName[s], s);
    g_ui.labels[s] = m.slotName[s];
  }
}

// Gives the file named by the text buffer size bytes (replacing one of that name); returns
// where to write them.
MX_EXPORT(mx_put_file) uint8_t* mx_put_file(uint32_t size) {
  return PutPageFile(Text(), size);
}

// One event of a performance script without its time ("move 10 20", "left 3", "sync",
// "load 2 CP.WAV", "unload 2"), as the page's input makes it. Returns 0 for a malformed one.
MX_EXPORT(mx_event) int32_t mx_event() {
  std::vector<ScriptEvent> events;
  std::string error;
  if (!ParseScript("0 " + Text(), events, error) || events.size() != 1) return 0;
  RunOrQueue([e = events[0]] { Apply(e); });
  return 1;
}

// A whole performance script, each event queued for its tick from the start of playback
// (call right after mx_play). Returns 0, and queues nothing, for a malformed script.
MX_EXPORT(mx_script) int32_t mx_script() {
  std::vector<ScriptEvent> events;
  std::string error;
  if (!ParseScript(Text(), events, error)) return 0;
  QueueScript(*g_session, events, [](const ScriptEvent& e) { Apply(e); });
  return 1;
}

// The play button: starts playback with the clock at 0, or stops it. Returns the playing flag.
MX_EXPORT(mx_play) int32_t mx_play() {
  if (g_session->mixer().playing != 0) {
    g_session->Stop();
  } else {
    g_session->Start();
  }
  // A drain waiting for a tick waits for good once playback stops, and a start drops it.
  g_controllerDrainQueued = false;
  DrainControllerSoon();
  g_ui.changed = true;
  return g_session->mixer().playing;
}

// Plays frames more frames (at most 4096) into mx_output as 16-bit stereo and into
// mx_output_float as the output channels' samples; returns how many were played (the rest is
// silence). Called once per render quantum: allocates nothing.
MX_EXPORT(mx_render) uint32_t mx_render(uint32_t frames) {
  if (frames > kMaxQuantum) frames = kMaxQuantum;
  g_filled = 0;
  if (g_session->mixer().playing != 0) g_session->Advance(frames, g_toOutput);
  std::memset(g_output + g_filled * 2, 0, (frames - g_filled) * kFrameBytes);
  // Each frame read as one 32-bit word, left in its low half and right in its high half, and
  // each half sign-extended by shifts: so the loop runs four frames at a time in WebAssembly
  // SIMD (read sample by sample, it takes them one by one). A 16-bit value times 2^-15 is exact
  // in single precision.
  for (uint32_t i = 0; i < frames; ++i) {
    uint32_t frame;
    std::memcpy(&frame, g_output + 2 * i, sizeof frame);
    g_outputFloat[0][i] =
        static_cast<float>(static_cast<int32_t>(frame << 16) >> 16) * (1.0f / 32768.0f);
    g_outputFloat[1][i] = static_cast<float>(static_cast<int32_t>(frame) >> 16) * (1.0f / 32768.0f);
  }
  return g_filled;
}

MX_EXPORT(mx_output) const int16_t* mx_output() {
  return g_output;
}

// The left samples of the last mx_render, then at 4096 floats from there its right ones.
MX_EXPORT(mx_output_float) const float* mx_output_float() {
  return g_outputFloat[0];
}

// The setup text of the session, as "Save a file" writes it, into the result buffer.
MX_EXPORT(mx_save_setup) void mx_save_setup() {
  g_result = WriteSetup(CaptureSetup(g_session->mixer(), ""), kSetupFileName);
}

// "Load a file" with the setup text in the text buffer and its waves given by mx_put_file.
// A faulty file shows its message and changes nothing (returns 0). A file of another output
// rate changes nothing and returns that rate: the page makes an engine at it and loads the
// file again. Otherwise the setup is put in force (before the next tick) and 0 returned.
MX_EXPORT(mx_load_setup) int32_t mx_load_setup() {
  SavedSetup setup;
  std::string message;
  const std::string text = Text();
  if (!ParseSetup(text.data(), text.size(), kSetupFileName, setup, message)) {
    InfoBox(g_session->mixer(), message.c_str());
    return 0;
  }
  if (setup.outputRate != g_session->mixer().outputRate) return setup.outputRate;
  RunOrQueue([setup] {
    NoPanelCalls panel;
    ApplySetup(g_session->mixer(), setup, panel);
  });
  return 0;
}

// The 44-byte wave header for dataBytes of 16-bit stereo frames at the output rate.
MX_EXPORT(mx_wave_header) const uint8_t* mx_wave_header(uint32_t dataBytes) {
  const std::vector<uint8_t> header = WaveHeader(g_session->mixer().outputRate, dataBytes);
  g_result.assign(header.begin(), header.end());
  return reinterpret_cast<const uint8_t*>(g_result.data());
}

// How many information-box messages wait to be sent with the state: the worklet sends them
// without waiting for its next state time.
MX_EXPORT(mx_messages_waiting) uint32_t mx_messages_waiting() {
  return static_cast<uint32_t>(g_ui.messages.size());
}

// The facts the page lays itself out by, as JSON in the result buffer: the output rates (the
// first is the one a session starts at), the slot count, the map's size and the slots' points
// on it, the name the page gives a setup file and a MIDI map.
MX_EXPORT(mx_facts) void mx_facts() {
  std::string out = "{\"rates\":[";
  for (int32_t r : kOutputRates) out += (r == kOutputRates[0] ? "" : ",") + std::to_string(r);
  out += "],\"slots\":" + std::to_string(kChannelCount);
  out += ",\"mapSize\":" + std::to_string(kMapSize) + ",\"points\":[";
  for (int s = 0; s < kChannelCount; ++s) {
    const MapPoint p = SlotPoint(s);
    out += (s > 0 ? ",[" : "[") + std::to_string(p.x) + "," + std::to_string(p.y) + "]";
  }
  out += "],\"setupFile\":";
  AppendJsonString(out, kSetupFileName);
  out += ",\"midiMapFile\":";
  AppendJsonString(out, kMidiMapFileName);
  g_result = out + "}";
}

// When the panel changed since the last call: its state as JSON in the result buffer
// (labels, squares as 0x00BBGGRR, the squares as [left, top, right, bottom] in map pixels,
// the start-up set's names, messages not yet shown, playing, rate, live (the
// timing: 1 live, 0 the program's), ringFrames (the output ring, the engine's own latency),
// title, the panel's texts), and 1.
MX_EXPORT(mx_state) int32_t mx_state() {
  if (!g_ui.changed) return 0;
  g_ui.changed = false;
  const Mixer& m = g_session->mixer();
  std::string out = "{\"labels\":[";
  for (int s = 0; s < kChannelCount; ++s) {
    if (s > 0) out += ',';
    AppendJsonString(out, g_ui.labels[s]);
  }
  out += "],\"squares\":[";
  for (int s = 0; s < kChannelCount; ++s) {
    if (s > 0) out += ',';
    out += std::to_string(g_ui.squares[s]);
  }
  out += "],\"rects\":[";
  for (int s = 0; s < kChannelCount; ++s) {
    const SquareRect r = SlotSquare(s);
    out += (s > 0 ? ",[" : "[") + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
  }
  out += "],\"startup\":[";
  for (int s = 0; s < kChannelCount; ++s) {
    if (s > 0) out += ',';
    AppendJsonString(out, kStartupSet[s]);
  }
  out += "],\"messages\":[";
  for (size_t i = 0; i < g_ui.messages.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, g_ui.messages[i]);
  }
  g_ui.messages.clear();
  out += "],\"playing\":" + std::to_string(m.playing.load());
  out += ",\"rate\":" + std::to_string(m.outputRate);
  out += ",\"live\":" + std::to_string(m.timing == OutputTiming::kLive ? 1 : 0);
  out += ",\"ringFrames\":" + std::to_string(m.ringSizeBytes / kFrameBytes) + ",\"title\":";
  AppendJsonString(out, kProgramTitle);
  // The panel's own texts, from the program's one table: the page keeps no copy.
  const std::pair<const char*, std::string> texts[] = {
      {"play", kPlayCaption},
      {"cutSound", kCutSoundCaption},
      {"quit", kQuitQuestion},
      {"rateQuestion", kRateQuestion},
      {"helpCaption", kHelpCaption},
      {"help1", std::string(kHelpFirst) + kHelpClosing},
      {"help2", std::string(kHelpSecond) + kHelpClosing},
      {"live", kLiveCaption},
      {"liveHint", kLiveHint},
      {"latency", kLatencyCaption},
      {"latencyHint", kLatencyHint},
      {"midi", kMidiCaption},
      {"midiHint", kMidiHint},
      {"midiUnavailable", kMidiUnavailable},
      {"midiRefused", kMidiRefused},
      {"midiNoInput", kMidiNoInput},
      {"midiInputs", kMidiInputs},
      {"midiLearn", kMidiLearn},
      {"midiLearning", kMidiLearning},
      {"midiRemove", kMidiRemove},
      {"midiDownload", kMidiDownload},
      {"midiLoad", kMidiLoad},
      {"midiClose", kMidiClose},
  };
  out += ",\"texts\":{";
  for (const auto& [key, text] : texts) {
    if (key != texts[0].first) out += ',';
    out += std::string("\"") + key + "\":";
    AppendJsonString(out, text);
  }
  out += "}}";
  g_result = out;
  return 1;
}

// ---- Controllers -------------------------------------------------------------------------
// Messages go through the controller's mapping into its bounded queue, which is applied as
// page input is (before the next tick while playing). Learn, the mapping and its file are the
// core's (ui/midi_input.h, ui/midi_map.h).

// One message of count bytes (0 to 3; b0 first) as it arrives from a device. Returns what the
// controller made of it (MidiResult: 0 ignored, 1 queued, 2 dropped, 3 learned).
MX_EXPORT(mx_midi) int32_t mx_midi(uint32_t b0, uint32_t b1, uint32_t b2, uint32_t count) {
  if (count > 3) return static_cast<int32_t>(MidiResult::kIgnored);  // no message used is longer
  const uint8_t bytes[3] = {static_cast<uint8_t>(b0), static_cast<uint8_t>(b1),
                            static_cast<uint8_t>(b2)};
  const MidiResult result = g_ui.controller.Receive(bytes, count);
  if (result == MidiResult::kLearned) g_ui.changed = true;
  DrainControllerSoon();
  return static_cast<int32_t>(result);
}

// 1 once after a controller pressed the play button: the page then presses its own.
MX_EXPORT(mx_midi_take_play) int32_t mx_midi_take_play() {
  const bool pressed = g_ui.playPressed;
  g_ui.playPressed = false;
  return pressed ? 1 : 0;
}

// Learns the next control moved for the action of kind (ActionKind: 1 level, 2 map X, 3 map Y,
// 4 lock, 5 mute, 6 play, 7 Sync; 0 stops learning) and slot (1..8 for the slot actions).
MX_EXPORT(mx_midi_learn) void mx_midi_learn(int32_t kind, int32_t slot) {
  const bool slotAction = kind == 1 || kind == 4 || kind == 5;
  if (kind < 0 || kind > 7 || (slotAction && (slot < 1 || slot > 8))) kind = 0;
  g_ui.controller.Learn(ControlAction{static_cast<ActionKind>(kind),
                                      static_cast<int8_t>(slotAction ? slot - 1 : -1)});
}

// Removes the binding of channel (1..16, 0 any), kind (0 cc, 1 note, 2 bend) and number.
MX_EXPORT(mx_midi_unbind) void mx_midi_unbind(int32_t channel, int32_t kind, int32_t number) {
  if (channel < 0 || channel > 16 || kind < 0 || kind > 2 || number < 0 || number > 127) return;
  g_ui.controller.Unbind(MidiControl{channel, static_cast<MidiKind>(kind), kind == 2 ? 0 : number});
}

// Every action a control can be learned for, as JSON into the result buffer: [[kind, slot,
// text], ...] with kind and slot as mx_midi_learn takes them and the action's text as the MIDI
// map file writes it ("level 1", "map x").
MX_EXPORT(mx_midi_actions) void mx_midi_actions() {
  g_result = "[";
  for (const ControlAction& a : EveryAction()) {
    if (g_result.size() > 1) g_result += ',';
    g_result +=
        "[" + std::to_string(static_cast<int>(a.kind)) + "," + std::to_string(a.slot + 1) + ",";
    AppendJsonString(g_result, ActionText(a));
    g_result += ']';
  }
  g_result += ']';
}

// The mapping as a MIDI map file, into the result buffer.
MX_EXPORT(mx_midi_map) void mx_midi_map() {
  g_result = WriteMidiMap(g_ui.controller.mapping());
}

// Puts the MIDI map file in the text buffer in force. A faulty file shows its one message,
// changes nothing and gives 0.
MX_EXPORT(mx_midi_set_map) int32_t mx_midi_set_map() {
  MidiMapping mapping;
  std::string message;
  const std::string text = Text();
  if (!ParseMidiMap(text.data(), text.size(), mapping, message)) {
    InfoBox(g_session->mixer(), message.c_str());
    return 0;
  }
  g_ui.controller.SetMapping(mapping);
  return 1;
}
