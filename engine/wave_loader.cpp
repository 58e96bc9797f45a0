#include "engine/wave_loader.h"

#include <new>

#include "engine/slot.h"
#include "engine/texts.h"
#include "engine/wave_chunks.h"
#include "engine/wave_convert.h"

namespace mixorama {

namespace {

// The temporary record of one load: the fmt fields and the raw data, which it owns.
struct LoadRecord {
  WaveFormat format;
  uint8_t* rawData;
  uint32_t dataSize;
  void* rawMemory;
};

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

// Walk, read, convert, install. Returns the failure's message, or Msg::kNone once the slot
// plays the new wave. Leaves closing the source and releasing the record to the caller.
Msg LoadOpenedWave(Mixer& m, LoadRecord* record, WaveSource& source, int slot) {
  WaveChunks chunks;
  const Msg walk = ParseWaveChunks(source, chunks);
  if (walk != Msg::kNone) return walk;
  record->format = chunks.format;
  record->dataSize = chunks.dataSize;

  // An empty data chunk gives no lockable block.
  if (record->dataSize == 0) return Msg::kEmptyData;
  // A size field larger than the file is a truncated file: refused before any block of that
  // size is asked for.
  const uint64_t fileBytes = source.Size();
  const uint64_t available = fileBytes > chunks.dataOffset ? fileBytes - chunks.dataOffset : 0;
  if (record->dataSize > available) return Msg::kDataShort;

  record->rawMemory = m.allocator.allocZeroed(record->dataSize);
  if (record->rawMemory == nullptr) return Msg::kRawMemory;
  record->rawData = static_cast<uint8_t*>(record->rawMemory);
  if (source.ReadAt(chunks.dataOffset, record->rawData, record->dataSize) != record->dataSize) {
    return Msg::kDataShort;
  }
  source.Close();

  // Refusals of waves that have nothing to play; the slot's previous wave still plays while
  // they show.
  if (record->format.sampleRate == 0) return Msg::kNoSampleRate;
  const ConversionPlan plan = PlanConversion(record->format, record->dataSize, m.outputRate);
  if (plan.lengthBytes < static_cast<uint64_t>(kFrameBytes)) return Msg::kTooShort;

  // From here on the previous wave is gone.
  UnloadChannel(m, slot);
  void* sampleMemory = nullptr;
  if (plan.lengthBytes <= static_cast<uint64_t>(INT32_MAX)) {
    sampleMemory = m.allocator.allocZeroed(static_cast<size_t>(plan.lengthBytes));
  }
  if (sampleMemory == nullptr) return Msg::kSampleMemory;
  // The channel is not active and the memory is not yet installed: no lock is needed while
  // converting.
  ConvertWave(plan, record->rawData, record->dataSize, static_cast<uint8_t*>(sampleMemory),
              plan.lengthBytes);
  InstallFrames(m, slot, sampleMemory, static_cast<int32_t>(plan.lengthBytes));
  return Msg::kNone;
}

// The whole load once the source is open: every outcome closes the source, shows its message
// with no lock held, then releases the record.
bool LoadFromOpenSource(Mixer& m, LoadRecord* record, WaveSource& source, int slot) {
  const Msg failure = LoadOpenedWave(m, record, source, slot);
  source.Close();
  if (failure != Msg::kNone) InfoBox(m, failure);
  ReleaseLoadRecord(m, record);
  return failure == Msg::kNone;
}

}  // namespace

bool LoadWaveFromSource(Mixer& m, WaveSource& source, int slot) {
  LoadRecord* record = CreateLoadRecord(m);
  if (record == nullptr) {
    source.Close();
    InfoBox(m, Msg::kMemoryProblem);
    return false;
  }
  return LoadFromOpenSource(m, record, source, slot);
}

bool LoadWave(Mixer& m, const char* path, int slot) {
  LoadRecord* record = CreateLoadRecord(m);
  if (record == nullptr) {
    InfoBox(m, Msg::kMemoryProblem);
    return false;
  }
  FileWaveSource file;
  if (!file.Open(path)) {
    InfoBox(m, Msg::kOpenFile);
    ReleaseLoadRecord(m, record);
    return false;
  }
  return LoadFromOpenSource(m, record, file, slot);
}

}  // namespace mixorama
