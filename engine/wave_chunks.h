// The RIFF chunk walk of a wave file: where its format and its sample data are, from bytes
// alone. Nothing here allocates or touches the channel table.
#pragma once

#include <cstdint>

#include "engine/texts.h"
#include "engine/wave_convert.h"
#include "engine/wave_source.h"

namespace mixorama {

// Where the chunk walk found the wave: its format and the data chunk, whose size is the size
// field as written (it may claim more bytes than the source holds).
struct WaveChunks {
  WaveFormat format;
  uint64_t dataOffset = 0;  // first byte of the data chunk's data
  uint32_t dataSize = 0;
};

// Finds the first top-level "RIFF" chunk of form type "WAVE", then inside it the first "fmt "
// chunk and, after that, the first "data" chunk. Skipped chunks occupy their size plus one
// pad byte when the size is odd; a subchunk counts only when its 8-byte header lies inside
// the RIFF chunk's declared size. Reads only chunk headers and the fmt chunk.
// Returns Msg::kNone, or the failure as the message the loader shows for it: kNoRiffWave,
// kNoFmt, kFmtShort, kNotPcm or kNoData.
Msg ParseWaveChunks(WaveSource& source, WaveChunks& chunks);

}  // namespace mixorama
