// The channel table and the engine-wide state of the mixing engine.
//
// Glossary
//   slot / channel   Eight wave slots. The user sees slots 1 to 8; the engine indexes
//                    channels 0 to 7. Every per-channel field is an 8-element array.
//   frame            4 bytes of converted sample data: left then right, each a signed 16-bit
//                    value stored HIGH byte first (the opposite of the wave file and the ring).
//   length           Size of a channel's sample data in bytes, a whole number of frames.
//   read position    Byte offset of the next frame the tick mixes from a channel.
//   output ring      The one looping device buffer, ringSizeBytes long, holding 16-bit
//                    little-endian stereo frames. The device plays it over and over.
//   play position    Where the device is within the ring (its byte count modulo ring size).
//   write index      Where the tick writes its next mixed frame; trails the play position.
//   volume           Current gain 1..350 (350 is unity); ramps one step per frame toward...
//   target volume    ...the value the map sets from the cursor (1 when muted).
//   peak level       Largest |partial mix sum| since the last Sync; sets the gain divisor.
//   live flag        The tick mixes only while it is set (once the mouse entered the map).
//
// Threads and the engine lock
//   The GUI thread runs commands, loading and the map; the timer thread runs the tick. The
//   struct below is laid out by what guards each field. The tick holds `lock` for one tick.
//   GUI-side writers take it only for memory work: never across file I/O, conversion, a
//   message box or a device call. Memory is released after unlocking. `deviceLock` may be
//   taken before `lock`, never after it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "engine/output_rates.h"
#include "engine/output_timing.h"
#include "engine/platform.h"
#include "engine/version.h"

namespace mixorama {

inline constexpr int kChannelCount = 8;
inline constexpr int32_t kUnityVolume = 350;
inline constexpr int kPathBytes = 260;  // paths hold at most 259 characters
inline constexpr int32_t kFrameBytes = 4;
inline constexpr int32_t kInitialOutputRate = MIXORAMA_OUTPUT_RATE_1;

// The output rates the program offers, in frames a second, lowest first.
inline constexpr int32_t kOutputRates[3] = {MIXORAMA_OUTPUT_RATE_1, MIXORAMA_OUTPUT_RATE_2,
                                            MIXORAMA_OUTPUT_RATE_3};

// True for one of kOutputRates. Takes 64 bits so that no caller narrows a parsed number first.
constexpr bool IsOutputRate(int64_t rate) {
  for (int32_t r : kOutputRates) {
    if (r == rate) return true;
  }
  return false;
}

// The program title, caption of its message boxes. 0xB0 is the degree sign in code page 1252.
inline constexpr char kProgramTitle[] = "Mixorama V\xB0" MIXORAMA_VERSION_TEXT;

// The start-up set of slot names, channels 0 to 7 (slots 1 and 6 share a file).
extern const char* const kStartupSet[kChannelCount];

struct Mixer {
  // ---- Guarded by `lock` ----------------------------------------------------------------
  // The tick reads and writes these while it holds the lock. Every write from the GUI thread
  // takes the lock; the GUI thread may read them without it, since no other thread writes
  // them. Per-channel fields are parallel arrays indexed by channel 0..7.
  std::mutex lock;
  int32_t readPosBytes[kChannelCount] = {};  // multiple of 4; < length while active
  int32_t lengthBytes[kChannelCount] = {};   // whole frames; >= 4 while active
  uint8_t* sampleData[kChannelCount] = {};   // frames, high byte first; owned block below
  void* sampleMemory[kChannelCount] = {};    // non-null exactly while the slot holds a wave
  int32_t volume[kChannelCount] = {1, 1, 1, 1, 1, 1, 1, 1};        // 1..350
  int32_t targetVolume[kChannelCount] = {1, 1, 1, 1, 1, 1, 1, 1};  // 1..350
  int32_t active[kChannelCount] = {};                              // the tick mixes this channel
  // The output timing, set only by SetOutputTiming (engine/output_timing.h).
  int32_t outputRate = kInitialOutputRate;                       // 11025, 22050 or 44100
  uint32_t ringSizeBytes = RingSizeForRate(kInitialOutputRate);  // by the timing's rule
  OutputTiming timing = OutputTiming::kProgram;
  uint8_t* outputRing = nullptr;  // ringSizeBytes of 16-bit little-endian stereo frames
  LoopBuffer loopBuffer{};        // the ring as the device is given it
  int32_t lastPlayPosBytes = 0;   // 0 <= value < ring size
  uint32_t writeIndexBytes = 0;   // 0 <= value < ring size, multiple of 4
  int32_t peakLevel = 0;          // may go negative after unloads
  // Counts playback starts. A tick whose position query belongs to an earlier start must not
  // mix with it against the new start's reset indexes, nor end the new playback.
  uint32_t playSession = 0;
  TimerId timerId = 0;  // the periodic timer of the playback in force (0: none)

  // ---- GUI thread only ---------------------------------------------------------------------
  int32_t locked[kChannelCount] = {};
  int32_t muted[kChannelCount] = {};
  char slotName[kChannelCount][kPathBytes] = {};
  DeviceCaps caps{};  // last capabilities read successfully; zeros at start (= stereo)
  OutputFormat format{};

  // ---- Flags tested by both threads without a lock -----------------------------------------
  std::atomic<int32_t> playing{0};
  std::atomic<int32_t> engineReady{0};
  std::atomic<int32_t> live{0};
  std::atomic<int32_t> mapHover{0};
  std::atomic<int32_t> tickGuard{0};

  // ---- Guarded by `deviceLock`: every call on the open device ------------------------------
  // The tick's position query and the GUI thread's open and close never overlap.
  std::mutex deviceLock;
  OutputDevice* device = nullptr;

  // ---- Services the platform plugs in before the first use (not owned) ---------------------
  PlaybackTimer* timer = nullptr;
  UiSeam* ui = nullptr;
  BlockAllocator allocator = DefaultBlockAllocator();

  // A fresh table at its program-start values, with the start-up set as slot names.
  Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;
  // Releases sample memory and the ring still held (tests and tools make and drop tables).
  ~Mixer();
};

// The program's one channel table, in static storage for the whole run.
extern Mixer g_mixer;

// Sync: every read position to 0, then the peak level to 0. Touches nothing else.
// GUI thread; takes the engine lock, so it lands between two ticks.
void Sync(Mixer& m);

// Shows text in the information box (through the UI seam; a no-op when none is plugged in).
// Any thread; never called with the engine lock held.
void InfoBox(Mixer& m, const char* text);

}  // namespace mixorama
