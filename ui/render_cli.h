// The "mix" command of mixorama-render:
//
//   mix --rate R [--slot N FILE]... [--script FILE] --ms T OUT.wav
//
// Plays the engine on the virtual device with a scripted performance and writes what the
// device played as a canonical wave file (PCM, 2 channels, 16 bits, rate R) of exactly
// floor(T * R / 1000) frames. Slots are 1 to 8 and are loaded in slot order; R is 11025, 22050
// or 44100. Messages the program would show go to err, one line each, and the render goes on.
#pragma once

#include <cstdio>

namespace mixorama {

// argv[0] is "mix". Returns 0 when the file is written, 1 when it could not be written (the
// partial file is removed), 2 on bad usage or a bad script line: a message naming the
// option or the script line goes to err and no file is created.
int MixCommand(int argc, char** argv, std::FILE* err);

}  // namespace mixorama
