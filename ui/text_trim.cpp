#include "ui/text_trim.h"

namespace mixorama {

bool IsTextSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& s) {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && IsTextSpace(s[first])) ++first;
  while (last > first && IsTextSpace(s[last - 1])) --last;
  return s.substr(first, last - first);
}

}  // namespace mixorama
