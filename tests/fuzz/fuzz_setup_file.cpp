// Fuzz target for the setup-file parser. Any input must either be refused with a message or
// parse into a setup that the writer saves and the parser reads back as the same session
// (paths compared as the file system would: letter case and separator kind aside).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/setup_file.h"

namespace {

std::string Normalised(const std::string& path) {
  std::string n = path;
  for (char& c : n) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return n;
}

bool SameSession(const mixorama::SavedSetup& a, const mixorama::SavedSetup& b) {
  if (a.outputRate != b.outputRate) return false;
  for (int s = 0; s < mixorama::kChannelCount; ++s) {
    const mixorama::SetupSlot& x = a.slots[s];
    const mixorama::SetupSlot& y = b.slots[s];
    if (Normalised(x.path) != Normalised(y.path) || x.level != y.level || x.locked != y.locked ||
        x.muted != y.muted) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte may wrap the rest in a valid first line and end line, so that the search
  // reaches the key lines without first having to find the header from an empty corpus.
  std::string input;
  if ((data[0] & 1) != 0) input += "MIXORAMA-SETUP 1.0\r\nrate = 22050\r\n";
  input.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 2) != 0) input += "\r\nend\r\n";
  const char* bytes = input.data();
  size = input.size();
  for (const char* setupPath : {"C:\\Loops\\Live\\set.st", "/srv/loops/set.st", "set.st"}) {
    mixorama::SavedSetup first;
    std::string message;
    if (!mixorama::ParseSetup(bytes, size, setupPath, first, message)) {
      if (message.empty()) std::abort();  // a refusal always says why
      continue;
    }
    for (const mixorama::SetupSlot& slot : first.slots) {
      if (slot.path.size() > 259 || slot.level < 1 || slot.level > 350) std::abort();
      if ((slot.locked != 0 && slot.locked != 1) || (slot.muted != 0 && slot.muted != 1)) {
        std::abort();
      }
    }
    const std::string text = mixorama::WriteSetup(first, setupPath);
    mixorama::SavedSetup second;
    if (!mixorama::ParseSetup(text.data(), text.size(), setupPath, second, message)) std::abort();
    if (!SameSession(first, second)) std::abort();
  }
  return 0;
}
