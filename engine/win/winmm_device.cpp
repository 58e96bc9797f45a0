#include "engine/win/winmm_device.h"

namespace mixorama {

// The record sizes the calls are made with: a driver checks them against its own.
static_assert(sizeof(WAVEOUTCAPSA) == 52, "WAVEOUTCAPSA is 52 bytes");
static_assert(sizeof(WAVEHDR) == 32, "WAVEHDR is 32 bytes");
static_assert(sizeof(MMTIME) == 12, "MMTIME is 12 bytes");

namespace {

// Loop the one buffer: it is both the first and the last block of the loop.
constexpr DWORD kLoopFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
static_assert(kLoopFlags == 12, "loop flags");

}  // namespace

DeviceStatus TranslateMmResult(MMRESULT result) {
  switch (result) {
    case MMSYSERR_NOERROR:
      return DeviceStatus::kOk;
    case MMSYSERR_BADDEVICEID:
      return DeviceStatus::kBadDeviceId;
    case MMSYSERR_NODRIVER:
      return DeviceStatus::kNoDriver;
    case MMSYSERR_NOMEM:
      return DeviceStatus::kNoMemory;
    case WAVERR_BADFORMAT:
      return DeviceStatus::kBadFormat;
    case WAVERR_STILLPLAYING:
      return DeviceStatus::kStillPlaying;
    case MMSYSERR_INVALHANDLE:
      return DeviceStatus::kInvalidHandle;
    default:
      return DeviceStatus::kError;
  }
}

WinmmDevice::WinmmDevice() {
  position_.wType = TIME_BYTES;
}

WinmmDevice::~WinmmDevice() {
  if (handle_ == nullptr) return;
  Reset();
  Unprepare();
  Close();
}

uint32_t WinmmDevice::DeviceCount() {
  return waveOutGetNumDevs();
}

DeviceStatus WinmmDevice::Capabilities(uint32_t deviceNumber, DeviceCaps& caps) {
  WAVEOUTCAPSA record{};
  const DeviceStatus status =
      TranslateMmResult(waveOutGetDevCapsA(deviceNumber, &record, sizeof record));
  if (status != DeviceStatus::kOk) return status;
  caps.formats = record.dwFormats;
  caps.channels = record.wChannels;
  return status;
}

DeviceStatus WinmmDevice::Open(const OutputFormat& format) {
  format_ = WAVEFORMATEX{};
  format_.wFormatTag = format.formatTag;
  format_.nChannels = format.channels;
  format_.nSamplesPerSec = format.samplesPerSec;
  format_.nAvgBytesPerSec = format.avgBytesPerSec;
  format_.nBlockAlign = format.blockAlign;
  format_.wBitsPerSample = format.bitsPerSample;
  format_.cbSize = 0;
  HWAVEOUT opened = nullptr;
  const DeviceStatus status =
      TranslateMmResult(waveOutOpen(&opened, WAVE_MAPPER, &format_, 0, 0, WAVE_ALLOWSYNC));
  handle_ = status == DeviceStatus::kOk ? opened : nullptr;
  return status;
}

DeviceStatus WinmmDevice::Prepare(const LoopBuffer& buffer) {
  header_ = WAVEHDR{};
  header_.lpData = reinterpret_cast<LPSTR>(buffer.data);
  header_.dwBufferLength = buffer.lengthBytes;
  header_.dwBytesRecorded = 0;
  header_.dwFlags = kLoopFlags;
  header_.dwLoops = buffer.loops;
  return TranslateMmResult(waveOutPrepareHeader(handle_, &header_, sizeof header_));
}

DeviceStatus WinmmDevice::Write() {
  return TranslateMmResult(waveOutWrite(handle_, &header_, sizeof header_));
}

DeviceStatus WinmmDevice::Position(uint32_t& bytesPlayed) {
  const DeviceStatus status =
      TranslateMmResult(waveOutGetPosition(handle_, &position_, sizeof position_));
  if (status == DeviceStatus::kOk) bytesPlayed = position_.u.cb;
  return status;
}

void WinmmDevice::Reset() {
  waveOutReset(handle_);
}

void WinmmDevice::Unprepare() {
  waveOutUnprepareHeader(handle_, &header_, sizeof header_);
}

void WinmmDevice::Close() {
  waveOutClose(handle_);
  handle_ = nullptr;
}

}  // namespace mixorama
