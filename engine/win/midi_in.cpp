#include "engine/win/midi_in.h"

#include "engine/win/winmm_device.h"

namespace mixorama {

size_t ShortMessageBytes(uint32_t word, uint8_t bytes[3]) {
  const uint8_t status = static_cast<uint8_t>(word);
  size_t count = 0;
  if (status >= 0xF0) {
    count = status == 0xF2 ? 3 : (status == 0xF1 || status == 0xF3) ? 2 : 1;
  } else if (status >= 0x80) {
    const uint8_t kind = status & 0xF0;
    count = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
  }
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(word >> (8 * i));
  return count;
}

int MidiInputs::OpenAll(HWND window) {
  CloseAll();
  const UINT devices = midiInGetNumDevs();
  statuses_.assign(devices, DeviceStatus::kOk);
  for (UINT id = 0; id < devices; ++id) {
    HMIDIIN handle = nullptr;
    DeviceStatus& status = statuses_[id];
    status = TranslateMmResult(
        midiInOpen(&handle, id, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW));
    if (status != DeviceStatus::kOk) continue;
    status = TranslateMmResult(midiInStart(handle));
    if (status != DeviceStatus::kOk) {
      midiInClose(handle);
      continue;
    }
    open_.push_back(handle);
  }
  return static_cast<int>(open_.size());
}

void MidiInputs::CloseAll() {
  for (HMIDIIN handle : open_) {
    midiInStop(handle);
    midiInReset(handle);
    midiInClose(handle);
  }
  open_.clear();
}

}  // namespace mixorama
