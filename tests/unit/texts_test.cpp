// Every message the program can show, written out as the user must read it.
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

  // The faults of the files read back: {fault, setup file's text, MIDI map's text}.
  const struct {
    FileFault fault;
    const char* setup;
    const char* map;
  } faults[] = {
      {FileFault::kEmpty, "The setup file is empty", "The MIDI map is empty"},
      {FileFault::kNotAFile, "This is not a Mixorama setup file",
       "This is not a Mixorama MIDI map"},
      {FileFault::kNewerVersion, "This setup file needs a newer version of Mixorama",
       "This MIDI map needs a newer version of Mixorama"},
      {FileFault::kNoEnd, "The setup file is incomplete: its end line is missing",
       "The MIDI map is incomplete: its end line is missing"},
      {FileFault::kBadVersion, "unknown version %s", nullptr},
      {FileFault::kControlCharacter, "the line holds a control character", nullptr},
      {FileFault::kAfterEnd, "text after the end line", nullptr},
      {FileFault::kSetupNotKeyValue, "a line must read key = value", nullptr},
      {FileFault::kSetupGivenTwice, "%s is given twice", nullptr},
      {FileFault::kSetupBadRate, "the rate must be 11025, 22050 or 44100", nullptr},
      {FileFault::kSetupLongPath, "the path is longer than 259 characters", nullptr},
      {FileFault::kSetupBadLevel, "the level must be a whole number from 1 to 350", nullptr},
      {FileFault::kSetupNotAFlag, "%s must be 0 or 1", nullptr},
      {FileFault::kSetupUnknownKey, "unknown key %s", nullptr},
      {FileFault::kSetupNoRate, "The setup file gives no rate", nullptr},
      {FileFault::kSetupLockedAndMuted,
       "Setup file error : slot %s cannot be both locked and muted", nullptr},
      {FileFault::kMapNotABinding, "a line must read: channel kind number = action", nullptr},
      {FileFault::kMapBadChannel, "the channel must be 1 to 16 or any", nullptr},
      {FileFault::kMapBadKind, "unknown kind %s", nullptr},
      {FileFault::kMapBadNumber, "the number must be 0 to 127", nullptr},
      {FileFault::kMapBadAction, "unknown action %s", nullptr},
      {FileFault::kMapBadSlot, "slots are 1 to 8", nullptr},
      {FileFault::kMapBoundTwice, "this control is bound twice", nullptr},
  };
  for (const auto& f : faults) {
    EXPECT_STREQ(FileFaultText(TextFile::kSetup, f.fault), f.setup);
    EXPECT_STREQ(FileFaultText(TextFile::kMidiMap, f.fault), f.map ? f.map : f.setup);
  }
  EXPECT_STREQ(FileLineErrorText(TextFile::kSetup), "Setup file error, line ");
  EXPECT_STREQ(FileLineErrorText(TextFile::kMidiMap), "MIDI map error, line ");
}

}  // namespace
}  // namespace mixorama::test
