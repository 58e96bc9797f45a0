#include "engine/texts.h"

#include <cstring>

namespace mixorama {

const char* MessageText(Msg msg) {
  switch (msg) {
    case Msg::kNone:
      return "";
    case Msg::kMemoryProblem:
      return "Memory problem";
    case Msg::kOpenFile:
      return "Error opening file";
    case Msg::kNoRiffWave:
      return "Error reading file (1)";
    case Msg::kNoFmt:
      return "Error reading file (2)";
    case Msg::kFmtShort:
      return "Error reading file (3)";
    case Msg::kNotPcm:
      return "The wave must be a PCM wave";
    case Msg::kNoData:
      return "Error reading file (4)";
    case Msg::kEmptyData:
      return "Error locking memory";
    case Msg::kDataShort:
      return "Error reading file (5)";
    case Msg::kRawMemory:
      return "Error allocating memory";
    case Msg::kNoSampleRate:
      return "The wave must have a sample rate";
    case Msg::kTooShort:
      return "The wave is too short";
    case Msg::kSampleMemory:
      return "Memory Error";
    case Msg::kNoRing:
      return "Impossible to initialize Blendora";
    case Msg::kNoAudioCard:
      return "Impossible to detect an audio card";
    case Msg::kBadCardFormat:
      return "The audio-card does not support the required format";
    case Msg::kMonoCard:
      return "Well ! This is not a stereo card, ? What ?";
    case Msg::kOpenDriver:
      return "Impossible to open the audio-driver";
    case Msg::kPrepareFailed:
      return "Memory Error 2";
    case Msg::kWriteFailed:
      return "Memory Error 3";
    case Msg::kNoPosition:
      return "Impossible to read the position in the wave";
    case Msg::kSetupRead:
      return "Error reading the setup file";
    case Msg::kSetupWrite:
      return "Error writing the setup file";
  }
  return "";
}

const char* MidiMapFaultText(MidiMapFault fault) {
  switch (fault) {
    case MidiMapFault::kEmpty:
      return "The MIDI map is empty";
    case MidiMapFault::kNotAMap:
      return "This is not a Mixorama MIDI map";
    case MidiMapFault::kNewerVersion:
      return "This MIDI map needs a newer version of Mixorama";
    case MidiMapFault::kNoEnd:
      return "The MIDI map is incomplete: its end line is missing";
    case MidiMapFault::kBadVersion:
      return "unknown version";
    case MidiMapFault::kControlCharacter:
      return "the line holds a control character";
    case MidiMapFault::kAfterEnd:
      return "text after the end line";
    case MidiMapFault::kNotABinding:
      return "a line must read: channel kind number = action";
    case MidiMapFault::kBadChannel:
      return "the channel must be 1 to 16 or any";
    case MidiMapFault::kBadKind:
      return "unknown kind";
    case MidiMapFault::kBadNumber:
      return "the number must be 0 to 127";
    case MidiMapFault::kBadAction:
      return "unknown action";
    case MidiMapFault::kBadSlot:
      return "slots are 1 to 8";
    case MidiMapFault::kBoundTwice:
      return "this control is bound twice";
  }
  return "";
}

void InfoBox(Mixer& m, Msg msg) {
  InfoBox(m, MessageText(msg));
}

void SlotLabelText(const char* slotName, char (&label)[kPathBytes]) {
  label[0] = '\0';
  const size_t n = std::strlen(slotName);
  if (n < 4) return;
  const size_t last = n - 4;  // the label ends here: the last three characters are dropped
  size_t first = last + 1;
  while (first > 0 && slotName[first - 1] != '/' && slotName[first - 1] != '\\') --first;
  size_t count = last + 1 - first;
  if (count > kPathBytes - 1) count = kPathBytes - 1;
  std::memcpy(label, slotName + first, count);
  label[count] = '\0';
}

}  // namespace mixorama
