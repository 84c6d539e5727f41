// Temporary files that a save or an export is writing are removed when the
// program is interrupted (SIGINT, SIGTERM, SIGHUP); the program then ends as
// the signal would have ended it (a shell sees 130, 143, 129). Only a kill
// that cannot be caught, or a power loss, can leave such a file behind.
#pragma once

#include <cstddef>

// A temporary name is its final name's folder, at most this many bytes of
// its file name, then a dot, a tag and an ending: any name the system takes
// (255 bytes) keeps a temporary name it takes too, in the same folder.
enum { TEMP_NAME_KEEP = 200 };

// How much of the start of path a temporary name beside it keeps.
size_t temp_name_stem(const char *path);

// Keeps path for the handlers, which are installed on first use; a signal
// the program was started with ignored stays ignored. 0, or 1 when every
// slot is taken (the file is then not removed on an interrupt).
int track_temp_file(const char *path);

// The file is complete under its final name, or removed: no longer removed
// on an interrupt.
void forget_temp_file(const char *path);
