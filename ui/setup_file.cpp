#include "ui/setup_file.h"

#include <cstring>
#include <mutex>

#include "ui/text_file.h"
#include "ui/text_trim.h"

namespace mixorama {

namespace {

constexpr TextFileFormat kSetupFormat = {TextFile::kSetup, "MIXORAMA-SETUP", kSetupMajorVersion,
                                         kSetupMinorVersion, kSetupMaxBytes};

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The same character in a path, where letter case and separator kind do not matter.
bool SamePathChar(char a, char b) {
  if (IsSeparator(a) && IsSeparator(b)) return true;
  return LowerAscii(a) == LowerAscii(b);
}

// True when one of the path's segments is "." or "..": such a path may point elsewhere
// than its text suggests, so it is never shortened.
bool HasDotSegment(const std::string& path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return true;
    start = end + 1;
  }
  return false;
}

// The keys of one slot, in the order the writer puts them.
enum SlotKey { kPath, kLevel, kLocked, kMuted, kSlotKeyCount };
constexpr const char* kSlotKeyNames[kSlotKeyCount] = {"path", "level", "locked", "muted"};

// "slot3.level" -> slot 2, kLevel. Keys are read without regard to letter case.
bool ParseSlotKey(const std::string& lowerKey, int& slot, int& key) {
  if (lowerKey.size() < 7 || lowerKey.compare(0, 4, "slot") != 0) return false;
  const char digit = lowerKey[4];
  if (digit < '1' || digit > '0' + kChannelCount || lowerKey[5] != '.') return false;
  const std::string name = lowerKey.substr(6);
  for (int k = 0; k < kSlotKeyCount; ++k) {
    if (name == kSlotKeyNames[k]) {
      slot = digit - '1';
      key = k;
      return true;
    }
  }
  return false;
}

// Reads the entries of a setup file, one line at a time, into a SavedSetup.
class SetupReader {
 public:
  explicit SetupReader(const std::string& setupPath) : setupPath_(setupPath) {}

  // An entry line "key = value" (keys without regard to letter case).
  bool Entry(const std::string& line, bool laterMinor, LineFault& fault) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return Fail(fault, FileFault::kSetupNotKeyValue);
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    std::string lowerKey = key;
    for (char& c : lowerKey) c = LowerAscii(c);
    int slot = 0;
    int slotKey = 0;
    if (lowerKey == "rate") return Rate(value, fault);
    if (ParseSlotKey(lowerKey, slot, slotKey)) {
      if (seenSlotKey_[slot][slotKey]) return Fail(fault, FileFault::kSetupGivenTwice, Quoted(key));
      seenSlotKey_[slot][slotKey] = true;
      return SlotValue(parsed.slots[slot], slotKey, value, fault);
    }
    // Only a later version of the format may add keys; here it is a mistake worth showing.
    return laterMinor || Fail(fault, FileFault::kSetupUnknownKey, Quoted(key));
  }

  // The checks of the whole file, once every line is read.
  bool Complete(std::string& message) const {
    if (!seenRate_) {
      message = FileFaultText(TextFile::kSetup, FileFault::kSetupNoRate);
      return false;
    }
    for (int s = 0; s < kChannelCount; ++s) {
      if (parsed.slots[s].locked != 0 && parsed.slots[s].muted != 0) {
        message = TextWith(FileFaultText(TextFile::kSetup, FileFault::kSetupLockedAndMuted),
                           std::to_string(s + 1));
        return false;
      }
    }
    return true;
  }

  SavedSetup parsed;

 private:
  static bool Fail(LineFault& fault, FileFault what, const std::string& word = "") {
    fault = {what, word};
    return false;
  }

  bool Rate(const std::string& value, LineFault& fault) {
    if (seenRate_) return Fail(fault, FileFault::kSetupGivenTwice, Quoted("rate"));
    seenRate_ = true;
    int rate = 0;
    if (!ParseDigits(value, rate) || !IsOutputRate(rate)) {
      return Fail(fault, FileFault::kSetupBadRate);
    }
    parsed.outputRate = rate;
    return true;
  }

  bool SlotValue(SetupSlot& target, int slotKey, const std::string& value, LineFault& fault) {
    int number = 0;
    switch (slotKey) {
      case kPath:
        target.path = PathFromSetup(value, setupPath_);
        if (target.path.size() > static_cast<size_t>(kPathBytes - 1)) {
          return Fail(fault, FileFault::kSetupLongPath);
        }
        return true;
      case kLevel:
        if (!ParseDigits(value, number) || number < 1 || number > kUnityVolume) {
          return Fail(fault, FileFault::kSetupBadLevel);
        }
        target.level = number;
        return true;
      default:
        if (value != "0" && value != "1") {
          return Fail(fault, FileFault::kSetupNotAFlag, kSlotKeyNames[slotKey]);
        }
        (slotKey == kLocked ? target.locked : target.muted) = value == "1" ? 1 : 0;
        return true;
    }
  }

  const std::string& setupPath_;
  bool seenRate_ = false;
  bool seenSlotKey_[kChannelCount][kSlotKeyCount] = {};
};

}  // namespace

bool operator==(const SetupSlot& a, const SetupSlot& b) {
  return a.path == b.path && a.level == b.level && a.locked == b.locked && a.muted == b.muted;
}

bool operator==(const SavedSetup& a, const SavedSetup& b) {
  if (a.outputRate != b.outputRate) return false;
  for (int s = 0; s < kChannelCount; ++s) {
    if (!(a.slots[s] == b.slots[s])) return false;
  }
  return true;
}

bool IsAbsolutePath(const std::string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  if (path.size() >= 2 && path[1] == ':') {
    const char drive = LowerAscii(path[0]);
    return drive >= 'a' && drive <= 'z';
  }
  return false;
}

std::string InFolder(const std::string& folder, const std::string& path) {
  if (IsAbsolutePath(path) || folder.empty()) return path;
  const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
  return folder + (IsSeparator(folder.back()) ? "" : std::string(1, separator)) + path;
}

std::string FolderOf(const std::string& path) {
  const size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string PathForSetup(const std::string& wavePath, const std::string& setupPath) {
  const std::string folder = FolderOf(setupPath);
  if (folder.empty() || wavePath.size() <= folder.size()) return wavePath;
  for (size_t i = 0; i < folder.size(); ++i) {
    if (!SamePathChar(folder[i], wavePath[i])) return wavePath;
  }
  std::string rest = wavePath.substr(folder.size());
  if (IsSeparator(rest[0]) || HasDotSegment(rest)) return wavePath;
  // '/' works on every system the program or its tools run on, and needs no explaining.
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  return rest;
}

std::string PathFromSetup(const std::string& entry, const std::string& setupPath) {
  if (entry.empty() || IsAbsolutePath(entry)) return entry;
  const std::string folder = FolderOf(setupPath);
  if (folder.empty()) return entry;
  // Written in the separator of the setup's own folder, so the joined path reads as one.
  const char separator = folder.back();
  std::string joined = folder + entry;
  for (size_t i = folder.size(); i < joined.size(); ++i) {
    if (IsSeparator(joined[i])) joined[i] = separator;
  }
  return joined;
}

bool ParseSetup(const char* bytes, size_t size, const std::string& setupPath, SavedSetup& out,
                std::string& message) {
  SetupReader reader(setupPath);
  const EntryReader entry = [&reader](const std::string& line, bool laterMinor, LineFault& fault) {
    return reader.Entry(line, laterMinor, fault);
  };
  if (!ReadTextFile(bytes, size, kSetupFormat, entry, message) || !reader.Complete(message)) {
    return false;
  }
  out = reader.parsed;
  return true;
}

std::string WriteSetup(const SavedSetup& setup, const std::string& setupPath) {
  std::string text;
  auto line = [&text](const std::string& s) { text += s + "\r\n"; };
  line(TextFileHeader(kSetupFormat));
  line("# Mixorama setup: output rate, then each slot's wave, level (1 to 350),");
  line("# locked and muted (0 or 1). A path that starts with neither a drive nor a");
  line("# separator is relative to the folder of this file.");
  line("rate = " + std::to_string(setup.outputRate));
  for (int s = 0; s < kChannelCount; ++s) {
    const SetupSlot& slot = setup.slots[s];
    const std::string prefix = "slot" + std::to_string(s + 1) + ".";
    line("");
    const std::string entry = PathForSetup(slot.path, setupPath);
    line(prefix + "path =" + (entry.empty() ? "" : " " + entry));
    line(prefix + "level = " + std::to_string(slot.level));
    line(prefix + "locked = " + std::to_string(slot.locked));
    line(prefix + "muted = " + std::to_string(slot.muted));
  }
  line("");
  line("end");
  return text;
}

}  // namespace mixorama
