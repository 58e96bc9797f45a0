// mixorama-render: the mixing engine on a virtual device, from the command line.
#include <cstdio>
#include <cstring>

#include "tools/render/commands.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) return RunConvert(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "mix") == 0) return RunMix(argc - 1, argv + 1);
  std::fprintf(
      stderr,
      "usage: mixorama-render convert --rate R IN.wav OUT.wav\n"
      "       mixorama-render mix --rate R [--live] [--slot N FILE]... [--script FILE] --ms T "
      "OUT.wav\n");
  return 2;
}
