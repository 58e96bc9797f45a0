#include "engine/wave_chunks.h"

#include "engine/byte_reader.h"

namespace mixorama {

namespace {

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

}  // namespace

Msg ParseWaveChunks(WaveSource& source, WaveChunks& chunks) {
  // The RIFF chunk of form type WAVE, among the top-level chunks.
  uint8_t header[12];
  uint64_t pos = 0;
  uint64_t riffBody = 0;
  uint64_t riffEnd = 0;
  for (;;) {
    if (source.ReadAt(pos, header, 8) != 8) return Msg::kNoRiffWave;
    const uint32_t size = ReadLe32(header + 4);
    if (IsFourCc(header, "RIFF")) {
      if (source.ReadAt(pos + 8, header + 8, 4) != 4) return Msg::kNoRiffWave;
      if (IsFourCc(header + 8, "WAVE")) {
        riffBody = pos + 12;
        riffEnd = pos + 8 + size;
        break;
      }
    }
    pos += ChunkSpan(size);
  }

  ChunkHeader fmt{};
  if (!FindSubchunk(source, riffBody, riffEnd, "fmt ", fmt)) return Msg::kNoFmt;
  uint8_t fmtBytes[16] = {};
  const size_t want = fmt.size < 16 ? fmt.size : 16;
  if (source.ReadAt(fmt.offset + 8, fmtBytes, want) != want) return Msg::kFmtShort;
  chunks.format = ParseWaveFormat(fmtBytes);
  if (chunks.format.formatTag != 1) return Msg::kNotPcm;

  ChunkHeader data{};
  if (!FindSubchunk(source, fmt.offset + ChunkSpan(fmt.size), riffEnd, "data", data)) {
    return Msg::kNoData;
  }
  chunks.dataOffset = data.offset + 8;
  chunks.dataSize = data.size;
  return Msg::kNone;
}

}  // namespace mixorama
