#include "web/page_files.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace mixorama {
namespace {

std::string FoldedName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

std::map<std::string, std::vector<uint8_t>>& Files() {
  static std::map<std::string, std::vector<uint8_t>> files;
  return files;
}

}  // namespace

uint8_t* PutPageFile(const std::string& name, uint32_t size) {
  std::vector<uint8_t>& bytes = Files()[FoldedName(name)];
  bytes.assign(size, 0);
  return bytes.data();
}

}  // namespace mixorama

// The browser build has no file system: opening for reading gives a stream over the page's
// bytes (fmemopen needs no system call); anything else fails as a missing file would.
extern "C" FILE* fopen(const char* path, const char* mode) {
  if (std::strchr(mode, 'r') == nullptr || std::strchr(mode, '+') != nullptr) return nullptr;
  auto& files = mixorama::Files();
  const auto found = files.find(mixorama::FoldedName(path));
  if (found == files.end()) return nullptr;
  std::vector<uint8_t>& bytes = found->second;
  // A stream needs at least one byte: an empty file reads as one zero byte, which the loader
  // refuses with the same message.
  static uint8_t zero[1];
  if (bytes.empty()) return fmemopen(zero, 1, "rb");
  return fmemopen(bytes.data(), bytes.size(), "rb");
}
