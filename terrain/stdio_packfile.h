// A packfile over a stdio stream. The library's own file packfiles hand a
// large pack_fread over byte by byte; this one passes it to fread whole, so
// that the big grids are read as fast as the system delivers them.
#pragma once

#include <allegro.h>

// mode as for fopen ("rb", "wb"); nullptr when the file cannot be opened.
// Closed with pack_fclose like any packfile.
PACKFILE *open_stdio_packfile(const char *path, const char *mode);
