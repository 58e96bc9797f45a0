// The files the page hands to the engine (the demo set, waves the user picked or dropped,
// the waves of a setup file), kept in memory by name. The loader opens them by path through
// the C library's fopen, which in the browser build finds them here: a path names the file
// whose name equals its last component, without regard to letter case (a setup file's
// "drums/kick.wav" finds the "KICK.WAV" given with it).
#pragma once

#include <cstdint>
#include <string>

namespace mixorama {

// Keeps a file of size bytes under name, replacing one of the same name; returns where its
// bytes go (zero-filled until the caller writes them).
uint8_t* PutPageFile(const std::string& name, uint32_t size);

}  // namespace mixorama
