// Cutting white space off the ends of text read from a file: the setup file's lines, keys and
// values, and the words of a render script.
#pragma once

#include <string>

namespace mixorama {

// True for the white space Trim cuts: space, tab, line feed, vertical tab, form feed and
// carriage return (what std::isspace accepts in the C locale, which the program never leaves).
bool IsTextSpace(char c);

// s without its leading and trailing white space.
std::string Trim(const std::string& s);

}  // namespace mixorama
