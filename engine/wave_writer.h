// Writing canonical PCM wave files in memory: what mixorama-render and the browser edition
// save, the demo set, and the unit tests' input files. Every field is little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mixorama {

inline constexpr size_t kWaveHeaderBytes = 44;

// The header of a canonical PCM wave file: a "RIFF" chunk of form "WAVE" holding a 16-byte
// "fmt " chunk (format 1, channels, rate in frames a second, rate * channels * bits / 8 bytes
// a second, channels * bits / 8 bytes a frame, bits per sample) and the header of a "data"
// chunk of dataBytes. The RIFF size counts the pad byte that follows odd data. The defaults are
// the device's format: 2 channels of 16 bits.
std::vector<uint8_t> WaveHeader(int32_t rate, uint32_t dataBytes, uint16_t channels = 2,
                                uint16_t bits = 16);

// A whole file: the header, the samples as given, and a zero pad byte when their count is odd.
std::vector<uint8_t> WaveFile(int32_t rate, const std::vector<uint8_t>& samples,
                              uint16_t channels = 2, uint16_t bits = 16);

}  // namespace mixorama
