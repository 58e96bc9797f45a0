#include "engine/wave_loader.h"

#include <cstring>
#include <mutex>
#include <new>

#include "engine/byte_reader.h"

namespace mixorama {

namespace {

// The temporary record of one load: the fmt fields and the raw data, which it owns.
struct LoadRecord {
  WaveFormat format;
  uint8_t* rawData;
  uint32_t dataSize;
  void* rawMemory;
};

struct ChunkHeader {
  uint64_t offset;  // of the 8-byte header
  uint32_t size;    // the size field as written
};

// The bytes a chunk occupies from its header on: header, data and the pad byte of an odd size.
uint64_t ChunkSpan(uint32_t size) {
  return 8 + static_cast<uint64_t>(size) + (size & 1u);
}

// Finds the first subchunk with identifier id whose header lies wholly in [pos, end).
bool FindSubchunk(WaveSource& source, uint64_t pos, uint64_t end, const char (&id)[5],
                  ChunkHeader& found) {
  uint8_t header[8];
  while (pos + 8 <= end) {
    if (source.ReadAt(pos, header, 8) != 8) return false;
    const uint32_t size = ReadLe32(header + 4);
    if (IsFourCc(header, id)) {
      found = {pos, size};
      return true;
    }
    pos += ChunkSpan(size);
  }
  return false;
}

LoadRecord* CreateLoadRecord(Mixer& m) {
  void* block = m.allocator.allocZeroed(sizeof(LoadRecord));
  if (block == nullptr) return nullptr;
  return new (block) LoadRecord{};
}

void ReleaseLoadRecord(Mixer& m, LoadRecord* record) {
  m.allocator.release(record->rawMemory);
  record->~LoadRecord();
  m.allocator.release(record);
}

// Every failure once the file is open: close it, show the message (no lock held), release.
int FailLoad(Mixer& m, WaveSource& source, LoadRecord* record, const char* message) {
  source.Close();
  InfoBox(m, message);
  ReleaseLoadRecord(m, record);
  return 0;
}

// Steps after the record exists and the source is open: walk, read, convert, install.
int LoadOpenedWave(Mixer& m, LoadRecord* record, WaveSource& source, int slot) {
  WaveChunks chunks;
  const WaveParseStatus status = ParseWaveChunks(source, chunks);
  if (status != WaveParseStatus::kOk) {
    return FailLoad(m, source, record, WaveParseMessage(status));
  }
  record->format = chunks.format;
  record->dataSize = chunks.dataSize;

  // An empty data chunk gives no lockable block.
  if (record->dataSize == 0) return FailLoad(m, source, record, "Error locking memory");
  // A size field larger than the file is a truncated file: refused before any block of that
  // size is asked for.
  const uint64_t fileBytes = source.Size();
  const uint64_t available = fileBytes > chunks.dataOffset ? fileBytes - chunks.dataOffset : 0;
  if (record->dataSize > available) return FailLoad(m, source, record, "Error reading file (5)");

  record->rawMemory = m.allocator.allocZeroed(record->dataSize);
  if (record->rawMemory == nullptr) {
    return FailLoad(m, source, record, "Error allocating memory");
  }
  record->rawData = static_cast<uint8_t*>(record->rawMemory);
  if (source.ReadAt(chunks.dataOffset, record->rawData, record->dataSize) != record->dataSize) {
    return FailLoad(m, source, record, "Error reading file (5)");
  }
  source.Close();

  // Refusals of waves that have nothing to play; the slot's previous wave still plays while
  // they show.
  if (record->format.sampleRate == 0) {
    InfoBox(m, kNoSampleRateMessage);
    ReleaseLoadRecord(m, record);
    return 0;
  }
  const ConversionPlan plan = PlanConversion(record->format, record->dataSize, m.outputRate);
  if (plan.lengthBytes < static_cast<uint64_t>(kFrameBytes)) {
    InfoBox(m, kTooShortMessage);
    ReleaseLoadRecord(m, record);
    return 0;
  }

  // From here on the previous wave is gone.
  UnloadChannel(m, slot);
  void* sampleMemory = nullptr;
  if (plan.lengthBytes <= static_cast<uint64_t>(INT32_MAX)) {
    sampleMemory = m.allocator.allocZeroed(static_cast<size_t>(plan.lengthBytes));
  }
  if (sampleMemory == nullptr) {
    InfoBox(m, "Memory Error");
    ReleaseLoadRecord(m, record);
    return 0;
  }
  const int32_t lengthBytes = static_cast<int32_t>(plan.lengthBytes);
  uint8_t* sampleData = static_cast<uint8_t*>(sampleMemory);
  // The channel is not active and its memory is not yet installed: no lock is needed while
  // converting.
  ConvertWave(plan, record->rawData, record->dataSize, sampleData, plan.lengthBytes);
  ReleaseLoadRecord(m, record);

  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.sampleMemory[slot] = sampleMemory;
    m.sampleData[slot] = sampleData;
    m.lengthBytes[slot] = lengthBytes;
    // Join the loaded channels in step: the lowest other channel holding a wave gives the
    // position; with none, the channel keeps its own. Wrapped into the new length.
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
  return 1;
}

}  // namespace

WaveParseStatus ParseWaveChunks(WaveSource& source, WaveChunks& chunks) {
  // The RIFF chunk of form type WAVE, among the top-level chunks.
  uint8_t header[12];
  uint64_t pos = 0;
  uint64_t riffBody = 0;
  uint64_t riffEnd = 0;
  for (;;) {
    if (source.ReadAt(pos, header, 8) != 8) return WaveParseStatus::kNoRiffWave;
    const uint32_t size = ReadLe32(header + 4);
    if (IsFourCc(header, "RIFF")) {
      if (source.ReadAt(pos + 8, header + 8, 4) != 4) return WaveParseStatus::kNoRiffWave;
      if (IsFourCc(header + 8, "WAVE")) {
        riffBody = pos + 12;
        riffEnd = pos + 8 + size;
        break;
      }
    }
    pos += ChunkSpan(size);
  }

  ChunkHeader fmt{};
  if (!FindSubchunk(source, riffBody, riffEnd, "fmt ", fmt)) return WaveParseStatus::kNoFmt;
  uint8_t fmtBytes[16] = {};
  const size_t want = fmt.size < 16 ? fmt.size : 16;
  if (source.ReadAt(fmt.offset + 8, fmtBytes, want) != want) return WaveParseStatus::kFmtShort;
  chunks.format = ParseWaveFormat(fmtBytes);
  if (chunks.format.formatTag != 1) return WaveParseStatus::kNotPcm;

  ChunkHeader data{};
  if (!FindSubchunk(source, fmt.offset + ChunkSpan(fmt.size), riffEnd, "data", data)) {
    return WaveParseStatus::kNoData;
  }
  chunks.dataOffset = data.offset + 8;
  chunks.dataSize = data.size;
  return WaveParseStatus::kOk;
}

const char* WaveParseMessage(WaveParseStatus status) {
  switch (status) {
    case WaveParseStatus::kOk:
      return "";
    case WaveParseStatus::kNoRiffWave:
      return "Error reading file (1)";
    case WaveParseStatus::kNoFmt:
      return "Error reading file (2)";
    case WaveParseStatus::kFmtShort:
      return "Error reading file (3)";
    case WaveParseStatus::kNotPcm:
      return "The wave must be a PCM wave";
    case WaveParseStatus::kNoData:
      return "Error reading file (4)";
  }
  return "";
}

int LoadWaveFromSource(Mixer& m, WaveSource& source, int slot) {
  LoadRecord* record = CreateLoadRecord(m);
  if (record == nullptr) {
    source.Close();
    InfoBox(m, "Memory problem");
    return 0;
  }
  return LoadOpenedWave(m, record, source, slot);
}

int LoadWave(Mixer& m, const char* path, int slot) {
  LoadRecord* record = CreateLoadRecord(m);
  if (record == nullptr) {
    InfoBox(m, "Memory problem");
    return 0;
  }
  FileWaveSource file;
  if (!file.Open(path)) {
    InfoBox(m, "Error opening file");
    ReleaseLoadRecord(m, record);
    return 0;
  }
  return LoadOpenedWave(m, record, file, slot);
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

void SlotLabelText(const char* slotName, char (&label)[kPathBytes]) {
  label[0] = '\0';
  const size_t n = std::strlen(slotName);
  if (n < 4) return;
  const size_t last = n - 4;  // the label ends here: the last three characters are dropped
  size_t first = last + 1;
  while (first > 0 && slotName[first - 1] != '/' && slotName[first - 1] != '\\') --first;
  size_t count = last + 1 - first;
  if (count > kPathBytes - 1) count = kPathBytes - 1;
  std::memcpy(label, slotName + first, count);
  label[count] = '\0';
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
  if (LoadWave(m, path, slot) == 1) {
    char* name = m.slotName[slot];
    if (path != name) {
      size_t n = std::strlen(path);
      if (n > kPathBytes - 1) n = kPathBytes - 1;
      std::memmove(name, path, n);
      name[n] = '\0';
    }
    ShowSlotLabel(m, slot);
  } else {
    UnloadChannel(m, slot);
    m.slotName[slot][0] = '\0';
    {
      std::lock_guard<std::mutex> hold(m.lock);
      m.volume[slot] = 1;
    }
    if (m.ui != nullptr) m.ui->SetSlotLabel(slot, "");
  }
  m.muted[slot] = 0;
  m.locked[slot] = 0;
  if (m.ui != nullptr) m.ui->DrawSlotSquare(slot);
}

}  // namespace mixorama
