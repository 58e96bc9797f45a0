#include "engine/slot.h"

#include <cstring>
#include <mutex>

#include "engine/texts.h"
#include "engine/wave_loader.h"

namespace mixorama {

void InstallFrames(Mixer& m, int slot, void* sampleMemory, int32_t lengthBytes) {
  std::lock_guard<std::mutex> hold(m.lock);
  m.sampleMemory[slot] = sampleMemory;
  m.sampleData[slot] = static_cast<uint8_t*>(sampleMemory);
  m.lengthBytes[slot] = lengthBytes;
  int reference = slot;
  for (int c = 0; c < kChannelCount; ++c) {
    if (c != slot && m.sampleMemory[c] != nullptr) {
      reference = c;
      break;
    }
  }
  int32_t readPos = m.readPosBytes[reference];
  if (readPos >= lengthBytes) readPos %= lengthBytes;
  m.readPosBytes[slot] = readPos;
  m.active[slot] = 1;  // last: the tick may mix the channel from now on
}

void UnloadChannel(Mixer& m, int slot) {
  void* memory = nullptr;
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.active[slot] = 0;
    m.peakLevel -= 100;
    memory = m.sampleMemory[slot];
    m.sampleMemory[slot] = nullptr;
  }
  // Released after unlocking: no tick can be reading it, since active is already 0.
  m.allocator.release(memory);
}

void EmptySlot(Mixer& m, int slot) {
  UnloadChannel(m, slot);
  if (m.ui != nullptr) m.ui->SetSlotLabel(slot, "");
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.volume[slot] = 1;
  }
  m.muted[slot] = 0;
  m.locked[slot] = 0;
  if (m.ui != nullptr) m.ui->DrawSlotSquare(slot);
  m.slotName[slot][0] = '\0';
}

void ShowSlotLabel(Mixer& m, int slot) {
  char* name = m.slotName[slot];
  for (char* p = name; *p != '\0'; ++p) {
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  }
  char label[kPathBytes];
  SlotLabelText(name, label);
  if (m.ui != nullptr) m.ui->SetSlotLabel(slot, label);
}

void LoadWaveIntoSlot(Mixer& m, const char* path, int slot) {
  if (!LoadWave(m, path, slot)) {
    EmptySlot(m, slot);
    return;
  }
  char* name = m.slotName[slot];
  if (path != name) {
    size_t n = std::strlen(path);
    if (n > kPathBytes - 1) n = kPathBytes - 1;
    std::memmove(name, path, n);
    name[n] = '\0';
  }
  ShowSlotLabel(m, slot);
  m.muted[slot] = 0;
  m.locked[slot] = 0;
  if (m.ui != nullptr) {
    m.ui->FollowCursor(slot);
    m.ui->DrawSlotSquare(slot);
  }
}

SlotFrameView SlotFrames(const Mixer& m, int slot) {
  SlotFrameView view;
  if (m.active[slot] == 0) return view;
  view.data = m.sampleData[slot];
  view.lengthBytes = m.lengthBytes[slot];
  return view;
}

}  // namespace mixorama
