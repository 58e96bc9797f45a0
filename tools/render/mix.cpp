// mixorama-render mix: the command lives with the render session so tests can run it.
#include <cstdio>

#include "tools/render/commands.h"
#include "ui/render_cli.h"

int RunMix(int argc, char** argv) {
  return mixorama::MixCommand(argc, argv, stderr);
}
