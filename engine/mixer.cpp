#include "engine/mixer.h"

#include <cstdlib>
#include <cstring>

namespace mixorama {

const char* const kStartupSet[kChannelCount] = {
    "BD7525.WAV", "CP.WAV", "MA.WAV", "LT50.WAV", "SD0010.WAV", "BD7525.WAV", "CH.WAV", "HC50.WAV",
};

namespace {

void* CallocBlock(size_t bytes) {
  return bytes == 0 ? nullptr : std::calloc(bytes, 1);
}
void FreeBlock(void* block) {
  std::free(block);
}

}  // namespace

BlockAllocator DefaultBlockAllocator() {
  BlockAllocator a;
  a.allocZeroed = &CallocBlock;
  a.release = &FreeBlock;
  return a;
}

Mixer::Mixer() {
  for (int c = 0; c < kChannelCount; ++c) {
    std::strncpy(slotName[c], kStartupSet[c], kPathBytes - 1);
  }
}

Mixer::~Mixer() {
  for (int c = 0; c < kChannelCount; ++c) {
    allocator.release(sampleMemory[c]);
    sampleMemory[c] = nullptr;
    sampleData[c] = nullptr;
  }
  allocator.release(outputRing);
  outputRing = nullptr;
}

Mixer g_mixer;

void Sync(Mixer& m) {
  std::lock_guard<std::mutex> hold(m.lock);
  for (int c = 0; c < kChannelCount; ++c) m.readPosBytes[c] = 0;
  m.peakLevel = 0;
}

void InfoBox(Mixer& m, const char* text) {
  if (m.ui != nullptr) m.ui->InfoBox(text);
}

}  // namespace mixorama
