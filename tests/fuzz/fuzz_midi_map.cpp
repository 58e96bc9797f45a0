// Fuzz target for the MIDI map parser and the controller input: every input is refused with a
// message, or parses into a mapping whose file reads back to the same mapping and is written
// again to the same bytes; the input's bytes then go to a controller with that mapping as
// messages (the first byte of each gives its length), and its queue stays within its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/midi_input.h"
#include "ui/midi_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mixorama;
  if (size == 0) return 0;
  // The first byte may wrap the rest in a valid first line and end line, so that the search
  // reaches the binding lines without first having to find the header.
  std::string input;
  if ((data[0] & 1) != 0) input += "MIXORAMA-MIDI-MAP 1.0\r\n";
  input.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 2) != 0) input += "\r\nend\r\n";
  MidiMapping mapping = DefaultMidiMapping();
  std::string message;
  if (!ParseMidiMap(input.data(), input.size(), mapping, message)) {
    if (message.empty()) std::abort();  // a refusal always says why
  } else {
    const std::string text = WriteMidiMap(mapping);
    MidiMapping again;
    if (!ParseMidiMap(text.data(), text.size(), again, message) || !(again == mapping)) {
      std::abort();
    }
    if (WriteMidiMap(again) != text) std::abort();
  }
  MidiInput controller(mapping);
  if ((data[0] & 4) != 0) controller.Learn({ActionKind::kSlotLock, 2});
  for (size_t i = 1; i < size;) {
    const size_t n = data[i] % 5;
    const size_t take = n < size - i - 1 ? n : size - i - 1;
    controller.Receive(data + i + 1, take);
    i += 1 + take;
    if (controller.queue().size() > ActionQueue::kCapacity) std::abort();
  }
  return 0;
}
