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

const char* FileFaultText(TextFile file, FileFault fault) {
  const bool setup = file == TextFile::kSetup;
  switch (fault) {
    case FileFault::kEmpty:
      return setup ? "The setup file is empty" : "The MIDI map is empty";
    case FileFault::kNotAFile:
      return setup ? "This is not a Mixorama setup file" : "This is not a Mixorama MIDI map";
    case FileFault::kNewerVersion:
      return setup ? "This setup file needs a newer version of Mixorama"
                   : "This MIDI map needs a newer version of Mixorama";
    case FileFault::kNoEnd:
      return setup ? "The setup file is incomplete: its end line is missing"
                   : "The MIDI map is incomplete: its end line is missing";
    case FileFault::kBadVersion:
      return "unknown version %s";
    case FileFault::kControlCharacter:
      return "the line holds a control character";
    case FileFault::kAfterEnd:
      return "text after the end line";
    case FileFault::kSetupNotKeyValue:
      return "a line must read key = value";
    case FileFault::kSetupGivenTwice:
      return "%s is given twice";
    case FileFault::kSetupBadRate:
      return "the rate must be 11025, 22050 or 44100";
    case FileFault::kSetupLongPath:
      return "the path is longer than 259 characters";
    case FileFault::kSetupBadLevel:
      return "the level must be a whole number from 1 to 350";
    case FileFault::kSetupNotAFlag:
      return "%s must be 0 or 1";
    case FileFault::kSetupUnknownKey:
      return "unknown key %s";
    case FileFault::kSetupNoRate:
      return "The setup file gives no rate";
    case FileFault::kSetupLockedAndMuted:
      return "Setup file error : slot %s cannot be both locked and muted";
    case FileFault::kMapNotABinding:
      return "a line must read: channel kind number = action";
    case FileFault::kMapBadChannel:
      return "the channel must be 1 to 16 or any";
    case FileFault::kMapBadKind:
      return "unknown kind %s";
    case FileFault::kMapBadNumber:
      return "the number must be 0 to 127";
    case FileFault::kMapBadAction:
      return "unknown action %s";
    case FileFault::kMapBadSlot:
      return "slots are 1 to 8";
    case FileFault::kMapBoundTwice:
      return "this control is bound twice";
  }
  return "";
}

const char* FileLineErrorText(TextFile file) {
  return file == TextFile::kSetup ? "Setup file error, line " : "MIDI map error, line ";
}

std::string TextWith(const char* text, const std::string& word) {
  std::string s = text;
  const size_t at = s.find("%s");
  if (at != std::string::npos) s.replace(at, 2, word);
  return s;
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
