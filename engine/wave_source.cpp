#include "engine/wave_source.h"

#include <cstring>

namespace mixorama {

namespace {

// 64-bit seeks: a plain fseek takes a long, which is 32 bits on Windows.
bool SeekTo(std::FILE* f, uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

int64_t EndOffset(std::FILE* f) {
#if defined(_WIN32)
  if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
  return _ftelli64(f);
#else
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  return ftello(f);
#endif
}

}  // namespace

size_t MemoryWaveSource::ReadAt(uint64_t offset, uint8_t* dst, size_t bytes) {
  if (closed_ || offset >= size_) return 0;
  const uint64_t left = size_ - offset;
  const size_t n = left < bytes ? static_cast<size_t>(left) : bytes;
  std::memcpy(dst, data_ + offset, n);
  return n;
}

bool FileWaveSource::Open(const char* path) {
  Close();
  file_ = std::fopen(path, "rb");
  if (file_ == nullptr) return false;
  const int64_t end = EndOffset(file_);
  if (end < 0) {
    Close();
    return false;
  }
  size_ = static_cast<uint64_t>(end);
  return true;
}

size_t FileWaveSource::ReadAt(uint64_t offset, uint8_t* dst, size_t bytes) {
  if (file_ == nullptr || offset >= size_ || bytes == 0) return 0;
  if (!SeekTo(file_, offset)) return 0;
  return std::fread(dst, 1, bytes, file_);
}

void FileWaveSource::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  size_ = 0;
}

}  // namespace mixorama
