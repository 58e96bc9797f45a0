// Fuzz target for the wave loader: the chunk walk, the size checks and the conversion. The first
// byte picks the output rate and how the slot is used; the rest is the file. Every load ends
// with an active channel whose frames lie inside its sample data, or with exactly one message
// and an empty slot. Blocks above 1 MiB are refused, so inputs asking for huge waves stay fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/wave_loader.h"

namespace {

using namespace mixorama;

void* CappedAlloc(size_t bytes) {
  return bytes > (1u << 20) ? nullptr : DefaultBlockAllocator().allocZeroed(bytes);
}

struct CountingUi : UiSeam {
  int messages = 0;
  void InfoBox(const char* text) override { messages += text[0] != '\0' ? 1 : 100; }
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  Mixer m;
  CountingUi ui;
  m.ui = &ui;
  m.allocator.allocZeroed = &CappedAlloc;
  SetOutputTiming(m, kOutputRates[(control & 3) % 3], OutputTiming::kProgram);  // 3: the first
  m.readPosBytes[2] = static_cast<int32_t>((control >> 2) & 0x3C) * 4;
  // Twice into slot 2 (the second load replaces the first), then into slot 0 with slot 2 as the
  // reference for the start read position.
  for (int slot : {2, 2, 0}) {
    ui.messages = 0;
    MemoryWaveSource source(data + 1, size - 1);
    const bool loaded = LoadWaveFromSource(m, source, slot) == 1;
    const int32_t length = m.lengthBytes[slot];
    const int32_t pos = m.readPosBytes[slot];
    if (loaded != (ui.messages == 0) || (ui.messages != 0 && ui.messages != 1)) std::abort();
    if (m.active[slot] != loaded || (m.sampleMemory[slot] != nullptr) != loaded) std::abort();
    if (loaded && (length < 4 || length % 4 != 0 || pos < 0 || pos >= length || pos % 4 != 0)) {
      std::abort();
    }
    if (loaded) {  // touch the first and last frame: out-of-bounds shows under AddressSanitizer
      volatile uint8_t touch = m.sampleData[slot][0] ^ m.sampleData[slot][length - 1];
      (void)touch;
    }
    if ((control & 0x80) == 0) break;
  }
  return 0;
}
