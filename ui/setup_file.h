// Setup files: a saved session (output rate, and per slot the wave, its level, lock and mute)
// as a small versioned text file that people can read, edit and share. The format is
// documented in docs/setup-files.md; in short:
//
//   MIXORAMA-SETUP 1.0
//   rate = 22050
//   slot1.path = drums/kick.wav
//   slot1.level = 240
//   slot1.locked = 1
//   slot1.muted = 0
//   end
//
// The first line names the format and its version (major.minor). A file of a higher major
// version is refused; a file of a higher minor version of the same major may carry keys this
// version does not know, and they are ignored. In a file of this version an unknown key is an
// error, so a mistyped key is reported rather than silently dropped. Keys may come in any
// order, each at most once; `rate` and the closing `end` line are required, every slot key is
// optional (a slot without a path stays empty). Lines are "key = value"; blank lines and lines
// starting with '#' are ignored; CR LF and LF line ends are both read.
//
// Wave paths are stored relative to the setup file's folder when the wave lies in that folder
// or below it, so that a folder of loops with its setup can be moved or shared; otherwise they
// are stored as given. '\' and '/' are both accepted as separators when reading.
//
// Everything here is portable plain computation over byte buffers: no file is opened, no
// message is shown. The Windows commands read and write the bytes; tests and the fuzzer feed
// memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/mixer.h"

namespace mixorama {

inline constexpr int kSetupMajorVersion = 1;
inline constexpr int kSetupMinorVersion = 0;
// A setup of eight slots with the longest paths is under 3 KB; anything much larger is not one.
inline constexpr size_t kSetupMaxBytes = 64 * 1024;

struct SetupSlot {
  std::string path;    // the wave; empty for an empty slot. At most 259 characters.
  int32_t level = 1;   // target volume, 1..350 (350 is unity)
  int32_t locked = 0;  // 0 or 1
  int32_t muted = 0;   // 0 or 1
};

struct SavedSetup {
  int32_t outputRate = kInitialOutputRate;  // 11025, 22050 or 44100
  SetupSlot slots[kChannelCount];
};

bool operator==(const SetupSlot& a, const SetupSlot& b);
bool operator==(const SavedSetup& a, const SavedSetup& b);

// True for a path that does not depend on a current folder: "C:\x", "C:/x", "\x", "/x" and
// "\\server\share\x". A drive-relative "C:x" counts as absolute too (it is kept as written).
bool IsAbsolutePath(const std::string& path);

// path made absolute against folder when it is relative and folder is not empty, joined with
// the separator kind folder uses; path unchanged otherwise.
std::string InFolder(const std::string& folder, const std::string& path);

// The folder part of path including its last separator ("C:\A\set.st" -> "C:\A\"); empty
// when path has no separator.
std::string FolderOf(const std::string& path);

// How wavePath is written in a setup file saved as setupPath: relative (with '/' separators)
// when wavePath lies in setupPath's folder or below it, compared without regard to letter case
// or separator kind; wavePath unchanged otherwise. Both paths should be absolute.
std::string PathForSetup(const std::string& wavePath, const std::string& setupPath);

// The path a setup file's entry stands for: an absolute entry unchanged, a relative one joined
// to the folder of setupPath.
std::string PathFromSetup(const std::string& entry, const std::string& setupPath);

// Reads a setup file's bytes. On success fills out (wave paths already resolved against the
// folder of setupPath) and returns true. On any fault returns false with out untouched and
// message holding the one text to show the user, e.g. "Setup file error, line 4 : the level
// must be a whole number from 1 to 350". Every check is made before it returns: a true result
// means the whole file was valid.
bool ParseSetup(const char* bytes, size_t size, const std::string& setupPath, SavedSetup& out,
                std::string& message);

// The bytes of a setup file of the current version for setup, to be saved as setupPath (wave
// paths made relative where they lie below its folder). Lines end in CR LF.
std::string WriteSetup(const SavedSetup& setup, const std::string& setupPath);

}  // namespace mixorama
