// mixorama-render mix --rate R [--live] [--slot N FILE]... [--script FILE] [--midi-map FILE]
//                     --ms T OUT.wav
//
// Plays the engine on the virtual device with a scripted performance (ui/render_session.h),
// its midi messages through the default mapping or the MIDI map file given (ui/midi_map.h),
// in the program's output timing or, with --live, in the live one (engine/output_timing.h),
// and writes what the device played as a canonical wave file (PCM, 2 channels, 16 bits, rate
// R) of exactly floor(T * R / 1000) frames. Slots are 1 to 8 and are loaded in slot order; R is
// one of kOutputRates. Messages the program would show go to stderr, one line each, and the
// render goes on. Exit status 0 when the file is written, 1 when it could not be written (the
// partial file is removed), 2 on bad usage, a bad script line or a faulty MIDI map: a message
// naming the option, the script line or the map's line goes to stderr and no file is created.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "engine/wave_writer.h"
#include "tools/render/commands.h"
#include "tools/render/large_blocks.h"
#include "ui/midi_map.h"
#include "ui/render_session.h"

namespace {

using namespace mixorama;

constexpr char kUsage[] =
    "usage: mixorama-render mix --rate R [--live] [--slot N FILE]... [--script FILE] "
    "[--midi-map FILE] --ms T OUT.wav\n";

int BadUsage(const std::string& why) {
  std::fprintf(stderr, "mix: %s\n%s", why.c_str(), kUsage);
  return 2;
}

// Whole decimal number, optionally signed, with nothing after it.
bool ParseInt64(const char* text, int64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0') return false;
  value = v;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return !in.bad();
}

// The command line, read.
struct MixOptions {
  RenderRequest request;
  std::string scriptPath;
  std::string midiMapPath;
  std::string outPath;
};

// The words of a list: "a, b or c".
std::string ListOf(const int32_t* values, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += (i == 0 ? "" : i + 1 == count ? " or " : ", ") + std::to_string(values[i]);
  }
  return text;
}

// Reads the options into o. "" when they make a render, else what is wrong with them.
std::string ParseOptions(int argc, char** argv, MixOptions& o) {
  RenderRequest& request = o.request;
  bool haveRate = false;
  bool haveMs = false;
  bool usedSlot[kChannelCount] = {};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool haveValue = i + 1 < argc;
    if (arg == "--rate") {
      int64_t rate = 0;
      if (!haveValue || !ParseInt64(argv[i + 1], rate)) return "--rate needs a number";
      if (!IsOutputRate(rate)) return "the rate must be " + ListOf(kOutputRates, 3);
      request.rate = static_cast<int32_t>(rate);
      haveRate = true;
      ++i;
    } else if (arg == "--live") {
      request.timing = OutputTiming::kLive;
    } else if (arg == "--slot") {
      int64_t n = 0;
      if (i + 2 >= argc || !ParseInt64(argv[i + 1], n))
        return "--slot needs a slot number and a file";
      if (n < 1 || n > kChannelCount)
        return "slot numbers are 1 to " + std::to_string(kChannelCount);
      if (std::strlen(argv[i + 2]) >= static_cast<size_t>(kPathBytes)) {
        return "file names are at most " + std::to_string(kPathBytes - 1) + " characters";
      }
      if (usedSlot[n - 1]) return "slot " + std::to_string(n) + " is given twice";
      usedSlot[n - 1] = true;
      request.slots.emplace_back(static_cast<int>(n - 1), argv[i + 2]);
      i += 2;
    } else if (arg == "--script" || arg == "--midi-map") {
      if (!haveValue) return arg + " needs a file";
      (arg == "--script" ? o.scriptPath : o.midiMapPath) = argv[++i];
    } else if (arg == "--ms") {
      int64_t ms = 0;
      if (!haveValue || !ParseInt64(argv[i + 1], ms) || ms < 0) {
        return "--ms needs a whole number of milliseconds, 0 or more";
      }
      request.durationMs = ms;
      haveMs = true;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return "unknown option " + arg;
    } else {
      if (!o.outPath.empty()) return "more than one output file";
      o.outPath = arg;
    }
  }
  if (!haveRate) return "--rate is missing";
  if (!haveMs) return "--ms is missing";
  if (o.outPath.empty()) return "the output file is missing";
  // The data chunk's size field is 32 bits (about 6.7 hours at 44100 frames a second).
  if (request.durationMs > 1000000000 ||
      FramesByTime(request.rate, request.durationMs) * 4 > 0xFFFFFFFFull - 36) {
    return "--ms is too long for one wave file";
  }
  // Slots are loaded in slot order whatever the order on the command line.
  std::sort(request.slots.begin(), request.slots.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return "";
}

// Reads the script and the MIDI map the options name into the request. False after saying
// what is wrong.
bool ReadInputs(MixOptions& o) {
  std::string text;
  std::string error;
  if (!o.scriptPath.empty()) {
    if (!ReadWholeFile(o.scriptPath, text)) {
      std::fprintf(stderr, "mix: cannot read the script %s\n", o.scriptPath.c_str());
      return false;
    }
    if (!ParseScript(text, o.request.events, error)) {
      std::fprintf(stderr, "mix: %s: %s\n", o.scriptPath.c_str(), error.c_str());
      return false;
    }
  }
  if (!o.midiMapPath.empty()) {
    if (!ReadWholeFile(o.midiMapPath, text)) {
      std::fprintf(stderr, "mix: cannot read the MIDI map %s\n", o.midiMapPath.c_str());
      return false;
    }
    if (!ParseMidiMap(text.data(), text.size(), o.request.midiMap, error)) {
      std::fprintf(stderr, "mix: %s: %s\n", o.midiMapPath.c_str(), error.c_str());
      return false;
    }
  }
  return true;
}

// Renders the request into the wave file at path. "" when it is written, else what went wrong
// (a partial file is removed).
std::string WriteRender(const RenderRequest& request, const std::string& path) {
  const uint64_t frames = FramesByTime(request.rate, request.durationMs);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return "cannot create " + path;
  const std::vector<uint8_t> header = WaveHeader(request.rate, static_cast<uint32_t>(frames * 4));
  bool writeOk = std::fwrite(header.data(), 1, header.size(), out) == header.size();
  const uint64_t sent = RenderMix(
      request,
      [&](const uint8_t* bytes, size_t count) {
        if (writeOk && std::fwrite(bytes, 1, count, out) != count) writeOk = false;
      },
      [](const char* text) { std::fprintf(stderr, "%s\n", text); });
  // A render cut short (no engine, device stopped) still yields the frames promised by the
  // header: the rest is silence, as a stopped device leaves the output.
  const std::vector<uint8_t> silence(4096, 0);
  for (uint64_t missing = (frames - sent) * 4; writeOk && missing > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(missing, silence.size()));
    if (std::fwrite(silence.data(), 1, n, out) != n) writeOk = false;
    missing -= n;
  }
  if (std::fclose(out) != 0) writeOk = false;
  if (writeOk) return "";
  std::remove(path.c_str());
  return "cannot write " + path;
}

}  // namespace

int RunMix(int argc, char** argv) {
  MixOptions options;
  options.request.allocator = LargeBlockAllocator();
  const std::string wrong = ParseOptions(argc, argv, options);
  if (!wrong.empty()) return BadUsage(wrong);
  if (!ReadInputs(options)) return 2;
  const std::string failed = WriteRender(options.request, options.outPath);
  if (failed.empty()) return 0;
  std::fprintf(stderr, "mix: %s\n", failed.c_str());
  return 1;
}
