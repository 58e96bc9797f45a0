// Writes the start-up set of drum loops into the folder named on the command line, each file
// under its slot's start-up name, then an empty stamp file: the build's sign that the set is
// complete (the names are the engine's, so the build does not list them).
//
// Usage: make_demo_set OUTPUT_DIR STAMP
// Exit status 0 when all seven files and the stamp were written, 1 otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/demo_set/demo_synth.h"
#include "tools/write_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_demo_set OUTPUT_DIR STAMP\n");
    return 1;
  }
  const std::string dir = argv[1];
  for (const demo::DemoFile& file : demo::DemoFiles()) {
    const std::string path = dir + "/" + mixorama::kStartupSet[file.slot];
    if (!tools::WriteFile(path.c_str(), demo::MakeDemoWave(file))) {
      std::fprintf(stderr, "make_demo_set: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  if (!tools::WriteFile(argv[2], {})) {
    std::fprintf(stderr, "make_demo_set: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
