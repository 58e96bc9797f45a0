// Fuzz target for the setup-file parser: every input is refused with a message, or parses into
// a valid setup whose saved text reads back and saves again to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/setup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte may wrap the rest in a valid first line and end line, so that the search
  // reaches the key lines without first having to find the header.
  std::string input;
  if ((data[0] & 1) != 0) input += "MIXORAMA-SETUP 1.0\r\nrate = 22050\r\n";
  input.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 2) != 0) input += "\r\nend\r\n";
  for (const char* setupPath : {"C:\\Loops\\Live\\set.st", "/srv/loops/set.st", "set.st"}) {
    mixorama::SavedSetup setup;
    std::string message;
    if (!mixorama::ParseSetup(input.data(), input.size(), setupPath, setup, message)) {
      if (message.empty()) std::abort();  // a refusal always says why
      continue;
    }
    for (const mixorama::SetupSlot& slot : setup.slots) {
      if (slot.path.size() > 259 || slot.level < 1 || slot.level > 350) std::abort();
      if (slot.locked + slot.muted > 1 || slot.locked < 0 || slot.muted < 0) std::abort();
    }
    const std::string text = mixorama::WriteSetup(setup, setupPath);
    mixorama::SavedSetup again;
    if (!mixorama::ParseSetup(text.data(), text.size(), setupPath, again, message)) std::abort();
    if (mixorama::WriteSetup(again, setupPath) != text) std::abort();
  }
  return 0;
}
