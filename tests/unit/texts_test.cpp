// The messages of the information box that no other test spells out, written as the user must
// read them: the loader's are its corpus's, the setup files' and MIDI maps' their parsers'.
#include "engine/texts.h"

#include "unit/support.h"

namespace mixorama::test {
namespace {

TEST(Texts, TheEngineAndSetupMessagesReadAsWritten) {
  const std::pair<Msg, const char*> messages[] = {
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
