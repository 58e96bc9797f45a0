#include "ui/render_cli.h"

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

#include "engine/wave_writer.h"
#include "ui/render_session.h"

namespace mixorama {

namespace {

constexpr char kUsage[] =
    "usage: mixorama-render mix --rate R [--slot N FILE]... [--script FILE] --ms T OUT.wav\n";

int BadUsage(std::FILE* err, const std::string& why) {
  std::fprintf(err, "mix: %s\n%s", why.c_str(), kUsage);
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

int MixCommand(int argc, char** argv, std::FILE* err) {
  RenderRequest request;
  bool haveRate = false;
  bool haveMs = false;
  std::string scriptPath;
  std::string outPath;
  bool usedSlot[8] = {};

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rate") {
      int64_t rate = 0;
      if (i + 1 >= argc || !ParseInt64(argv[i + 1], rate))
        return BadUsage(err, "--rate needs a number");
      if (!IsOutputRate(rate)) return BadUsage(err, "the rate must be 11025, 22050 or 44100");
      request.rate = static_cast<int32_t>(rate);
      haveRate = true;
      ++i;
    } else if (arg == "--slot") {
      int64_t n = 0;
      if (i + 2 >= argc || !ParseInt64(argv[i + 1], n)) {
        return BadUsage(err, "--slot needs a slot number and a file");
      }
      if (n < 1 || n > 8) return BadUsage(err, "slot numbers are 1 to 8");
      if (std::strlen(argv[i + 2]) >= 260)
        return BadUsage(err, "file names are at most 259 characters");
      if (usedSlot[n - 1]) return BadUsage(err, "slot " + std::to_string(n) + " is given twice");
      usedSlot[n - 1] = true;
      request.slots.emplace_back(static_cast<int>(n - 1), argv[i + 2]);
      i += 2;
    } else if (arg == "--script") {
      if (i + 1 >= argc) return BadUsage(err, "--script needs a file");
      scriptPath = argv[i + 1];
      ++i;
    } else if (arg == "--ms") {
      int64_t ms = 0;
      if (i + 1 >= argc || !ParseInt64(argv[i + 1], ms) || ms < 0) {
        return BadUsage(err, "--ms needs a whole number of milliseconds, 0 or more");
      }
      request.durationMs = ms;
      haveMs = true;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return BadUsage(err, "unknown option " + arg);
    } else {
      if (!outPath.empty()) return BadUsage(err, "more than one output file");
      outPath = arg;
    }
  }
  if (!haveRate) return BadUsage(err, "--rate is missing");
  if (!haveMs) return BadUsage(err, "--ms is missing");
  if (outPath.empty()) return BadUsage(err, "the output file is missing");

  // The data chunk's size field is 32 bits (about 6.7 hours at 44100 frames a second).
  if (request.durationMs > 1000000000) return BadUsage(err, "--ms is too long for one wave file");
  const uint64_t frames = FramesByTime(request.rate, request.durationMs);
  if (frames * 4 > 0xFFFFFFFFull - 36) return BadUsage(err, "--ms is too long for one wave file");

  // Slots are loaded in slot order whatever the order on the command line.
  std::sort(request.slots.begin(), request.slots.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });

  if (!scriptPath.empty()) {
    std::string text;
    if (!ReadWholeFile(scriptPath, text)) {
      std::fprintf(err, "mix: cannot read the script %s\n", scriptPath.c_str());
      return 2;
    }
    std::string error;
    if (!ParseScript(text, request.events, error)) {
      std::fprintf(err, "mix: %s: %s\n", scriptPath.c_str(), error.c_str());
      return 2;
    }
  }

  std::FILE* out = std::fopen(outPath.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(err, "mix: cannot create %s\n", outPath.c_str());
    return 1;
  }
  const std::vector<uint8_t> header = WaveHeader(request.rate, static_cast<uint32_t>(frames * 4));
  bool writeOk = std::fwrite(header.data(), 1, header.size(), out) == header.size();
  const uint64_t sent = RenderMix(
      request,
      [&](const uint8_t* bytes, size_t count) {
        if (writeOk && std::fwrite(bytes, 1, count, out) != count) writeOk = false;
      },
      [err](const char* text) { std::fprintf(err, "%s\n", text); });
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
    std::fprintf(err, "mix: cannot write %s\n", outPath.c_str());
    std::remove(outPath.c_str());
    return 1;
  }
  return 0;
}

}  // namespace mixorama
