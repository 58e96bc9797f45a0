// The rules every versioned text file of the program keeps (setup files, MIDI maps), written
// once. Such a file is single-byte text of at most maxBytes, perhaps after a UTF-8 byte-order
// mark, in lines ending in LF or CR LF:
//
//   MAGIC major[.minor]        the first line: the kind of file and its version
//   entry                      one entry a line, read by the file's own reader
//   # a comment                blank lines and comments anywhere after the first line
//   end                        the last entry line; only blanks and comments may follow
//
// It is read strictly: the first fault ends the reading with one message (its texts are the
// engine's, engine/texts.h), and a file of a higher major version is refused. A later minor
// version may add entries; the file's reader is told so, to skip what it does not know.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "engine/texts.h"

namespace mixorama {

struct TextFileFormat {
  TextFile file;      // whose texts the messages use
  const char* magic;  // the first line's word, e.g. "MIXORAMA-SETUP"
  int majorVersion;   // of the files this program writes
  int minorVersion;
  size_t maxBytes;  // a larger file is not of this kind
};

// A fault of one entry line, as an entry reader reports it: word replaces the text's "%s".
struct LineFault {
  FileFault fault = FileFault::kNotAFile;
  std::string word;
};

// Reads an entry: its line's text (trimmed, never blank, a comment or "end") and whether the
// file is of a later minor version than the format's. False with fault set to refuse the file.
using EntryReader = std::function<bool(const std::string& text, bool laterMinor, LineFault& fault)>;

// Reads bytes as a file of format, calling entry for each entry line in order. True when the
// whole file is well formed and every entry was accepted; otherwise false with message
// holding the one text to show.
bool ReadTextFile(const char* bytes, size_t size, const TextFileFormat& format,
                  const EntryReader& entry, std::string& message);

// The first line of a file of format at its version, without a line end.
std::string TextFileHeader(const TextFileFormat& format);

// A whole number written as 1 to 6 decimal digits and nothing else (no sign, no blank), as the
// files' numbers are.
bool ParseDigits(const std::string& text, int& value);

// A word as a message quotes it: in single quotes, cut to 40 characters and "..." if longer.
std::string Quoted(const std::string& word);

}  // namespace mixorama
