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

}  // namespace

int RunMix(int argc, char** argv) {
  RenderRequest request;
  request.allocator = LargeBlockAllocator();
  bool haveRate = false;
  bool haveMs = false;
  std::string scriptPath;
  std::string midiMapPath;
  std::string outPath;
  bool usedSlot[8] = {};

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rate") {
      int64_t rate = 0;
      if (i + 1 >= argc || !ParseInt64(argv[i + 1], rate)) return BadUsage("--rate needs a number");
      if (!IsOutputRate(rate)) return BadUsage("the rate must be 11025, 22050 or 44100");
      request.rate = static_cast<int32_t>(rate);
      haveRate = true;
      ++i;
    } else if (arg == "--live") {
      request.timing = OutputTiming::kLive;
    } else if (arg == "--slot") {
      int64_t n = 0;
      if (i + 2 >= argc || !ParseInt64(argv[i + 1], n)) {
        return BadUsage("--slot needs a slot number and a file");
      }
      if (n < 1 || n > 8) return BadUsage("slot numbers are 1 to 8");
      if (std::strlen(argv[i + 2]) >= 260) return BadUsage("file names are at most 259 characters");
      if (usedSlot[n - 1]) return BadUsage("slot " + std::to_string(n) + " is given twice");
      usedSlot[n - 1] = true;
      request.slots.emplace_back(static_cast<int>(n - 1), argv[i + 2]);
      i += 2;
    } else if (arg == "--script") {
      if (i + 1 >= argc) return BadUsage("--script needs a file");
      scriptPath = argv[i + 1];
      ++i;
    } else if (arg == "--midi-map") {
      if (i + 1 >= argc) return BadUsage("--midi-map needs a file");
      midiMapPath = argv[i + 1];
      ++i;
    } else if (arg == "--ms") {
      int64_t ms = 0;
      if (i + 1 >= argc || !ParseInt64(argv[i + 1], ms) || ms < 0) {
        return BadUsage("--ms needs a whole number of milliseconds, 0 or more");
      }
      request.durationMs = ms;
      haveMs = true;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return BadUsage("unknown option " + arg);
    } else {
      if (!outPath.empty()) return BadUsage("more than one output file");
      outPath = arg;
    }
  }
  if (!haveRate) return BadUsage("--rate is missing");
  if (!haveMs) return BadUsage("--ms is missing");
  if (outPath.empty()) return BadUsage("the output file is missing");

  // The data chunk's size field is 32 bits (about 6.7 hours at 44100 frames a second).
  if (request.durationMs > 1000000000) return BadUsage("--ms is too long for one wave file");
  const uint64_t frames = FramesByTime(request.rate, request.durationMs);
  if (frames * 4 > 0xFFFFFFFFull - 36) return BadUsage("--ms is too long for one wave file");

  // Slots are loaded in slot order whatever the order on the command line.
  std::sort(request.slots.begin(), request.slots.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });

  if (!scriptPath.empty()) {
    std::string text;
    if (!ReadWholeFile(scriptPath, text)) {
      std::fprintf(stderr, "mix: cannot read the script %s\n", scriptPath.c_str());
      return 2;
    }
    std::string error;
    if (!ParseScript(text, request.events, error)) {
      std::fprintf(stderr, "mix: %s: %s\n", scriptPath.c_str(), error.c_str());
      return 2;
    }
  }

  if (!midiMapPath.empty()) {
    std::string text;
    if (!ReadWholeFile(midiMapPath, text)) {
      std::fprintf(stderr, "mix: cannot read the MIDI map %s\n", midiMapPath.c_str());
      return 2;
    }
    std::string message;
    if (!ParseMidiMap(text.data(), text.size(), request.midiMap, message)) {
      std::fprintf(stderr, "mix: %s: %s\n", midiMapPath.c_str(), message.c_str());
      return 2;
    }
  }

  std::FILE* out = std::fopen(outPath.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "mix: cannot create %s\n", outPath.c_str());
    return 1;
  }
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
  if (writeOk && sent < frames) {
    const std::vector<uint8_t> silence(4096, 0);
    uint64_t missingBytes = (frames - sent) * 4;
    while (writeOk && missingBytes > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(missingBytes, silence.size()));
      if (std::fwrite(silence.data(), 1, n, out) != n) writeOk = false;
      missingBytes -= n;
    }
  }
  if (std::fclose(out) != 0) writeOk = false;
  if (!writeOk) {
    std::fprintf(stderr, "mix: cannot write %s\n", outPath.c_str());
    std::remove(outPath.c_str());
    return 1;
  }
  return 0;
}
