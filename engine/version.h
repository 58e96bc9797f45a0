/* The program's version, written once. The title ("Mixorama V\xB0" + the text), the version
   block of the resource script, the browser page (through the title it is sent) and the
   release packages (scripts/package.sh) all read it here. Plain preprocessor lines only: the
   resource compiler reads this file too. */
#pragma once

#define MIXORAMA_VERSION_TEXT "1.00"
/* The same version as numbers, for the version block's FILEVERSION and PRODUCTVERSION. */
#define MIXORAMA_VERSION_MAJOR 1
#define MIXORAMA_VERSION_MINOR 0
