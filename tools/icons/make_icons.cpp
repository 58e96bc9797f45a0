// Writes the program's two icons as .ico files.
//
// Usage: make_icons MIX_ICON_FILE LOOP_ICON_FILE   (icon groups 980 and 981)
// Exit status 0 when both files were written, 1 otherwise.
#include <cstdio>
#include <vector>

#include "tools/icons/icons.h"
#include "tools/write_file.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icons MIX_ICON_FILE LOOP_ICON_FILE\n");
    return 1;
  }
  if (!tools::WriteFile(argv[1], icons::EncodeIco(icons::MakeMixIcon()))) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", argv[1]);
    return 1;
  }
  if (!tools::WriteFile(argv[2], icons::EncodeIco(icons::MakeLoopIcon()))) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
