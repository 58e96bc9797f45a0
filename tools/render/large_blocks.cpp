#include "tools/render/large_blocks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace mixorama {

namespace {

// Every block is preceded by a header naming the mapping it lives in (none: from calloc). Its
// size keeps the block as aligned as calloc's.
struct Header {
  void* mapping;
  size_t mappingBytes;
  size_t capacity;  // bytes the block may hold
};
constexpr size_t kHeaderBytes = 64;
static_assert(sizeof(Header) <= kHeaderBytes, "the header fits before the block");

void* BlockAfter(Header* header) {
  return reinterpret_cast<uint8_t*>(header) + kHeaderBytes;
}
Header* HeaderOf(void* block) {
  return reinterpret_cast<Header*>(static_cast<uint8_t*>(block) - kHeaderBytes);
}

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr size_t kHugePageBytes = size_t{2} << 20;

// The large block released last, kept mapped for the next large request it can hold: each load
// releases its raw data block just before the next load asks for one of the same size, which
// then costs a clearing instead of a new mapping's page faults. The renderer has one thread.
Header* g_spare = nullptr;

// An anonymous mapping (zero-filled by the system) with room to start the header on a huge
// page boundary, advised to be backed by huge pages. Null when no mapping can be had.
void* MapLarge(size_t bytes) {
  const size_t mappingBytes = bytes + kHeaderBytes + kHugePageBytes;
  void* mapping =
      mmap(nullptr, mappingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  const auto base = reinterpret_cast<uintptr_t>(mapping);
  const uintptr_t start = (base + kHugePageBytes - 1) & ~uintptr_t{kHugePageBytes - 1};
  // Only advice: without huge pages the block is the same, faulted in small pages.
  madvise(reinterpret_cast<void*>(start), mappingBytes - (start - base), MADV_HUGEPAGE);
  return BlockAfter(new (reinterpret_cast<void*>(start)) Header{mapping, mappingBytes, bytes});
}

void* AllocateLarge(size_t bytes) {
  if (g_spare != nullptr && g_spare->capacity >= bytes) {
    void* block = BlockAfter(g_spare);
    g_spare = nullptr;
    std::memset(block, 0, bytes);
    return block;
  }
  return MapLarge(bytes);
}

void ReleaseLarge(Header* header) {
  if (g_spare != nullptr) munmap(g_spare->mapping, g_spare->mappingBytes);
  g_spare = header;
}
#endif

void* AllocateZeroed(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX / 2) return nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes >= kHugePageBytes) return AllocateLarge(bytes);
#endif
  void* raw = std::calloc(bytes + kHeaderBytes, 1);
  if (raw == nullptr) return nullptr;
  return BlockAfter(new (raw) Header{nullptr, 0, bytes});
}

void Release(void* block) {
  if (block == nullptr) return;
  Header* const header = HeaderOf(block);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (header->mapping != nullptr) return ReleaseLarge(header);
#endif
  std::free(header);
}

}  // namespace

BlockAllocator LargeBlockAllocator() {
  BlockAllocator a;
  a.allocZeroed = &AllocateZeroed;
  a.release = &Release;
  return a;
}

}  // namespace mixorama
