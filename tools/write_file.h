// Writing a generated file whole, for the build's generator tools.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace tools {

// Writes bytes to path, replacing it. False when it cannot be created or written whole.
inline bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  // An empty vector's data() may be null, which fwrite must not be given even for no bytes.
  const bool wrote = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && wrote;
}

}  // namespace tools
