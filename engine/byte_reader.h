// Little-endian field access over byte buffers: file formats are read byte by byte, never by
// casting a buffer to a struct, so the result does not depend on the host's byte order or on
// alignment.
#pragma once

#include <cstdint>
#include <vector>

namespace mixorama {

inline uint16_t ReadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Appending writers, for building files in memory (tools and tests).
inline void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

inline void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

// A four-character code as it appears in the file ("RIFF", "fmt ", ...), compared as bytes.
inline bool IsFourCc(const uint8_t* p, const char (&code)[5]) {
  return p[0] == static_cast<uint8_t>(code[0]) && p[1] == static_cast<uint8_t>(code[1]) &&
         p[2] == static_cast<uint8_t>(code[2]) && p[3] == static_cast<uint8_t>(code[3]);
}

}  // namespace mixorama
