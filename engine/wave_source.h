// Where the loader's bytes come from: a file opened for reading, or a buffer in memory (tests
// and the fuzzer). Reads are positional, so the RIFF chunk walk keeps no hidden file position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace mixorama {

class WaveSource {
 public:
  virtual ~WaveSource() = default;
  // Copies up to bytes bytes from offset into dst; returns how many were delivered (fewer at
  // the end of the data, 0 past it or after Close).
  virtual size_t ReadAt(uint64_t offset, uint8_t* dst, size_t bytes) = 0;
  // Total bytes available, from offset 0.
  virtual uint64_t Size() const = 0;
  // Ends the use of the source. Safe to call more than once.
  virtual void Close() = 0;
};

// A read-only view of a caller's buffer, which must outlive the source.
class MemoryWaveSource : public WaveSource {
 public:
  MemoryWaveSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t bytes) override;
  uint64_t Size() const override { return closed_ ? 0 : size_; }
  void Close() override { closed_ = true; }

 private:
  const uint8_t* data_;
  size_t size_;
  bool closed_ = false;
};

// A file opened read-only with plain C stdio, 64-bit offsets on both builds.
class FileWaveSource : public WaveSource {
 public:
  FileWaveSource() = default;
  FileWaveSource(const FileWaveSource&) = delete;
  FileWaveSource& operator=(const FileWaveSource&) = delete;
  ~FileWaveSource() override { Close(); }

  // Opens path for reading and measures it. False when it cannot be opened or measured.
  bool Open(const char* path);
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t bytes) override;
  uint64_t Size() const override { return size_; }
  void Close() override;

 private:
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
};

}  // namespace mixorama
