// Playback: the output device and the output ring (engine init, device open and close), start
// and stop, and putting a new output timing in force. All on the GUI thread, except closing the device, which the tick also does on
// the timer thread after a failed position query.
#pragma once

#include <cstdint>

#include "engine/mixer.h"

namespace mixorama {

inline constexpr uint32_t kRingLoops = 10000000;  // about 29 days of looping

// Frees any ring and allocates a new zero-filled one of ringSizeBytes, checks the devices,
// builds the output format and the loop buffer. True on success, false after showing why; the
// result is also stored in the engine-ready flag.
bool EngineInit(Mixer& m);

// Puts an output timing in force, with playback stopped: releases the ring, sets rate, ring
// size and timing (SetOutputTiming) and runs EngineInit, whose result it returns.
bool RestartOutput(Mixer& m, int32_t rate, OutputTiming timing);

// Opens the default device on the looping ring. On failure (already shown) no device is open.
void DeviceOpen(Mixer& m);

// Reset, unprepare and close the device, if one is open. No message, no result.
void DeviceClose(Mixer& m);
// The same with Mixer::deviceLock already held by the caller.
void CloseDeviceHeld(Mixer& m);

// Sync, live flag from the map-hover flag, indexes to 0, device open, periodic timer of the
// timing's period (TickPeriodMs: 50 ms in the program timing), playing flag. Does nothing
// while the engine is not ready.
void StartPlayback(Mixer& m);

// Playing flag to 0; when the engine is ready: device close, kill the timer, fill the ring
// with the silence pattern, live flag to 0. Returns with no tick mixing into the ring.
void StopPlayback(Mixer& m);

// Unlocks and frees the output ring, if held (before a rate change and at program end).
void ReleaseOutputRing(Mixer& m);

}  // namespace mixorama
