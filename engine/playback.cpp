#include "engine/playback.h"

#include "engine/mixer_tick.h"
#include "engine/texts.h"

namespace mixorama {

namespace {

// Format bit 0 of the capabilities: 11.025 kHz, mono, 8-bit. A device without it is refused.
constexpr uint32_t kFormat1M08 = 0x1;

}  // namespace

void ReleaseOutputRing(Mixer& m) {
  uint8_t* old = nullptr;
  {
    std::lock_guard<std::mutex> hold(m.lock);
    old = m.outputRing;
    m.outputRing = nullptr;
    m.loopBuffer.data = nullptr;
    // The next ring may be smaller; keep both indexes inside it until the next start.
    m.writeIndexBytes = 0;
    m.lastPlayPosBytes = 0;
  }
  m.allocator.release(old);
}

namespace {

// The engine init's steps; EngineInit stores the result in the engine-ready flag.
bool InitEngine(Mixer& m) {
  ReleaseOutputRing(m);
  void* ring = m.allocator.allocZeroed(m.ringSizeBytes);
  if (ring == nullptr) {
    InfoBox(m, Msg::kNoRing);
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.outputRing = static_cast<uint8_t*>(ring);
  }

  const uint32_t devices = m.device->DeviceCount();
  if (devices == 0) {
    InfoBox(m, Msg::kNoAudioCard);
    return false;
  }

  // The check only decides whether to go on and whether the card is mono; the device is
  // always opened through the default device. No answer at all counts as suitable.
  bool answered = false;
  bool suitable = false;
  for (uint32_t n = 0; n < devices && !suitable; ++n) {
    DeviceCaps caps;
    if (m.device->Capabilities(n, caps) != DeviceStatus::kOk) continue;
    m.caps = caps;
    answered = true;
    if ((caps.formats & kFormat1M08) != 0) suitable = true;
  }
  if (answered && !suitable) {
    InfoBox(m, Msg::kBadCardFormat);
    return false;
  }

  OutputFormat f;
  f.formatTag = 1;
  f.channels = m.caps.channels == 1 ? 1 : 2;
  f.samplesPerSec = static_cast<uint32_t>(m.outputRate);
  f.bitsPerSample = 16;
  f.blockAlign = static_cast<uint16_t>(f.channels * 16 / 8);
  f.avgBytesPerSec = f.channels * f.samplesPerSec * 16 / 8;
  m.format = f;
  if (m.caps.channels == 1) InfoBox(m, Msg::kMonoCard);

  std::lock_guard<std::mutex> hold(m.lock);
  m.loopBuffer.data = m.outputRing;
  m.loopBuffer.lengthBytes = m.ringSizeBytes;
  m.loopBuffer.loops = kRingLoops;
  return true;
}

}  // namespace

bool EngineInit(Mixer& m) {
  const bool ready = InitEngine(m);
  m.engineReady = ready ? 1 : 0;
  return ready;
}

bool RestartOutput(Mixer& m, int32_t rate, OutputTiming timing) {
  ReleaseOutputRing(m);
  SetOutputTiming(m, rate, timing);
  return EngineInit(m);
}

void DeviceOpen(Mixer& m) {
  LoopBuffer buffer;
  {
    std::lock_guard<std::mutex> hold(m.lock);
    buffer = m.loopBuffer;
  }
  // The first step that fails names the message; the device is closed again before it shows.
  Msg failure = Msg::kNone;
  {
    std::lock_guard<std::mutex> device(m.deviceLock);
    if (m.device->Open(m.format) != DeviceStatus::kOk) {
      failure = Msg::kOpenDriver;
    } else if (m.device->Prepare(buffer) != DeviceStatus::kOk) {
      failure = Msg::kPrepareFailed;
    } else if (m.device->Write() != DeviceStatus::kOk) {
      failure = Msg::kWriteFailed;
    }
    if (failure != Msg::kNone && m.device->IsOpen()) {
      m.device->Unprepare();
      m.device->Close();
    }
  }
  if (failure != Msg::kNone) InfoBox(m, failure);
}

void CloseDeviceHeld(Mixer& m) {
  if (!m.device->IsOpen()) return;
  m.device->Reset();
  m.device->Unprepare();
  m.device->Close();
}

void DeviceClose(Mixer& m) {
  std::lock_guard<std::mutex> device(m.deviceLock);
  CloseDeviceHeld(m);
}

void StartPlayback(Mixer& m) {
  if (m.engineReady == 0) return;
  Sync(m);
  m.live = m.mapHover.load();
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.writeIndexBytes = 0;
    m.lastPlayPosBytes = 0;
    ++m.playSession;
  }
  DeviceOpen(m);
  // The timer exists before the playing flag is set, so a tick in between does nothing.
  const TimerId timer =
      m.timer->StartPeriodic(TickPeriodMs(m.outputRate, m.timing), &TimerCallback, &m);
  {
    std::lock_guard<std::mutex> hold(m.lock);
    m.timerId = timer;
  }
  m.playing = 1;
}

void StopPlayback(Mixer& m) {
  m.playing = 0;
  if (m.engineReady == 0) return;
  DeviceClose(m);
  m.timer->Kill(m.timerId);
  // A tick already past its playing test is not waited for by the timer; it re-checks the
  // playing flag under the lock, so once this fill holds the lock no tick writes the ring.
  std::lock_guard<std::mutex> hold(m.lock);
  if (m.outputRing != nullptr) {
    for (uint32_t i = 0; i + 1 < m.ringSizeBytes; i += 2) {
      m.outputRing[i] = 0x80;
      m.outputRing[i + 1] = 0x00;
    }
  }
  m.live = 0;
}

}  // namespace mixorama
