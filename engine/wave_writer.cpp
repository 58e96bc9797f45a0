#include "engine/wave_writer.h"

#include "engine/byte_reader.h"

namespace mixorama {

namespace {

void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::vector<uint8_t> WaveHeader(int32_t rate, uint32_t dataBytes, uint16_t channels,
                                uint16_t bits) {
  std::vector<uint8_t> h;
  h.reserve(kWaveHeaderBytes);
  PutTag(h, "RIFF");
  PutLe32(h, 36u + dataBytes + (dataBytes & 1u));
  PutTag(h, "WAVE");
  PutTag(h, "fmt ");
  PutLe32(h, 16);
  PutLe16(h, 1);  // PCM
  PutLe16(h, channels);
  PutLe32(h, static_cast<uint32_t>(rate));
  PutLe32(h, static_cast<uint32_t>(rate) * channels * bits / 8u);
  PutLe16(h, channels * bits / 8u);
  PutLe16(h, bits);
  PutTag(h, "data");
  PutLe32(h, dataBytes);
  return h;
}

std::vector<uint8_t> WaveFile(int32_t rate, const std::vector<uint8_t>& samples, uint16_t channels,
                              uint16_t bits) {
  std::vector<uint8_t> file =
      WaveHeader(rate, static_cast<uint32_t>(samples.size()), channels, bits);
  file.insert(file.end(), samples.begin(), samples.end());
  if (samples.size() % 2 == 1) file.push_back(0);  // chunks are padded to an even size
  return file;
}

}  // namespace mixorama
