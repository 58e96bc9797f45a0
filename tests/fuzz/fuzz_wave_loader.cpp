// Fuzz target for the wave loader: the chunk walk, the size checks and the conversion. The
// first input byte picks the output rate and how the slot is used; the rest is the file.
// Every input must end either with an active channel whose frames lie inside its sample
// data, or with exactly one message and an empty slot. Blocks above 1 MiB are refused
// (as a full machine would refuse them) so inputs that ask for huge waves stay fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/wave_loader.h"

namespace {

using namespace mixorama;

constexpr size_t kMaxBlockBytes = 1u << 20;

void* CappedAlloc(size_t bytes) {
  return bytes > kMaxBlockBytes ? nullptr : DefaultBlockAllocator().allocZeroed(bytes);
}

class CountingUi : public UiSeam {
 public:
  int messages = 0;
  void InfoBox(const char* text) override {
    if (text == nullptr || text[0] == '\0') std::abort();
    ++messages;
  }
  void SetSlotLabel(int, const char*) override {}
  void DrawSlotSquare(int) override {}
  void DeferredMenuStep() override {}
};

void CheckSlot(const Mixer& m, int slot, int result, const CountingUi& ui) {
  if (result == 1) {
    if (ui.messages != 0 || m.active[slot] != 1 || m.sampleMemory[slot] == nullptr) std::abort();
    const int32_t length = m.lengthBytes[slot];
    const int32_t pos = m.readPosBytes[slot];
    if (length < 4 || length % 4 != 0 || pos < 0 || pos >= length || pos % 4 != 0) std::abort();
    // Touch the first and last frame: out-of-bounds shows under AddressSanitizer.
    volatile uint8_t sink = m.sampleData[slot][0] ^ m.sampleData[slot][length - 1];
    (void)sink;
  } else {
    if (ui.messages != 1 || m.active[slot] != 0 || m.sampleMemory[slot] != nullptr) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const int32_t rates[] = {11025, 22050, 44100, 11025};
  Mixer m;
  CountingUi ui;
  m.ui = &ui;
  m.allocator.allocZeroed = &CappedAlloc;
  m.outputRate = rates[control & 3];
  m.readPosBytes[2] = static_cast<int32_t>((control >> 2) & 0x3C) * 4;

  // Twice into slot 2 (the second load replaces the first), then into slot 0 so that slot 2
  // serves as the reference for the start read position.
  for (int slot : {2, 2, 0}) {
    ui.messages = 0;
    MemoryWaveSource source(data + 1, size - 1);
    const int result = LoadWaveFromSource(m, source, slot);
    CheckSlot(m, slot, result, ui);
    if ((control & 0x80) == 0) break;
  }
  return 0;
}
