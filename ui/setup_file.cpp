#include "ui/setup_file.h"

#include <cstring>
#include <mutex>

#include "ui/text_trim.h"

namespace mixorama {

namespace {

constexpr char kMagic[] = "MIXORAMA-SETUP";
constexpr char kNotASetup[] = "This is not a Mixorama setup file";

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
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

// A decimal number of 1 to 6 digits and nothing else (no sign, no blank inside).
bool ParseSmallNumber(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > 6) return false;
  int32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
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

std::string LineError(int line, const std::string& reason) {
  return "Setup file error, line " + std::to_string(line) + " : " + reason;
}

// A key as it may appear in a message: printable and short.
std::string Quoted(const std::string& key) {
  std::string shown = key.size() > 40 ? key.substr(0, 40) + "..." : key;
  return "'" + shown + "'";
}

// Reads "MIXORAMA-SETUP major[.minor]". Returns false (with message) when the line is not
// a header this program can read.
bool ParseHeader(const std::string& line, int& minor, std::string& message) {
  const size_t magicLength = sizeof kMagic - 1;
  if (line.compare(0, magicLength, kMagic) != 0 || line.size() == magicLength ||
      !IsBlank(line[magicLength])) {
    message = kNotASetup;
    return false;
  }
  const std::string version = Trim(line.substr(magicLength));
  const size_t dot = version.find('.');
  int32_t major = 0;
  int32_t minorValue = 0;
  const bool majorOk = ParseSmallNumber(version.substr(0, dot), major);
  const bool minorOk =
      dot == std::string::npos || ParseSmallNumber(version.substr(dot + 1), minorValue);
  if (!majorOk || !minorOk || major == 0) {
    message = LineError(1, "unknown version " + Quoted(version));
    return false;
  }
  if (major > kSetupMajorVersion) {
    message = "This setup file needs a newer version of Mixorama";
    return false;
  }
  minor = minorValue;
  return true;
}

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
  if (size == 0) {
    message = "The setup file is empty";
    return false;
  }
  if (size > kSetupMaxBytes) {
    message = kNotASetup;
    return false;
  }
  size_t pos = 0;
  // A byte-order mark, as some editors write it in front of the text.
  if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) pos = 3;

  SavedSetup parsed;
  bool seenRate = false;
  bool seenSlotKey[kChannelCount][kSlotKeyCount] = {};
  bool seenEnd = false;
  int minor = 0;

  for (int lineNumber = 1; pos < size; ++lineNumber) {
    size_t end = pos;
    while (end < size && bytes[end] != '\n') ++end;
    std::string raw(bytes + pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();

    for (char c : raw) {
      const unsigned char u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7F) {
        message = lineNumber == 1 ? std::string(kNotASetup)
                                  : LineError(lineNumber, "the line holds a control character");
        return false;
      }
    }

    if (lineNumber == 1) {
      if (!ParseHeader(raw, minor, message)) return false;
      continue;
    }

    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (seenEnd) {
      message = LineError(lineNumber, "text after the end line");
      return false;
    }
    if (line == "end") {
      seenEnd = true;
      continue;
    }

    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      message = LineError(lineNumber, "a line must read key = value");
      return false;
    }
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    std::string lowerKey = key;
    for (char& c : lowerKey) c = LowerAscii(c);

    int slot = 0;
    int slotKey = 0;
    if (lowerKey == "rate") {
      if (seenRate) {
        message = LineError(lineNumber, "'rate' is given twice");
        return false;
      }
      seenRate = true;
      int32_t rate = 0;
      if (!ParseSmallNumber(value, rate) || !IsOutputRate(rate)) {
        message = LineError(lineNumber, "the rate must be 11025, 22050 or 44100");
        return false;
      }
      parsed.outputRate = rate;
    } else if (ParseSlotKey(lowerKey, slot, slotKey)) {
      if (seenSlotKey[slot][slotKey]) {
        message = LineError(lineNumber, Quoted(key) + " is given twice");
        return false;
      }
      seenSlotKey[slot][slotKey] = true;
      SetupSlot& target = parsed.slots[slot];
      int32_t number = 0;
      switch (slotKey) {
        case kPath:
          target.path = PathFromSetup(value, setupPath);
          if (target.path.size() > static_cast<size_t>(kPathBytes - 1)) {
            message = LineError(lineNumber, "the path is longer than 259 characters");
            return false;
          }
          break;
        case kLevel:
          if (!ParseSmallNumber(value, number) || number < 1 || number > kUnityVolume) {
            message = LineError(lineNumber, "the level must be a whole number from 1 to 350");
            return false;
          }
          target.level = number;
          break;
        default:
          if (value != "0" && value != "1") {
            message =
                LineError(lineNumber, std::string(kSlotKeyNames[slotKey]) + " must be 0 or 1");
            return false;
          }
          (slotKey == kLocked ? target.locked : target.muted) = value == "1" ? 1 : 0;
          break;
      }
    } else if (minor <= kSetupMinorVersion) {
      // Only a later version of the format may add keys; here it is a mistake worth showing.
      message = LineError(lineNumber, "unknown key " + Quoted(key));
      return false;
    }
  }

  if (!seenEnd) {
    message = "The setup file is incomplete: its end line is missing";
    return false;
  }
  if (!seenRate) {
    message = "The setup file gives no rate";
    return false;
  }
  for (int s = 0; s < kChannelCount; ++s) {
    if (parsed.slots[s].locked != 0 && parsed.slots[s].muted != 0) {
      message =
          "Setup file error : slot " + std::to_string(s + 1) + " cannot be both locked and muted";
      return false;
    }
  }
  out = parsed;
  return true;
}

std::string WriteSetup(const SavedSetup& setup, const std::string& setupPath) {
  std::string text;
  auto line = [&text](const std::string& s) { text += s + "\r\n"; };
  line(std::string(kMagic) + " " + std::to_string(kSetupMajorVersion) + "." +
       std::to_string(kSetupMinorVersion));
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

SavedSetup CaptureSetup(Mixer& m, const std::string& baseFolder) {
  SavedSetup setup;
  setup.outputRate = m.outputRate;
  int32_t targets[kChannelCount];
  bool loaded[kChannelCount];
  {
    std::lock_guard<std::mutex> hold(m.lock);
    for (int s = 0; s < kChannelCount; ++s) {
      targets[s] = m.targetVolume[s];
      loaded[s] = m.sampleMemory[s] != nullptr;
    }
  }
  for (int s = 0; s < kChannelCount; ++s) {
    if (!loaded[s]) continue;  // saved as an empty slot with the start values
    SetupSlot& slot = setup.slots[s];
    slot.path = m.slotName[s];
    if (!IsAbsolutePath(slot.path) && !baseFolder.empty()) {
      const bool hasSeparator = IsSeparator(baseFolder.back());
      const char separator = baseFolder.find('\\') != std::string::npos ? '\\' : '/';
      slot.path = baseFolder + (hasSeparator ? "" : std::string(1, separator)) + slot.path;
    }
    slot.level = targets[s];
    slot.locked = m.locked[s];
    slot.muted = m.muted[s];
  }
  return setup;
}

}  // namespace mixorama
