// Builders of wave files in memory for the loader's tests: chunks with any identifier, size
// field and padding, so malformed files are as easy to write as good ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/byte_reader.h"

namespace mixorama::wavetest {

using Bytes = std::vector<uint8_t>;

using ::mixorama::PutLe16;
using ::mixorama::PutLe32;

inline void PutId(Bytes& b, const char* id) {
  b.insert(b.end(), id, id + 4);
}

// A chunk: identifier, size field (the body's size unless given) and body, plus the pad byte
// when the body is odd (unless pad is false).
inline Bytes Chunk(const char* id, const Bytes& body, int64_t sizeField = -1, bool pad = true) {
  Bytes b;
  PutId(b, id);
  PutLe32(b, sizeField < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(sizeField));
  b.insert(b.end(), body.begin(), body.end());
  if (pad && body.size() % 2 == 1) b.push_back(0);
  return b;
}

// The 16-byte body of a fmt chunk (cut to bytes when shorter, zero-extended when longer).
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                     size_t bytes = 16) {
  Bytes b;
  PutLe16(b, tag);
  PutLe16(b, channels);
  PutLe32(b, rate);
  const uint32_t align = channels * ((bits + 7u) / 8u);
  PutLe32(b, rate * align);
  PutLe16(b, align);
  PutLe16(b, bits);
  b.resize(bytes, 0);
  return b;
}

// A RIFF chunk of the given form type around the chunks (size field computed unless given).
inline Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE",
                  int64_t sizeField = -1) {
  Bytes body;
  PutId(body, form);
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return Chunk("RIFF", body, sizeField, false);
}

// A plain PCM wave: RIFF, fmt (16 bytes), data.
inline Bytes PcmWave(uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& data) {
  return Riff({Chunk("fmt ", FmtBody(1, channels, rate, bits)), Chunk("data", data)});
}

// count bytes 0, 1, 2, ... (mod 256).
inline Bytes ByteRamp(size_t count) {
  Bytes b(count);
  for (size_t i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(i);
  return b;
}

// 16-bit stereo frames whose left sample is the frame number and right its complement.
inline Bytes StereoFrameRamp(size_t frames) {
  Bytes b;
  for (size_t i = 0; i < frames; ++i) {
    PutLe16(b, static_cast<uint32_t>(i & 0xFFFF));
    PutLe16(b, static_cast<uint32_t>(~i & 0xFFFF));
  }
  return b;
}

inline Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

// Writes bytes to path; true on success.
inline bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace mixorama::wavetest
