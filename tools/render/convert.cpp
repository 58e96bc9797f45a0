// mixorama-render convert --rate R IN.wav OUT.wav
// Loads IN.wav into slot 1 exactly as the program does at output rate R and writes the
// channel's sample data as a canonical 16-bit stereo PCM wave, so the converted sound can be
// heard and compared byte for byte between builds.
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/mixer.h"
#include "engine/slot.h"
#include "engine/wave_writer.h"
#include "tools/render/commands.h"

namespace {

using namespace mixorama;

constexpr char kConvertUsage[] = "usage: mixorama-render convert --rate R IN.wav OUT.wav\n";

// The engine's three user-interface calls on a console: messages go to stderr, one a line,
// exactly as the information box would show them; labels and squares have nowhere to go.
class ConsoleUi : public UiSeam {
 public:
  void InfoBox(const char* text) override { std::fprintf(stderr, "%s\n", text); }
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
};

bool ParseRate(const char* text, int32_t& rate) {
  for (int32_t r : kOutputRates) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(r));
    if (std::strcmp(text, buf) == 0) {
      rate = r;
      return true;
    }
  }
  return false;
}

// Writes the slot's frames (high byte first) as a wave (low byte first).
bool WriteChannel(const SlotFrameView& view, int32_t rate, const char* path) {
  const uint32_t length = static_cast<uint32_t>(view.lengthBytes);
  const uint8_t* frames = view.data;
  std::vector<uint8_t> out = WaveHeader(rate, length);
  out.resize(kWaveHeaderBytes + length);
  for (uint32_t i = 0; i + 1 < length; i += 2) {
    out[kWaveHeaderBytes + i] = frames[i + 1];
    out[kWaveHeaderBytes + i + 1] = frames[i];
  }
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  if (std::fclose(f) != 0 || !written) {
    std::remove(path);
    return false;
  }
  return true;
}

}  // namespace

int RunConvert(int argc, char** argv) {
  int32_t rate = 0;
  if (argc != 5 || std::strcmp(argv[1], "--rate") != 0 || !ParseRate(argv[2], rate)) {
    std::fprintf(stderr, "%s", kConvertUsage);
    return 2;
  }
  const char* in = argv[3];
  const char* out = argv[4];

  // The tool's own table: the program's start values, at the chosen output rate.
  Mixer m;
  ConsoleUi ui;
  m.ui = &ui;
  SetOutputTiming(m, rate, OutputTiming::kProgram);

  const int slot = 0;  // slot 1 on screen
  LoadWaveIntoSlot(m, in, slot);
  int result = 0;
  const SlotFrameView frames = SlotFrames(m, slot);
  if (frames.data == nullptr) {
    result = 1;
  } else if (!WriteChannel(frames, rate, out)) {
    std::fprintf(stderr, "mixorama-render: cannot write %s\n", out);
    result = 1;
  }
  UnloadChannel(m, slot);
  m.ui = nullptr;
  return result;
}
