#include "ui/text_file.h"

#include <cstring>

#include "ui/text_trim.h"

namespace mixorama {

namespace {

bool HasControlCharacter(const std::string& line) {
  for (char c : line) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\t') || u == 0x7F) return true;
  }
  return false;
}

// Reads "MAGIC major[.minor]". False with fault set when this program cannot read the file.
bool ReadHeader(const std::string& line, const TextFileFormat& format, int& minor,
                LineFault& fault) {
  const size_t magicLength = std::strlen(format.magic);
  if (line.compare(0, magicLength, format.magic) != 0 || line.size() == magicLength ||
      !IsTextSpace(line[magicLength])) {
    fault = {FileFault::kNotAFile, ""};
    return false;
  }
  const std::string version = Trim(line.substr(magicLength));
  const size_t dot = version.find('.');
  int major = 0;
  minor = 0;
  if (!ParseDigits(version.substr(0, dot), major) || major == 0 ||
      (dot != std::string::npos && !ParseDigits(version.substr(dot + 1), minor))) {
    fault = {FileFault::kBadVersion, Quoted(version)};
    return false;
  }
  if (major > format.majorVersion) {
    fault = {FileFault::kNewerVersion, ""};
    return false;
  }
  return true;
}

}  // namespace

bool ParseDigits(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

std::string Quoted(const std::string& word) {
  return "'" + (word.size() > 40 ? word.substr(0, 40) + "..." : word) + "'";
}

std::string TextFileHeader(const TextFileFormat& format) {
  return std::string(format.magic) + " " + std::to_string(format.majorVersion) + "." +
         std::to_string(format.minorVersion);
}

bool ReadTextFile(const char* bytes, size_t size, const TextFileFormat& format,
                  const EntryReader& entry, std::string& message) {
  LineFault fault;
  int faultLine = 0;  // 0: a fault of the whole file
  const auto refuse = [&]() {
    const char* text = FileFaultText(format.file, fault.fault);
    message = TextWith(text, fault.word);
    if (faultLine > 0) {
      message = FileLineErrorText(format.file) + std::to_string(faultLine) + " : " + message;
    }
    return false;
  };
  if (size == 0 || size > format.maxBytes) {
    fault = {size == 0 ? FileFault::kEmpty : FileFault::kNotAFile, ""};
    return refuse();
  }
  size_t pos = 0;
  // A byte-order mark, as some editors write it in front of the text.
  if (size >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) pos = 3;
  bool seenEnd = false;
  int minor = 0;
  for (int lineNumber = 1; pos < size; ++lineNumber) {
    size_t end = pos;
    while (end < size && bytes[end] != '\n') ++end;
    std::string raw(bytes + pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    faultLine = lineNumber;
    if (HasControlCharacter(raw)) {
      // On the first line it is no text file of ours at all.
      if (lineNumber == 1) faultLine = 0;
      fault = {lineNumber == 1 ? FileFault::kNotAFile : FileFault::kControlCharacter, ""};
      return refuse();
    }
    if (lineNumber == 1) {
      if (!ReadHeader(raw, format, minor, fault)) {
        if (fault.fault != FileFault::kBadVersion) faultLine = 0;
        return refuse();
      }
      continue;
    }
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (seenEnd) {
      fault = {FileFault::kAfterEnd, ""};
      return refuse();
    }
    if (line == "end") {
      seenEnd = true;
      continue;
    }
    if (!entry(line, minor > format.minorVersion, fault)) return refuse();
  }
  if (!seenEnd) {
    faultLine = 0;
    fault = {FileFault::kNoEnd, ""};
    return refuse();
  }
  return true;
}

}  // namespace mixorama
