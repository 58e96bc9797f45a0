// Loading a PCM wave file into a slot: the RIFF chunk walk, the conversion into 16-bit
// stereo frames at the output rate, and emptying a slot again.
//
// All functions here run on the GUI thread (or the tool's one thread), one at a time. They
// take the engine lock only to swap sample memory in and out; file reading and conversion
// happen outside it, and every message is shown with the lock released.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/mixer.h"
#include "engine/wave_convert.h"
#include "engine/wave_source.h"

namespace mixorama {

// Loads the wave at path into slot (0..7). On success the slot name becomes the path and the
// label is shown; on failure (already reported) the slot ends empty with an empty name and
// label and volume 1. Either way locked and muted are cleared and the square is redrawn.
// path may be the slot's own slot name.
void LoadWaveIntoSlot(Mixer& m, const char* path, int slot);

// Reads, converts and activates. Returns 1 when the channel is active with the new wave,
// 0 after showing the failure's message. The slot's previous wave plays on until the new
// file has been read whole.
int LoadWave(Mixer& m, const char* path, int slot);

// Empties a channel: active to 0, peak level lowered by 100 (also for an empty slot), then
// the sample memory released. Read position, length and sample data pointer stay as they are.
void UnloadChannel(Mixer& m, int slot);

// Upper-cases the slot name in place and shows the file part without its last three
// characters as the slot's label ("C:\SOUNDS\KICK.WAV" -> "KICK.").
void ShowSlotLabel(Mixer& m, int slot);

// ---- The same load over any byte source, and the chunk walk on its own -------------------

// Messages of the two loads the WAVE rules leave without one: a sample rate of 0 (no ratio
// can be formed) and a wave that converts to less than one frame.
inline constexpr char kNoSampleRateMessage[] = "The wave must have a sample rate";
inline constexpr char kTooShortMessage[] = "The wave is too short";

// LoadWave over an already opened source (tests and the fuzzer feed memory). The source is
// closed by the load on every path, before any message shows.
int LoadWaveFromSource(Mixer& m, WaveSource& source, int slot);

// Outcome of the chunk walk; each failure has its message (WaveParseMessage).
enum class WaveParseStatus {
  kOk,
  kNoRiffWave,  // "Error reading file (1)"
  kNoFmt,       // "Error reading file (2)"
  kFmtShort,    // "Error reading file (3)"
  kNotPcm,      // "The wave must be a PCM wave"
  kNoData,      // "Error reading file (4)"
};

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
WaveParseStatus ParseWaveChunks(WaveSource& source, WaveChunks& chunks);

// The information box text for a failed walk (empty text for kOk).
const char* WaveParseMessage(WaveParseStatus status);

// The label text for a slot name that is already upper case: the file part without its last
// three characters ("BD7525.WAV" -> "BD7525."); empty below 4 characters.
void SlotLabelText(const char* slotName, char (&label)[kPathBytes]);

}  // namespace mixorama
