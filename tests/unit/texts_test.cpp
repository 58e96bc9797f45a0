// Every message of the information box, written out as the user must read it. (The setup
// files' and MIDI maps' messages are spelt out by their parsers' tests.)
#include "engine/texts.h"

#include "unit/support.h"

namespace mixorama::test {
namespace {

TEST(Texts, EveryMessageReadsAsWritten) {
  const std::pair<Msg, const char*> messages[] = {
      {Msg::kNone, ""},
      {Msg::kMemoryProblem, "Memory problem"},
      {Msg::kOpenFile, "Error opening file"},
      {Msg::kNoRiffWave, "Error reading file (1)"},
      {Msg::kNoFmt, "Error reading file (2)"},
      {Msg::kFmtShort, "Error reading file (3)"},
      {Msg::kNotPcm, "The wave must be a PCM wave"},
      {Msg::kNoData, "Error reading file (4)"},
      {Msg::kEmptyData, "Error locking memory"},
      {Msg::kDataShort, "Error reading file (5)"},
      {Msg::kRawMemory, "Error allocating memory"},
      {Msg::kNoSampleRate, "The wave must have a sample rate"},
      {Msg::kTooShort, "The wave is too short"},
      {Msg::kSampleMemory, "Memory Error"},
      {Msg::kNoRing, "Impossible to initialize Blendora"},
      {Msg::kNoAudioCard, "Impossible to detect an audio card"},
      {Msg::kBadCardFormat, "The audio-card does not support the required format"},
      {Msg::kMonoCard, "Well ! This is not a stereo card, ? What ?"},
      {Msg::kOpenDriver, "Impossible to open the audio-driver"},
      {Msg::kPrepareFailed, "Memory Error 2"},
      {Msg::kWriteFailed, "Memory Error 3"},
      {Msg::kNoPosition, "Impossible to read the position in the wave"},
      {Msg::kSetupRead, "Error reading the setup file"},
      {Msg::kSetupWrite, "Error writing the setup file"},
  };
  for (const auto& [msg, text] : messages) EXPECT_STREQ(MessageText(msg), text);
}

}  // namespace
}  // namespace mixorama::test
