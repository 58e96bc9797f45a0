// Every fixed text the program shows, in one table: the engine's messages (by name, so a
// failure is reported as the message it shows), the panel's captions, questions and Help, and
// the rule that makes a slot's label from its name. The engine, the Windows panel, the
// browser page (through the wasm interface) and the tests all read them from here.
//
// Texts are single-byte ANSI (code page 1252) and must stay byte for byte as they are.
#pragma once

#include <string>

#include "engine/mixer.h"

namespace mixorama {

// The information-box messages of the engine and the panel. kNone names no failure.
enum class Msg {
  kNone,
  // Loading a wave.
  kMemoryProblem,  // the load record cannot be had
  kOpenFile,       // the file cannot be opened
  kNoRiffWave,     // no RIFF chunk of form type WAVE
  kNoFmt,          // no fmt chunk inside it
  kFmtShort,       // the fmt chunk cannot be read
  kNotPcm,         // format tag other than 1
  kNoData,         // no data chunk after the fmt chunk
  kEmptyData,      // a data chunk of 0 bytes
  kDataShort,      // the data chunk claims more bytes than the file holds, or a read fails
  kRawMemory,      // no block for the raw data
  kNoSampleRate,   // sample rate 0: no ratio can be formed
  kTooShort,       // converts to less than one frame
  kSampleMemory,   // no block for the converted frames
  // The output device and the tick.
  kNoRing,         // no block for the output ring
  kNoAudioCard,    // no wave-output device
  kBadCardFormat,  // no device has the 11.025 kHz mono 8-bit format
  kMonoCard,       // the card reports one channel (a warning; the init goes on)
  kOpenDriver,     // the device does not open
  kPrepareFailed,  // the loop buffer is not prepared
  kWriteFailed,    // the loop buffer is not started
  kNoPosition,     // the position query failed: playback stops
  // Setup files.
  kSetupRead,   // a setup file cannot be read
  kSetupWrite,  // a setup file cannot be written
};

// The words of a message ("" for kNone).
const char* MessageText(Msg msg);

// Shows a message in the information box (InfoBox's rules: any thread, no lock held).
void InfoBox(Mixer& m, Msg msg);

// The versioned text files the program reads back (ui/text_file.h): setup files and MIDI
// maps. A fault of the whole file is shown alone; a fault of one line after the file's line
// error text, the line's number and " : " ("Setup file error, line 4 : the level must be a
// whole number from 1 to 350"). "%s" stands for the word at fault, given as shown.
enum class TextFile { kSetup, kMidiMap };
enum class FileFault {
  // Every such file; the texts name the file.
  kEmpty,             // whole file: 0 bytes
  kNotAFile,          // whole file: not this kind of file (first line, size)
  kNewerVersion,      // whole file: a higher major version
  kNoEnd,             // whole file: the end line is missing
  kBadVersion,        // line 1: the version cannot be read (%s: the version, quoted)
  kControlCharacter,  // a control character in the line
  kAfterEnd,          // text after the end line
  // Setup files.
  kSetupNotKeyValue,     // not "key = value"
  kSetupGivenTwice,      // %s: the key, quoted
  kSetupBadRate,         // not one of the output rates
  kSetupLongPath,        // a path of more than 259 characters
  kSetupBadLevel,        // not 1..350
  kSetupNotAFlag,        // %s: locked or muted
  kSetupUnknownKey,      // %s: the key, quoted
  kSetupNoRate,          // whole file: no rate line
  kSetupLockedAndMuted,  // whole file: %s: the slot number
  // MIDI maps.
  kMapNotABinding,  // not "channel kind number = action"
  kMapBadChannel,   // not 1..16 or any
  kMapBadKind,      // %s: the kind, quoted
  kMapBadNumber,    // not 0..127
  kMapBadAction,    // %s: the action, quoted
  kMapBadSlot,      // not 1..8
  kMapBoundTwice,   // the same channel, kind and number on two lines
};

// The words of a fault in a file of that kind.
const char* FileFaultText(TextFile file, FileFault fault);
// What comes before the line's number in a fault of one line.
const char* FileLineErrorText(TextFile file);
// text with its "%s" (if any) replaced by word.
std::string TextWith(const char* text, const std::string& word);

// The name of a setup file where the program names one itself: the browser page's download.
inline constexpr char kSetupFileName[] = "MIXORAMA.ST";

// The MIDI map the Windows program reads at start from its own folder.
inline constexpr char kMidiMapFileName[] = "MIXORAMA.MAP";

// The play button's two captions (control 189).
inline constexpr char kPlayCaption[] = "Press here to play";
inline constexpr char kCutSoundCaption[] = "Press here to cut sound";

// The quit confirmation, with the program title as caption.
inline constexpr char kQuitQuestion[] = "Quit ?";

// The Frequency question, asked with an empty caption.
inline constexpr char kRateQuestion[] =
    "All the waves will be unloaded\nbefore changing frequency.\nWarning : if the frequency is "
    "too high,\nand your computer too slow,\nMixorama may hang ! Continue ?";

// The two Help boxes (caption kHelpCaption): each text followed by kHelpClosing.
inline constexpr char kHelpCaption[] = "Help";
inline constexpr char kHelpFirst[] =
    "Load the waves.\n(even with different frequencies)\nMove the mouse in the blue "
    "rectangle,\nfor live mixing.\nPress the left button to lock and \nunlock the current "
    "volume of a wave.\nPress the right button\nto mute and unmute a wave.\nIf you press  the "
    "key # before\ndoing this, the wave # will be modified,\notherwise the nearest wave will be "
    "modified.\n";
inline constexpr char kHelpSecond[] =
    "The demo program uses Mixorama as a rythm mixer,\nbut you can use it in other "
    "ways.\nThe waves can have any length,\nany sampling frequencies,\nstereo or mono.....\n";
inline constexpr char kHelpClosing[] =
    "To get the most recent version :\n"
    "ask the Mixorama project for its latest release.\n"
    "Suggestions are welcome.";

// The browser page's own controls, which the Windows panel does not have: the timing switch
// (pressed: the live timing; released: the program's) with its hint, and the latency shown
// beside it, "%d" standing for the whole milliseconds.
inline constexpr char kLiveCaption[] = "Live";
inline constexpr char kLiveHint[] =
    "Pressed: the sound follows your hand at once. Released: the program's own timing, "
    "a quarter of a second later.";
inline constexpr char kLatencyCaption[] = "Latency %d ms";
inline constexpr char kLatencyHint[] =
    "From a move to its sound: the engine's output ring and the browser's audio output";

// The page's MIDI control (Web MIDI) and its box: the caption and hint; what the box says when
// the browser has no Web MIDI, when access was refused, when no input is connected, or above
// the inputs; learn ("%s" standing for the action, as the MIDI map file writes it), remove, and
// the MIDI map file's download and load.
inline constexpr char kMidiCaption[] = "MIDI";
inline constexpr char kMidiHint[] = "Play with a MIDI controller: its inputs, learn, the mapping";
inline constexpr char kMidiUnavailable[] =
    "This browser has no Web MIDI. Everything else works: play with the mouse, the keys or "
    "touch.";
inline constexpr char kMidiRefused[] =
    "MIDI access was refused. Allow MIDI for this page in the browser's site settings, then "
    "press MIDI again.";
inline constexpr char kMidiNoInput[] = "No MIDI input is connected: plug a controller in.";
inline constexpr char kMidiInputs[] = "MIDI inputs:";
inline constexpr char kMidiLearn[] = "Learn";
inline constexpr char kMidiLearning[] = "Move a control to bind it to %s";
inline constexpr char kMidiRemove[] = "Remove";
inline constexpr char kMidiDownload[] = "Download the map";
inline constexpr char kMidiLoad[] = "Load a map";
inline constexpr char kMidiClose[] = "Close";

// The label text for a slot name that is already upper case: the file part without its last
// three characters ("BD7525.WAV" -> "BD7525."); empty below 4 characters.
void SlotLabelText(const char* slotName, char (&label)[kPathBytes]);

}  // namespace mixorama
