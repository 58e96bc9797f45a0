// Writes the map's background picture as an 8-bit palette BMP.
//
// Usage: make_map_bitmap OUTPUT_FILE
// Exit status 0 when the file was written, 1 otherwise.
#include <cstdio>
#include <vector>

#include "tools/map_bitmap/map_bitmap.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_map_bitmap OUTPUT_FILE\n");
    return 1;
  }
  const std::vector<uint8_t> bytes = mapbmp::EncodeMapBmp();
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "make_map_bitmap: cannot write %s\n", argv[1]);
    return 1;
  }
  const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !wrote) {
    std::fprintf(stderr, "make_map_bitmap: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
