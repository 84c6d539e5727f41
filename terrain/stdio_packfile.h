// A packfile over a stdio stream. The library's own file packfiles hand a
// large pack_fread over byte by byte; this one passes it to fread whole, so
// that the big grids are read as fast as the system delivers them.
#pragma once

#include <allegro.h>
#include <cstdio>

// mode as for fopen ("rb", "wb"); nullptr when the file cannot be opened.
// Closed with pack_fclose like any packfile.
PACKFILE *open_stdio_packfile(const char *path, const char *mode);

// The stream under a packfile made by open_stdio_packfile, nullptr for any
// other packfile: for readers that fetch parts of the file at known
// offsets (pread on its descriptor) apart from the packfile's position.
FILE *stdio_packfile_stream(PACKFILE *pack);
