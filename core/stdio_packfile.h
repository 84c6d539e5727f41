// A packfile over a stdio stream. The library's own file packfiles hand a
// large pack_fread over byte by byte; this one passes it to fread whole, so
// that the big grids are read as fast as the system delivers them.
#pragma once

#include <allegro.h>
#include <cstdio>
#include <sys/stat.h>

// mode as for fopen ("rb", "wb"); nullptr when the file cannot be opened.
// For reading, only a regular file opens (see regular_file.h); info then
// receives its status. Closed with pack_fclose like any packfile.
PACKFILE *open_stdio_packfile(const char *path, const char *mode, struct stat *info = nullptr);

// A packfile over an open descriptor, which it owns from then on: it is
// closed with the packfile, or at once when no packfile can be made.
PACKFILE *stdio_packfile_from_fd(int fd, const char *mode);

// Hands everything written so far to the system; 0 on success. Only for a
// packfile made here.
int flush_stdio_packfile(PACKFILE *pack);

// The stream under a packfile made here, nullptr for any other packfile:
// for readers that fetch parts of the file at known offsets (pread on its
// descriptor) apart from the packfile's position.
FILE *stdio_packfile_stream(PACKFILE *pack);
